#include "app/background_task.h"
#include "app/main_window.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QCheckBox>
#include <QDropEvent>
#include <QFrame>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QSvgRenderer>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>
#include <numeric>

#include "app/natural_order.h"
#include "app/path_opener.h"
#include "app/find_locked_items_dialog.h"
#include "app/plain_folder_names.h"
#include "app/qt_desktop.h"
#include "app/seal_choice.h"
#include "app/target_list_view.h"
#include "app/target_rows.h"
#include "app/web_pages.h"
#include "folders/folder_lists.h"

namespace vellumar {
namespace {

// The window is laid out in pixels at 96 dpi (15 twips each); Qt scales it
// on high-density screens.
constexpr int kClientWidth = 542;   // 8130 twips
constexpr int kClientHeight = 285;  // 4275 twips
constexpr int kStripWidth = 175;    // 2625 twips
constexpr int kPageWidth = kClientWidth - kStripWidth;

// One version, in the title bar and on the About page.
const QString kVersionedTitle = QStringLiteral("Vellumar v" VELLUMAR_VERSION);

// The edges a widget keeps its distance to when the window is enlarged.
enum Edges { kRight = 1, kBottom = 2, kWide = 4, kTall = 8 };

const QString kPictureResource = QStringLiteral(":/artwork/vellumar.svg");
const QString kLockResource = QStringLiteral(":/artwork/lock.svg");

// The product picture in the left strip, drawn from its vector form so it
// stays sharp at any scale.
class ProductPicture : public QWidget {
  public:
    explicit ProductPicture(QWidget* parent) : QWidget(parent), renderer_(kPictureResource) {}

  protected:
    void paintEvent(QPaintEvent*) override {
        // A taller strip is not a stretched picture: it stays as drawn, in
        // the middle, and the bands above and below carry on its sky.
        QSizeF size = renderer_.viewBoxF().size();
        if (size.isEmpty()) size = QSizeF(rect().size());
        size *= std::min(width() / size.width(), height() / size.height());
        const QRectF picture(QPointF((width() - size.width()) / 2, (height() - size.height()) / 2),
                             size);
        QPainter painter(this);
        painter.fillRect(QRectF(0, 0, width(), picture.top() + 1), QColor(0x1d, 0x3b, 0x5a));
        painter.fillRect(QRectF(0, picture.bottom() - 1, width(), height()),
                         QColor(0x0b, 0x17, 0x24));
        renderer_.render(&painter, picture);
    }

  private:
    QSvgRenderer renderer_;
};

// The window's client area: the picture strip and the pages, at least as
// large as they were drawn.
class ClientArea : public QWidget {
  public:
    using QWidget::QWidget;
    QSize sizeHint() const override { return {kClientWidth, kClientHeight}; }
};

// The run button's caption with its Alt letter (the model keeps the plain word).
QString runButtonText(const std::string& caption) {
    if (caption == "Encrypt") return QStringLiteral("E&ncrypt");
    if (caption == "Decrypt") return QStringLiteral("&Decrypt");
    return displayText(caption);
}

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
        QStringLiteral("QPushButton { color: palette(link); text-decoration: underline;"
                       " text-align: left; border: none; padding: 0; }"));
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
    setWindowTitle(kVersionedTitle);
    setWindowIcon(applicationIcon());
    buildMenus();

    auto* client = new ClientArea(this);
    client->setObjectName(QStringLiteral("client"));
    client->setMinimumSize(kClientWidth, kClientHeight);
    setCentralWidget(client);
    auto* picture = new ProductPicture(client);
    picture->setGeometry(0, 0, kStripWidth, kClientHeight);
    anchor(picture, kTall);

    // Built in their design stacking order; render() re-stacks them from the model.
    buildResultPage();
    buildAboutPage();
    buildSelectPage();
    buildPasswordPage();

