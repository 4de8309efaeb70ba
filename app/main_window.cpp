#include "app/main_window.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QFrame>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSvgRenderer>
#include <QTreeWidget>

#include "app/plain_folder_names.h"
#include "app/qt_desktop.h"
#include "folders/folder_lists.h"

namespace vellumar {
namespace {

// The window is laid out in pixels at 96 dpi (15 twips each); Qt scales it
// on high-density screens.
constexpr int kClientWidth = 542;   // 8130 twips
constexpr int kClientHeight = 285;  // 4275 twips
constexpr int kStripWidth = 175;    // 2625 twips
constexpr int kPageWidth = kClientWidth - kStripWidth;

const QString kPictureResource = QStringLiteral(":/artwork/vellumar.svg");
const QString kLockResource = QStringLiteral(":/artwork/lock.svg");

// The product picture in the left strip, drawn from its vector form so it
// stays sharp at any scale.
class ProductPicture : public QWidget {
  public:
    explicit ProductPicture(QWidget* parent) : QWidget(parent), renderer_(kPictureResource) {}

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        renderer_.render(&painter, QRectF(rect()));
    }

  private:
    QSvgRenderer renderer_;
};

QString qt(const std::string& text) {
    return displayText(text);
}
std::string bytes(const QString& text) {
    return text.toLocal8Bit().toStdString();
}

QLabel* label(QWidget* parent, const QString& text, QRect where, bool wrap = false) {
    auto* result = new QLabel(text, parent);
    result->setGeometry(where);
    result->setWordWrap(wrap);
    result->setAlignment(Qt::AlignLeft | (wrap ? Qt::AlignTop : Qt::AlignVCenter));
    return result;
}

QPushButton* pushButton(QWidget* parent, const char* name, const QString& caption, QRect where) {
    auto* result = new QPushButton(caption, parent);
    result->setObjectName(QLatin1String(name));
    result->setGeometry(where);
    return result;
}

// A caption that opens a web page when clicked; a flat button so the
// keyboard reaches it too.
QPushButton* linkLabel(QWidget* parent, const char* name, const QString& caption, QRect where) {
    QPushButton* result = pushButton(parent, name, caption, where);
    result->setFlat(true);
    result->setCursor(Qt::PointingHandCursor);
    result->setStyleSheet(
        QStringLiteral("QPushButton { color: #0645ad; text-decoration: underline; text-align: left;"
                       " border: none; padding: 0; }"));
    return result;
}

QLineEdit* passwordField(QWidget* parent, const char* name, QRect where) {
    auto* result = new QLineEdit(parent);
    result->setObjectName(QLatin1String(name));
    result->setGeometry(where);
    result->setEchoMode(QLineEdit::Password);
    // Every character typed shows as "*", whatever the style's own mask.
    result->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));
    return result;
}

}  // namespace

MainWindow::MainWindow(MainWindowHandlers& logic, QWidget* parent)
    : QMainWindow(parent), logic_(logic), model_(logic.model()) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Vellumar v1.10"));
    buildMenus();

    auto* client = new QWidget(this);
    client->setFixedSize(kClientWidth, kClientHeight);
    setCentralWidget(client);
    (new ProductPicture(client))->setGeometry(0, 0, kStripWidth, kClientHeight);

    // Built in their design stacking order; render() re-stacks them from the model.
    buildResultPage();
    buildAboutPage();
    buildSelectPage();
    buildPasswordPage();

    layout()->setSizeConstraint(QLayout::SetFixedSize);

    // Handlers that run inside other handlers (or during a run) change the
    // model too; render once control is back in the event loop.
    model_.onChanged = [this] {
        if (renderQueued_) return;
        renderQueued_ = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                renderQueued_ = false;
                render();
            },
            Qt::QueuedConnection);
    };
    render();
    qApp->installEventFilter(this);
}

MainWindow::~MainWindow() {
    qApp->removeEventFilter(this);
    model_.onChanged = nullptr;
}

