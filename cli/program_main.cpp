#include "cli/program_main.h"

#include <ostream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/cli_session.h"
#include "engine/sealing/secret_process.h"

#ifdef _WIN32
#include "cli/registry_settings_store.h"
#else
#include "cli/ini_settings_store.h"
#endif

namespace vellumar {

int programMain(int argc, char* argv[]) {
    protectProcessSecrets();
    std::vector<std::string> arguments(argv + 1, argv + argc);
    Console console = systemConsole();
#ifdef _WIN32
    RegistrySettingsStore settings;
#else
    IniSettingsStore settings;
    // Said once each: a command reads the settings several times.
    std::vector<std::string> said;
    settings.onProblem([&console, &said](const std::string& problem) {
        for (const std::string& earlier : said)
            if (earlier == problem) return;
        said.push_back(problem);
        console.err << kProgram << ": " << problem << "\n";
    });
#endif
    return runCli(arguments, settings, console);
}

}  // namespace vellumar