    // Drops land on the target page, its list included.
    page(Page::fraResult)->setAcceptDrops(true);
    ListFiles_->setAcceptDrops(true);

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
    // The gate opens the key file off this thread; its answer waits for
    // any handler still running (a message box open) to end.
    logic_.hooks.inBackground = [this](std::function<void()> work, std::function<void()> then) {
        runInBackground(this, std::move(work), [this, then] { whenIdle(then); });
    };
    render();
    qApp->installEventFilter(this);
}

void MainWindow::whenIdle(const std::function<void()>& handler) {
    if (handlerRunning_ || model_.wizard.running()) {
        QTimer::singleShot(50, this, [this, handler] { whenIdle(handler); });
        return;
    }
    run(handler);
}

MainWindow::~MainWindow() {
    qApp->removeEventFilter(this);
    model_.onChanged = nullptr;
}

void MainWindow::run(void (MainWindowHandlers::*handler)()) {
    run([this, handler] { (logic_.*handler)(); });
}

void MainWindow::run(const std::function<void()>& handler) {
    // One handler at a time: a run repaints the window as it goes, but no
    // click or key may start another handler meanwhile.
    if (handlerRunning_ || model_.wizard.running()) return;
    handlerRunning_ = true;
    handler();
    // Paths handed over while the gate was closed or a run lasted.
    if (opener_) opener_->openWhenReady();
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

void MainWindow::receiveOpenRequest(const OpenRequest& request) {
    if (isMinimized()) showNormal();
    raise();
    activateWindow();
    if (!opener_) return;
    opener_->receive(request);
    // Busy now: run() opens them once the handler in progress is done.
    if (!handlerRunning_ && !model_.wizard.running()) run([] {});
}

bool MainWindow::keyPressed(QWidget* widget, QEvent* event) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) return false;
    if ((key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) return false;
    if (widget->window() != this || !widget->hasFocus()) return false;
    // Enter presses the focused button, and on the choice page it is Next.
    if (auto* focused = qobject_cast<QPushButton*>(widget)) {
        if (focused->isEnabled()) focused->click();
        return true;
    }
    if (model_.topPage() == Page::fraSelect && page(Page::fraSelect)->isAncestorOf(widget)) {
        if (cmdNext_->isEnabled()) cmdNext_->click();
        return true;
    }
    return false;
}

bool MainWindow::optionShortcut(QWidget* widget) {
    auto* radio = qobject_cast<QRadioButton*>(widget);
    if (!radio ||
        std::find(optionButtons_.begin(), optionButtons_.end(), radio) == optionButtons_.end())
        return false;
    // Clicked at once, not after the button's pressed look: an Enter typed
    // right behind the Alt letter then acts on this choice, in the order typed.
    if (radio->isEnabled() && radio->isVisible()) {
        radio->setFocus(Qt::ShortcutFocusReason);
        radio->click();
    }
    return true;
}