void MainWindow::run(void (MainWindowHandlers::*handler)()) {
    // One handler at a time: a run repaints the window as it goes, but no
    // click or key may start another handler meanwhile.
    if (handlerRunning_ || model_.runInProgress) return;
    handlerRunning_ = true;
    (logic_.*handler)();
    // Input held back while the handler repainted is dropped here, rather
    // than let it act on whatever page is now in front.
    QCoreApplication::processEvents();
    handlerRunning_ = false;
    render();
    // The person closed the window during the run and chose to cancel it.
    if (closeAfterRun_) {
        closeAfterRun_ = false;
        close();
    }
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (!handlerRunning_ || !watched->isWidgetType()) return false;
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::Shortcut:
        case QEvent::ShortcutOverride:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
            // A run's Cancel button is the one control that works during
            // it; Escape presses it.
            if (watched == cmdCancel_ && model_.runInProgress) return false;
            if (model_.runInProgress && event->type() == QEvent::KeyPress &&
                static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape &&
                static_cast<QWidget*>(watched)->window() == this) {
                cmdCancel_->click();
                return true;
            }
            // Dialogs and message boxes are windows of their own and keep their input.
            return static_cast<QWidget*>(watched)->window() == this;
        default:
            return false;
    }
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (model_.runInProgress) {
        // Closed mid-run: the run stops between two files if the person
        // wants it to, and the window closes once it has said what it did.
        event->ignore();
        // Closed again while it asks: the question stands, once.
        if (askingToCancel_) return;
        if (!model_.cancelRequested && askToCancelRun()) {
            model_.cancelRequested = true;
            closeAfterRun_ = true;
        }
        return;
    }
    // (The program's own exit handlers close it from code, and may.)
    if (handlerRunning_ && event->spontaneous()) {
        event->ignore();
        return;
    }
    logic_.Form_Unload();
    QMainWindow::closeEvent(event);
}

bool MainWindow::askToCancelRun() {
    QMessageBox box(QMessageBox::Question, QStringLiteral("Vellumar"),
                    QStringLiteral("A run is in progress.\nCancel it and close the window? The "
                                   "files done so far stay done; the others are left as they "
                                   "were."),
                    QMessageBox::Yes | QMessageBox::No, this);
    box.setObjectName(QStringLiteral("cancelRunQuestion"));
    box.setDefaultButton(QMessageBox::No);
    askingToCancel_ = true;
    const bool yes = box.exec() == QMessageBox::Yes;
    askingToCancel_ = false;
    return yes;
}

void MainWindow::showProgress(uint64_t done, uint64_t total, const std::string& current) {
    if (done >= total) {
        progressLine_->hide();
        return;
    }
    // The bar counts in files; a run of billions of them still fits its range.
    const int scale = total > uint64_t{INT32_MAX} ? static_cast<int>(total / INT32_MAX + 1) : 1;
    prgRun_->setRange(0, static_cast<int>(total / scale));
    prgRun_->setValue(static_cast<int>(done / scale));
    prgRun_->setFormat(QStringLiteral("%1 of %2").arg(done).arg(total));
    const QString file = displayText(withPlainFolderNames(current, folderRecords_));
    lblRunFile_->setText(
        lblRunFile_->fontMetrics().elidedText(file, Qt::ElideMiddle, lblRunFile_->width()));
    lblRunFile_->setToolTip(file);
    cmdCancel_->setEnabled(!model_.cancelRequested);
    progressLine_->show();
    progressLine_->raise();
}

void MainWindow::button(QPushButton* button, void (MainWindowHandlers::*handler)()) {
    connect(button, &QPushButton::clicked, this, [this, handler] { run(handler); });
}

QFrame* MainWindow::newPage(Page which, const char* name) {
    auto* frame = new QFrame(centralWidget());
    frame->setObjectName(QLatin1String(name));
    frame->setGeometry(kStripWidth, 0, kPageWidth, kClientHeight);
    frame->setFrameShape(QFrame::StyledPanel);
    frame->setAutoFillBackground(true);
    pages_[static_cast<size_t>(which)] = frame;
    return frame;
}

