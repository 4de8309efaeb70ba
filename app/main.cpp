// Tessarin: the Vellumar desktop program.
//
//   Tessarin [--lock | --unlock] [PATH...]
//   Tessarin --help | --version
//
// Paths open the window with the target list filled for the operation they
// call for, once the password is given. When Tessarin runs already, the
// paths go to the running window instead, which comes to the front.

#include <QApplication>
#include <QIcon>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "app/instance_channel.h"
#include "app/main_window.h"
#include "app/main_window_handlers.h"
#include "app/path_opener.h"
#include "app/qt_desktop.h"
#include "app/qt_settings_store.h"
#include "app/single_instance.h"
#include "app/start_options.h"
#include "engine/sealing/secret_process.h"

namespace {

int finish(const vellumar::StartExit& exit) {
    std::fputs(exit.out.c_str(), stdout);
    std::fputs(exit.err.c_str(), stderr);
    return exit.status;
}

}  // namespace

int main(int argc, char* argv[]) {
    vellumar::protectProcessSecrets();
    // Read before QApplication, which needs a display: --help, --version and a
    // misspelt long option are answered without one.
    const vellumar::StartExit early =
        vellumar::readStartOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (early.ends) return finish(early);

    QApplication application(argc, argv);
    application.setWindowIcon(vellumar::applicationIcon());

    // The arguments as the OS gave them (Qt has taken out its own).
    std::vector<std::string> arguments(argv + 1, argv + argc);
    std::error_code error;
    const std::string here = std::filesystem::current_path(error).string();
    vellumar::OpenRequest request;
    std::string usage;
    if (!vellumar::parseOpenArguments(arguments, here, request, usage))
        return finish(vellumar::startUsageError(usage));

    vellumar::SingleInstance instance;
    vellumar::WindowModel model;
    vellumar::QtDesktop desktop;
    vellumar::QtSettingsStore settings;
    vellumar::MainWindowHandlers logic(model, desktop, settings);
    logic.hooks.unloadAllWindows = [] { QApplication::closeAllWindows(); };
    logic.hooks.endProgram = [] { QCoreApplication::exit(0); };

    if (!instance.acquired()) {
        // The running copy comes to the front; paths it takes are its own.
        const bool taken = vellumar::InstanceChannel::send(request);
        if (taken && !request.raiseOnly()) return 0;
        logic.Form_Load(true);
        return 1;
    }

    vellumar::MainWindow window(logic);
    if (!logic.Form_Load(false)) return 1;
    vellumar::PathOpener opener(logic, desktop);
    opener.receive(request);
    window.setPathOpener(&opener);
    vellumar::InstanceChannel channel;
    channel.onRequest = [&window](const vellumar::OpenRequest& later) {
        window.receiveOpenRequest(later);
    };
    channel.listen();

    desktop.setWindow(&window);
    desktop.progressView = [&window](uint64_t done, uint64_t total, const std::string& current) {
        window.showProgress(done, total, current);
    };
    desktop.setModel(&model);
    window.render();
    window.show();
    return application.exec();
}