bool MainWindow::dragged(QWidget* widget, QEvent* event) {
    QFrame* target = page(Page::fraResult);
    if (widget != target && !target->isAncestorOf(widget)) return false;
    auto* drop = static_cast<QDropEvent*>(event);
    const QByteArray uris = drop->mimeData()->data(QStringLiteral("text/uri-list"));
    // No drop during a run, nor anywhere but on the target page in front.
    const bool open = opener_ && !handlerRunning_ &&
                      model_.wizard.mayEditTargets() == Refused::none && !uris.isEmpty();
    if (!open) {
        drop->ignore();
        return true;
    }
    drop->acceptProposedAction();
    if (event->type() == QEvent::Drop) {
        const std::vector<std::string> paths = pathsFromUriList(uris.toStdString());
        run([this, paths] { opener_->drop(paths); });
    }
    return true;
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (!watched->isWidgetType()) return false;
    auto* widget = static_cast<QWidget*>(watched);
    switch (event->type()) {
        case QEvent::Resize:
            if (widget == centralWidget()) layOut();
            return false;
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
            return dragged(widget, event);
        case QEvent::KeyPress:
            if (!handlerRunning_ && keyPressed(widget, event)) return true;
            break;
        case QEvent::Shortcut:
            if (!handlerRunning_ && optionShortcut(widget)) return true;
            break;
        default:
            break;
    }
    if (!handlerRunning_) return false;
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
            if (watched == cmdCancel_ && model_.wizard.running()) return false;
            if (model_.wizard.running() && event->type() == QEvent::KeyPress &&
                static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape &&
                static_cast<QWidget*>(watched)->window() == this) {
                cmdCancel_->click();
                return true;
            }
            // Dialogs and message boxes are windows of their own and keep their input.
            return widget->window() == this;
        default:
            return false;
    }
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (model_.wizard.running()) {
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

void MainWindow::anchor(QWidget* widget, int edges) {
    anchored_.push_back({widget, widget->geometry(), edges});
}

void MainWindow::layOut() {
    // Everything was drawn for the smallest client area; what is anchored
    // moves or grows by what the window grew.
    const int dw = std::max(0, centralWidget()->width() - kClientWidth);
    const int dh = std::max(0, centralWidget()->height() - kClientHeight);
    for (const Anchored& item : anchored_) {
        QRect place = item.design;
        if (item.edges & kRight) place.translate(dw, 0);
        if (item.edges & kBottom) place.translate(0, dh);
        if (item.edges & kWide) place.setWidth(place.width() + dw);
        if (item.edges & kTall) place.setHeight(place.height() + dh);
        item.widget->setGeometry(place);
    }
}

void MainWindow::focusTopPage() {
    QWidget* focus = nullptr;
    switch (model_.topPage()) {
        case Page::fraPassword:
            focus = txtPassword_;
            break;
        case Page::fraSelect:
            focus = options_->checkedButton();
            if (!focus) focus = optionButtons_[0];
            break;
        case Page::fraAbout:
            focus = page(Page::fraAbout)->findChild<QPushButton*>(QStringLiteral("cmdOK"));
            break;
        case Page::fraResult:
            focus = page(Page::fraResult)->findChild<QPushButton*>(QStringLiteral("cmdAdd"));
            break;
    }
    if (focus) focus->setFocus();
}

QFrame* MainWindow::newPage(Page which, const char* name) {
    auto* frame = new QFrame(centralWidget());
    frame->setObjectName(QLatin1String(name));
    frame->setGeometry(kStripWidth, 0, kPageWidth, kClientHeight);
    frame->setFrameShape(QFrame::StyledPanel);
    frame->setAutoFillBackground(true);
    pages_[static_cast<size_t>(which)] = frame;
    anchor(frame, kWide | kTall);
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
        return action;
    };
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("mnuFile"));
    QAction* findLocked = file->addAction(QStringLiteral("&Find Locked Items..."));
    findLocked->setObjectName(QStringLiteral("mnuFindLocked"));
    connect(findLocked, &QAction::triggered, this,
            [this] { run(&MainWindowHandlers::mnuFindLocked_Click); });
    logic_.hooks.findLockedItems = [this] {
        QtDesktop desktop;
        desktop.setWindow(this);
        FindLockedItemsDialog dialog(desktop, this, &model_.sessionKeys);
        dialog.exec();
    };
    add(file, {"mnuChangePassword", "&Change Password...",
               &MainWindowHandlers::mnuChangePassword_Click});
    add(file, {"mnuExit", "E&xit", &MainWindowHandlers::mnuExit_Click});
    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("mnuHelp"));
    add(help, {"mnuOnline", "&Online Help", &MainWindowHandlers::mnuOnline_Click});
    // A page the build has no address for is not offered.
    add(help, {"mnuVisit", "&Visit Us Online", &MainWindowHandlers::mnuVisit_Click})
        ->setVisible(!vendorPages().home.empty());
    add(help, {"mnuAbout", "&About Software", &MainWindowHandlers::mnuAbout_Click});
}