void MainWindow::buildMenus() {
    struct Entry {
        const char* name;
        const char* caption;
        void (MainWindowHandlers::*handler)();
    };
    auto add = [this](QMenu* menu, const Entry& entry) {
        QAction* action = menu->addAction(QString::fromLatin1(entry.caption));
        action->setObjectName(QLatin1String(entry.name));
        auto handler = entry.handler;
        connect(action, &QAction::triggered, this, [this, handler] { run(handler); });
    };
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("mnuFile"));
    add(file, {"mnuExit", "E&xit", &MainWindowHandlers::mnuExit_Click});
    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("mnuHelp"));
    add(help, {"mnuOnline", "&Online Help", &MainWindowHandlers::mnuOnline_Click});
    add(help, {"mnuVisit", "&Visit Us Online", &MainWindowHandlers::mnuVisit_Click});
    add(help, {"mnuAbout", "&About Software", &MainWindowHandlers::mnuAbout_Click});
}

void MainWindow::buildPasswordPage() {
    QFrame* page = newPage(Page::fraPassword, "fraPassword");
    label(page,
          QStringLiteral("Enter the password to access your copy of Vellumar. This is necessary "
                         "to ensure that your locked files and folders are secure."),
          {16, 16, 335, 64}, true);
    label(page, QStringLiteral("Enter Password"), {16, 100, 120, 24});
    txtPassword_ = passwordField(page, "txtPassword", {140, 100, 205, 24});
    label(page, QStringLiteral("Confirm Password"), {16, 136, 120, 24});
    txtConfirm_ = passwordField(page, "txtConfirm", {140, 136, 205, 24});
    QPushButton* ok = pushButton(page, "cmdPassword", QStringLiteral("&OK"), {255, 242, 95, 28});
    button(ok, &MainWindowHandlers::cmdPassword_Click);

    connect(txtPassword_, &QLineEdit::textEdited, this,
            [this](const QString& text) { model_.txtPassword = bytes(text); });
    connect(txtConfirm_, &QLineEdit::textEdited, this,
            [this](const QString& text) { model_.txtConfirm = bytes(text); });
    // Enter in either field presses OK.
    for (QLineEdit* field : {txtPassword_, txtConfirm_})
        connect(field, &QLineEdit::returnPressed, ok, &QPushButton::click);
}

void MainWindow::buildSelectPage() {
    QFrame* page = newPage(Page::fraSelect, "fraSelect");
    QLabel* title = label(page, QStringLiteral("Vellumar"), {16, 8, 335, 28});
    QFont big = title->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.5);
    title->setFont(big);
    label(page,
          QStringLiteral("Congratulations on getting yourself a copy of Vellumar software! This "
                         "software is the ultimate solution for file encryption and decryption "
                         "methods that secures your files and folders from prying eyes."),
          {16, 40, 335, 84}, true);

    struct Choice {
        Option option;
        const char* name;
        const char* caption;
        void (MainWindowHandlers::*handler)();
    };
    const Choice choices[] = {
        {Option::OptEncFiles, "OptEncFiles", "Encrypt File(s)", &MainWindowHandlers::OptEncFiles_Click},
        {Option::OptDecFiles, "OptDecFiles", "Decrypt File(s)", &MainWindowHandlers::OptDecFiles_Click},
        {Option::OptEncFolder, "OptEncFolder", "Encrypt a Folder", &MainWindowHandlers::OptEncFolder_Click},
        {Option::OptDecFolder, "OptDecFolder", "Decrypt a Folder", &MainWindowHandlers::OptDecFolder_Click},
    };
    options_ = new QButtonGroup(page);
    int y = 128;
    for (const Choice& choice : choices) {
        auto* radio = new QRadioButton(QString::fromLatin1(choice.caption), page);
        radio->setObjectName(QLatin1String(choice.name));
        radio->setGeometry(32, y, 300, 22);
        y += 24;
        options_->addButton(radio, static_cast<int>(choice.option));
        optionButtons_[static_cast<size_t>(choice.option) - 1] = radio;
        auto handler = choice.handler;
        connect(radio, &QRadioButton::clicked, this, [this, handler] { run(handler); });
    }
    cmdNext_ = pushButton(page, "cmdNext", QStringLiteral("&Next >>"), {152, 242, 95, 28});
    button(cmdNext_, &MainWindowHandlers::cmdNext_Click);
    button(pushButton(page, "cmdExit", QStringLiteral("&Exit"), {255, 242, 95, 28}),
           &MainWindowHandlers::cmdExit_Click);
}

