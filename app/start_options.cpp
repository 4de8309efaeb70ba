#include "app/start_options.h"

namespace vellumar {
namespace {

const std::string kProgramName = "Tessarin";

std::string helpText() {
    return "Usage: " + kProgramName +
           " [--lock | --unlock] [PATH...]\n"
           "\n"
           "Opens the Vellumar window, which locks files and folders in place and\n"
           "unlocks them. Paths given fill its list once the password is typed: locked\n"
           "files for unlocking, other files for locking, a folder for locking, a listed\n"
           "locked folder for unlocking. When the program runs already, the paths go to\n"
           "its window.\n"
           "\n"
           "Options:\n"
           "  --lock        open with the files given listed for locking\n"
           "  --unlock      open with the locked files given listed for unlocking\n"
           "  -h, --help    show this help\n"
           "  --version     show the program's name and version\n"
           "  --            end of options: every later argument is a path\n"
           "\n"
           "From a terminal, without a window: tessarin-cli (see tessarin-cli --help).\n";
}

}  // namespace

StartExit readStartOptions(const std::vector<std::string>& arguments) {
    bool help = false, version = false;
    for (const std::string& argument : arguments) {
        if (argument == "--") break;
        if (argument == "--help" || argument == "-h")
            help = true;
        else if (argument == "--version")
            version = true;
        else if (argument.rfind("--", 0) == 0 && argument != "--lock" && argument != "--unlock")
            return startUsageError("unknown option '" + argument + "'");
    }
    StartExit exit;
    exit.ends = help || version;
    if (help)
        exit.out = helpText();
    else if (version)
        exit.out = kProgramName + " " + VELLUMAR_VERSION + "\n";
    return exit;
}

StartExit startUsageError(const std::string& problem) {
    StartExit exit;
    exit.ends = true;
    exit.status = 2;
    exit.err = kProgramName + ": " + problem + "\nTry '" + kProgramName + " --help'.\n";
    return exit;
}

}  // namespace vellumar
