// tessarin-cli: the lock and unlock runs from a terminal.

#include <string>
#include <vector>

#include "cli/cli.h"
#include "engine/secret_process.h"

#ifdef _WIN32
#include "cli/registry_settings_store.h"
#else
#include "cli/ini_settings_store.h"
#endif

int main(int argc, char* argv[]) {
    vellumar::protectProcessSecrets();
    std::vector<std::string> arguments(argv + 1, argv + argc);
#ifdef _WIN32
    vellumar::RegistrySettingsStore settings;
#else
    vellumar::IniSettingsStore settings;
#endif
    vellumar::Console console = vellumar::systemConsole();
    return vellumar::runCli(arguments, settings, console);
}