void MainWindow::buildAboutPage() {
    QFrame* page = newPage(Page::fraAbout, "fraAbout");
    QLabel* version = label(page, QStringLiteral("Vellumar v1.0"), {16, 12, 335, 28});
    QFont bold = version->font();
    bold.setBold(true);
    version->setFont(bold);
    label(page,
          QStringLiteral("Vellumar is a useful program that protects all your \"sensitive\" files "
                         "and folders. Vellumar can be used for encrypting and decrypting the "
                         "encrypted files whenever you wish to view them."),
          {16, 44, 335, 84}, true);
    button(linkLabel(page, "Label5", QStringLiteral("Visit our web site now"), {16, 140, 250, 22}),
           &MainWindowHandlers::Label5_Click);
    button(linkLabel(page, "Label6", QStringLiteral("Contact Us"), {16, 166, 250, 22}),
           &MainWindowHandlers::Label6_Click);
    button(pushButton(page, "cmdOK", QStringLiteral("&OK"), {255, 242, 95, 28}),
           &MainWindowHandlers::cmdOK_Click);
}

void MainWindow::buildResultPage() {
    QFrame* page = newPage(Page::fraResult, "fraResult");
    Label3_ = label(page, QString(), {10, 6, 347, 22});
    Label3_->setObjectName(QStringLiteral("Label3"));

    ListFiles_ = new QTreeWidget(page);
    ListFiles_->setObjectName(QStringLiteral("ListFiles"));
    ListFiles_->setGeometry(10, 30, 347, 200);
    ListFiles_->setRootIsDecorated(false);
    ListFiles_->setUniformRowHeights(true);
    // Long paths keep their file name in view.
    ListFiles_->setTextElideMode(Qt::ElideMiddle);
    ListFiles_->setHeaderLabels(
        {QStringLiteral("Files"), QStringLiteral("Type"), QStringLiteral("Size")});
    ListFiles_->header()->resizeSection(0, 200);
    ListFiles_->header()->resizeSection(1, 70);

    button(pushButton(page, "cmdAdd", QStringLiteral("&Add"), {10, 242, 62, 28}),
           &MainWindowHandlers::cmdAdd_Click);
    button(pushButton(page, "cmdClear", QStringLiteral("&Clear"), {76, 242, 62, 28}),
           &MainWindowHandlers::cmdClear_Click);
    button(pushButton(page, "cmdBack", QStringLiteral("<< &Back"), {142, 242, 72, 28}),
           &MainWindowHandlers::cmdBack_Click);
    // The progress line of a run, over the foot of the list while it lasts.
    progressLine_ = new QFrame(page);
    progressLine_->setObjectName(QStringLiteral("fraProgress"));
    progressLine_->setGeometry(10, 204, 347, 26);
    progressLine_->setFrameShape(QFrame::StyledPanel);
    progressLine_->setAutoFillBackground(true);
    prgRun_ = new QProgressBar(progressLine_);
    prgRun_->setObjectName(QStringLiteral("prgRun"));
    prgRun_->setGeometry(3, 3, 110, 20);
    lblRunFile_ = new QLabel(progressLine_);
    lblRunFile_->setObjectName(QStringLiteral("lblRunFile"));
    lblRunFile_->setGeometry(117, 3, 162, 20);
    // The run stops before its next file; what was done stays done.
    cmdCancel_ = new QPushButton(QStringLiteral("Cancel"), progressLine_);
    cmdCancel_->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel_->setGeometry(283, 2, 61, 22);
    connect(cmdCancel_, &QPushButton::clicked, this, [this] {
        if (!model_.runInProgress) return;
        model_.cancelRequested = true;
        cmdCancel_->setEnabled(false);
    });
    progressLine_->hide();

    cmdEncDec_ = pushButton(page, "cmdEncDec", QString(), {218, 242, 70, 28});
    button(cmdEncDec_, &MainWindowHandlers::cmdEncDec_Click);
    button(pushButton(page, "cmdEx", QStringLiteral("&Exit"), {292, 242, 65, 28}),
           &MainWindowHandlers::cmdEx_Click);
}