void MainWindow::buildPasswordPage() {
    QFrame* page = newPage(Page::fraPassword, "fraPassword");
    anchor(label(page,
                 QStringLiteral("Enter the password to access your copy of Vellumar. This is "
                                "necessary to ensure that your locked files and folders are secure."),
                 {16, 16, 335, 64}, true),
           kWide);
    label(page, QStringLiteral("Enter Password"), {16, 100, 120, 24});
    txtPassword_ = passwordField(page, "txtPassword", {140, 100, 205, 24});
    lblConfirm_ = label(page, QStringLiteral("Confirm Password"), {16, 136, 120, 24});
    txtConfirm_ = passwordField(page, "txtConfirm", {140, 136, 205, 24});
    QPushButton* ok = pushButton(page, "cmdPassword", QStringLiteral("&OK"), {255, 242, 95, 28});
    cmdPassword_ = ok;
    anchor(ok, kRight | kBottom);
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
    anchor(title, kWide);
    QFont big = title->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.5);
    title->setFont(big);
    anchor(label(page,
                 QStringLiteral("Congratulations on getting yourself a copy of Vellumar software! "
                                "This software is the ultimate solution for file encryption and "
                                "decryption methods that secures your files and folders from "
                                "prying eyes."),
                 {16, 40, 335, 84}, true),
           kWide);

    struct Choice {
        Option option;
        const char* name;
        const char* caption;
        void (MainWindowHandlers::*handler)();
    };
    const Choice choices[] = {
        // Alt letters clear of Next, Exit and the menus.
        {Option::OptEncFiles, "OptEncFiles", "En&crypt File(s)", &MainWindowHandlers::OptEncFiles_Click},
        {Option::OptDecFiles, "OptDecFiles", "&Decrypt File(s)", &MainWindowHandlers::OptDecFiles_Click},
        {Option::OptEncFolder, "OptEncFolder", "Encrypt a F&older", &MainWindowHandlers::OptEncFolder_Click},
        {Option::OptDecFolder, "OptDecFolder", "Decrypt a Fo&lder", &MainWindowHandlers::OptDecFolder_Click},
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
    anchor(cmdNext_, kRight | kBottom);
    QPushButton* exit = pushButton(page, "cmdExit", QStringLiteral("&Exit"), {255, 242, 95, 28});
    button(exit, &MainWindowHandlers::cmdExit_Click);
    anchor(exit, kRight | kBottom);
}

void MainWindow::buildAboutPage() {
    QFrame* page = newPage(Page::fraAbout, "fraAbout");
    QLabel* version = label(page, kVersionedTitle, {16, 12, 335, 28});
    version->setObjectName(QStringLiteral("lblVersion"));
    QFont bold = version->font();
    bold.setBold(true);
    version->setFont(bold);
    anchor(label(page,
                 QStringLiteral("Vellumar is a useful program that protects all your "
                                "\"sensitive\" files and folders. Vellumar can be used for "
                                "encrypting and decrypting the encrypted files whenever you wish "
                                "to view them."),
                 {16, 44, 335, 84}, true),
           kWide);
    QPushButton* visit =
        linkLabel(page, "Label5", QStringLiteral("Visit our web site now"), {16, 140, 250, 22});
    button(visit, &MainWindowHandlers::Label5_Click);
    visit->setVisible(!vendorPages().home.empty());
    QPushButton* contact =
        linkLabel(page, "Label6", QStringLiteral("Contact Us"), {16, 166, 250, 22});
    button(contact, &MainWindowHandlers::Label6_Click);
    contact->setVisible(!vendorPages().contact.empty());
    QPushButton* ok = pushButton(page, "cmdOK", QStringLiteral("&OK"), {255, 242, 95, 28});
    button(ok, &MainWindowHandlers::cmdOK_Click);
    anchor(ok, kRight | kBottom);
}

