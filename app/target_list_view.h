#pragma once
// The target list in the desktop's own colours: its background is the
// palette's Base and its text the palette's Text, on a light desktop theme
// and a dark one alike. The green state (a folder marked green) tints that
// background, never so far that the text stops standing out.

#include <QColor>
#include <QTreeWidget>

namespace vellumar {

// The contrast of two colours, from 1 (the same) to 21 (black on white).
double contrastRatio(const QColor& a, const QColor& b);

// The green background for a palette's Base and Text: green enough to tell
// apart from Base, and at least 4.5 times the contrast with Text.
QColor greenBase(const QColor& base, const QColor& text);

class TargetListView : public QTreeWidget {
  public:
    using QTreeWidget::QTreeWidget;
    void setGreen(bool green);

  protected:
    // A new palette (the desktop switched themes) gets its own green.
    void changeEvent(QEvent* event) override;

  private:
    void recolour();
    bool green_ = false;
    bool recolouring_ = false;
};

}  // namespace vellumar