void MainWindow::render() {
    rendering_ = true;
    // Raising each page in stacking order, bottom first, leaves the model's
    // top page on top. The covered pages stay in place but take no keys:
    // otherwise Tab or a mnemonic could press, say, Next behind the password page.
    for (Page which : model_.zOrder) {
        page(which)->raise();
        page(which)->setEnabled(which == model_.topPage());
    }

    if (txtPassword_->text() != qt(model_.txtPassword))
        txtPassword_->setText(qt(model_.txtPassword));
    if (txtConfirm_->text() != qt(model_.txtConfirm)) txtConfirm_->setText(qt(model_.txtConfirm));
    if (renderedFocus_ != model_.focusRequests) {
        renderedFocus_ = model_.focusRequests;
        if (model_.focus == Field::txtPassword) txtPassword_->setFocus();
        if (model_.focus == Field::txtConfirm) txtConfirm_->setFocus();
    }

    // An exclusive group cannot show "nothing chosen"; lift it meanwhile.
    options_->setExclusive(false);
    for (size_t i = 0; i < optionButtons_.size(); ++i)
        optionButtons_[i]->setChecked(static_cast<size_t>(model_.selectedOption) == i + 1);
    options_->setExclusive(true);
    cmdNext_->setEnabled(model_.nextButtonEnabled);

    Label3_->setText(qt(model_.targetPrompt));
    cmdEncDec_->setText(qt(model_.runButtonCaption));
    cmdEncDec_->setEnabled(model_.runButtonEnabled);
    renderList();
    rendering_ = false;
}

void MainWindow::renderList() {
    if (renderedColor_ != model_.targetListColor) {
        QPalette palette = ListFiles_->palette();
        palette.setColor(QPalette::Base, QColor::fromRgb(model_.targetListColor));
        ListFiles_->setPalette(palette);
        renderedColor_ = model_.targetListColor;
    }
    if (renderedRows_ == model_.targetList) return;
    ListFiles_->clear();
    // Rows under a locked folder name it by its plain name; so does the
    // progress line of the run over them.
    folderRecords_.clear();
    readFolderRecords(folderRecords_);
    auto shown = [this](const std::string& text) {
        return qt(withPlainFolderNames(text, folderRecords_));
    };
    static const QIcon lock(kLockResource);
    QList<QTreeWidgetItem*> items;
    for (const ListRow& row : model_.targetList) {
        // Every row is run: a check box would suggest otherwise.
        auto* item = new QTreeWidgetItem({shown(row.text), qt(row.typeText), qt(row.sizeText)});
        item->setFlags(item->flags() & ~Qt::ItemIsUserCheckable);
        item->setToolTip(0, shown(row.path));
        if (row.imageKey == "lock") item->setIcon(0, lock);
        items.append(item);
    }
    ListFiles_->addTopLevelItems(items);
    renderedRows_ = model_.targetList;
}

}  // namespace vellumar
