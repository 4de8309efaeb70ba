// The command line's settings file (the window's QSettings INI file): any
// content can be read, a value saved into it reads back as saved, and the
// other entries keep their values.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "cli/ini_settings_store.h"
#include "fuzz/fuzz_folder.h"

using namespace vellumar;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    fuzz::writeInput("Tessarin.conf", reinterpret_cast<const char*>(bytes), size);
    IniSettingsStore store(fuzz::fuzzFolder());
    struct Entry {
        const char* section;
        const char* key;
    };
    const Entry others[] = {{"S", "k"}, {"", "k"}, {"S", "j\xE9"}, {"T", "k"}};
    std::string before[4];
    for (int i = 0; i < 4; ++i)
        before[i] = store.getSetting("Tessarin", others[i].section, others[i].key);

    std::string value(1, '\0');
    for (int c = 1; c <= 255; ++c) value += static_cast<char>(c);
    for (const std::string& saved : {value, std::string(), std::string(" @a;b ")}) {
        if (!store.saveSetting("Tessarin", "S", "saved", saved)) std::abort();
        if (store.getSetting("Tessarin", "S", "saved") != saved) std::abort();
        for (int i = 0; i < 4; ++i) {
            if (store.getSetting("Tessarin", others[i].section, others[i].key) != before[i])
                std::abort();
        }
    }
    return 0;
}