void MainWindow::buildResultPage() {
    QFrame* page = newPage(Page::fraResult, "fraResult");
    Label3_ = label(page, QString(), {10, 6, 347, 22});
    Label3_->setObjectName(QStringLiteral("Label3"));
    anchor(Label3_, kWide);

    ListFiles_ = new TargetListView(page);
    ListFiles_->setObjectName(QStringLiteral("ListFiles"));
    ListFiles_->setGeometry(10, 30, 347, 176);
    ListFiles_->setRootIsDecorated(false);
    ListFiles_->setUniformRowHeights(true);
    // Long paths keep their file name in view.
    ListFiles_->setTextElideMode(Qt::ElideMiddle);
    ListFiles_->setHeaderLabels(
        {QStringLiteral("Files"), QStringLiteral("Type"), QStringLiteral("Size")});
    // Files takes whatever width Type and Size leave.
    ListFiles_->header()->setStretchLastSection(false);
    ListFiles_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    ListFiles_->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    ListFiles_->header()->setSectionResizeMode(2, QHeaderView::ResizeToContents);
    anchor(ListFiles_, kWide | kTall);

    // Below the list on the two encrypt pages: remembered between runs.
    chkSeal_ = new QCheckBox(qt(kSealCaption), page);
    chkSeal_->setObjectName(QStringLiteral("chkSeal"));
    chkSeal_->setGeometry(10, 210, 347, 24);
    anchor(chkSeal_, kBottom | kWide);
    connect(chkSeal_, &QCheckBox::clicked, this, [this](bool checked) {
        run([this, checked] { logic_.chkSeal_Click(checked); });
        // A No (or a failure) leaves it as the model has it.
        chkSeal_->setChecked(model_.sealChecked);
    });

    struct Foot {
        const char* name;
        const char* caption;
        QRect where;
        int edges;
        void (MainWindowHandlers::*handler)();
    };
    const Foot left[] = {
        {"cmdAdd", "&Add", {10, 242, 62, 28}, kBottom, &MainWindowHandlers::cmdAdd_Click},
        {"cmdClear", "&Clear", {76, 242, 62, 28}, kBottom, &MainWindowHandlers::cmdClear_Click},
        {"cmdBack", "<< &Back", {142, 242, 72, 28}, kRight | kBottom,
         &MainWindowHandlers::cmdBack_Click},
    };
    for (const Foot& foot : left) {
        QPushButton* pressed = pushButton(page, foot.name, QString::fromLatin1(foot.caption), foot.where);
        button(pressed, foot.handler);
        anchor(pressed, foot.edges);
    }
    // The progress line of a run, over the foot of the list while it lasts.
    progressLine_ = new QFrame(page);
    progressLine_->setObjectName(QStringLiteral("fraProgress"));
    progressLine_->setGeometry(10, 204, 347, 26);
    progressLine_->setFrameShape(QFrame::StyledPanel);
    progressLine_->setAutoFillBackground(true);
    anchor(progressLine_, kBottom | kWide);
    prgRun_ = new QProgressBar(progressLine_);
    prgRun_->setObjectName(QStringLiteral("prgRun"));
    prgRun_->setGeometry(3, 3, 110, 20);
    lblRunFile_ = new QLabel(progressLine_);
    lblRunFile_->setObjectName(QStringLiteral("lblRunFile"));
    lblRunFile_->setGeometry(117, 3, 162, 20);
    anchor(lblRunFile_, kWide);
    // The run stops before its next file; what was done stays done.
    cmdCancel_ = new QPushButton(QStringLiteral("Cancel"), progressLine_);
    cmdCancel_->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel_->setGeometry(283, 2, 61, 22);
    anchor(cmdCancel_, kRight);
    connect(cmdCancel_, &QPushButton::clicked, this, [this] {
        if (!model_.wizard.running()) return;
        model_.cancelRequested = true;
        cmdCancel_->setEnabled(false);
    });
    progressLine_->hide();

    cmdEncDec_ = pushButton(page, "cmdEncDec", QString(), {218, 242, 70, 28});
    button(cmdEncDec_, &MainWindowHandlers::cmdEncDec_Click);
    anchor(cmdEncDec_, kRight | kBottom);
    QPushButton* exit = pushButton(page, "cmdEx", QStringLiteral("&Exit"), {292, 242, 65, 28});
    button(exit, &MainWindowHandlers::cmdEx_Click);
    anchor(exit, kRight | kBottom);
}

