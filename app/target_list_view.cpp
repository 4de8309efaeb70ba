#include "app/target_list_view.h"

#include <QEvent>
#include <QPalette>
#include <cmath>

namespace vellumar {
namespace {

constexpr double kReadable = 4.5;  // the usual least contrast for body text
constexpr double kTint = 0.3;      // how much green goes into Base

double luminance(const QColor& colour) {
    auto linear = [](double channel) {
        return channel <= 0.03928 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) +
           0.0722 * linear(colour.blueF());
}

int mix(int from, int to) {
    return static_cast<int>(std::lround(from + (to - from) * kTint));
}

}  // namespace

double contrastRatio(const QColor& a, const QColor& b) {
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor greenBase(const QColor& base, const QColor& text) {
    QColor green(mix(base.red(), 0), mix(base.green(), 255), mix(base.blue(), 0));
    // On a mid-grey Base the tint can come too close to the text: it moves
    // away from it, darker under light text and lighter under dark text.
    const bool lightText = luminance(text) > luminance(base);
    for (int step = 0; step < 20 && contrastRatio(green, text) < kReadable; ++step)
        green = lightText ? green.darker(115) : green.lighter(115);
    return green;
}

void TargetListView::setGreen(bool green) {
    if (green == green_) return;
    green_ = green;
    recolour();
}

void TargetListView::changeEvent(QEvent* event) {
    QTreeWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange && green_ && !recolouring_) recolour();
}

void TargetListView::recolour() {
    recolouring_ = true;
    // Back to the inherited colours, then only Base set on top of them, so
    // that every other role keeps following the desktop.
    setPalette(QPalette());
    if (green_) {
        QPalette own;
        own.setColor(QPalette::Base,
                     greenBase(palette().color(QPalette::Base), palette().color(QPalette::Text)));
        setPalette(own);
    }
    recolouring_ = false;
}

}  // namespace vellumar
