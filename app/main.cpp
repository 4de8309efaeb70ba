// Tessarin: the Vellumar desktop program.

#include <QApplication>

#include "app/main_window_handlers.h"
#include "app/main_window.h"
#include "app/qt_desktop.h"
#include "app/qt_settings_store.h"
#include "app/single_instance.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    vellumar::SingleInstance instance;

    vellumar::WindowModel model;
    vellumar::QtDesktop desktop;
    vellumar::QtSettingsStore settings;
    vellumar::MainWindowHandlers logic(model, desktop, settings);
    logic.hooks.unloadAllWindows = [] { QApplication::closeAllWindows(); };
    logic.hooks.endProgram = [] { QCoreApplication::exit(0); };

    vellumar::MainWindow window(logic);
    if (!logic.Form_Load(!instance.acquired())) return 0;
    desktop.setWindow(&window);
    desktop.progressView = [&window](uint64_t done, uint64_t total, const std::string& current) {
        window.showProgress(done, total, current);
    };
    desktop.setModel(&model);
    window.render();
    window.show();
    return application.exec();
}