void MainWindow::render() {
    rendering_ = true;
    // Raising each page in stacking order, bottom first, leaves the model's
    // top page on top. The covered pages stay in place but take no keys:
    // otherwise Tab or a mnemonic could press, say, Next behind the password page.
    for (Page which : model_.wizard.stack()) {
        page(which)->raise();
        page(which)->setEnabled(which == model_.topPage());
    }
    if (renderedTop_ != model_.topPage()) {
        renderedTop_ = model_.topPage();
        focusTopPage();
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
        optionButtons_[i]->setChecked(static_cast<size_t>(model_.wizard.choice()) == i + 1);
    options_->setExclusive(true);
    cmdNext_->setEnabled(model_.wizard.choice() != Option::none);
    cmdPassword_->setEnabled(!model_.passwordChecking);

    lblConfirm_->setVisible(model_.confirmVisible);
    txtConfirm_->setVisible(model_.confirmVisible);

    Label3_->setText(qt(targetPrompt(model_.operation())));
    cmdEncDec_->setText(runButtonText(runButtonCaption(model_.operation())));
    cmdEncDec_->setEnabled(model_.readyToRun());
    chkSeal_->setVisible(model_.sealVisible);
    chkSeal_->setChecked(model_.sealChecked);
    renderList();
    rendering_ = false;
}

void MainWindow::renderList() {
    if (renderedColor_ != model_.targetListColor) {
        ListFiles_->setGreen(model_.targetListColor == kGreen);
        renderedColor_ = model_.targetListColor;
    }
    const std::optional<ListRow> folder = folderRow(model_);
    if (renderedRows_ == model_.targetList && renderedFolder_ == folder) return;
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
    // The folder of a folder run heads the list, with the number of its files
    // (which may all lie in subfolders, not listed here).
    if (folder) {
        auto* item =
            new QTreeWidgetItem({shown(folder->text), qt(folder->typeText), qt(folder->sizeText)});
        item->setData(0, Qt::UserRole, QVariant());
        item->setToolTip(0, shown(folder->text));
        item->setIcon(0, style()->standardIcon(QStyle::SP_DirIcon));
        items.append(item);
    }
    // Shown in natural order (2 before 10); each item keeps its row's index.
    const std::vector<ListRow>& rows = model_.targetList;
    std::vector<size_t> order(rows.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return naturalLess(rows[a].text, rows[b].text); });
    for (size_t index : order) {
        ListRow row = rows[index];
        // Rows that come without their type and size get them here.
        if (row.typeText.empty() && row.sizeText.empty() && !row.path.empty()) {
            const ListRow described = targetRow(row.path);
            row.typeText = described.typeText;
            row.sizeText = described.sizeText;
            if (row.imageKey.empty()) row.imageKey = described.imageKey;
        }
        // Every row is run: a check box would suggest otherwise.
        auto* item = new QTreeWidgetItem({shown(row.text), qt(row.typeText), qt(row.sizeText)});
        item->setData(0, Qt::UserRole, static_cast<qulonglong>(index));
        item->setFlags(item->flags() & ~Qt::ItemIsUserCheckable);
        item->setToolTip(0, shown(row.path));
        if (row.imageKey == "lock") item->setIcon(0, lock);
        items.append(item);
    }
    ListFiles_->addTopLevelItems(items);
    renderedRows_ = model_.targetList;
    renderedFolder_ = folder;
}

}  // namespace vellumar
