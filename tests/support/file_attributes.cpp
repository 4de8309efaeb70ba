#include "tests/support/file_attributes.h"

#include "engine/platform/file_system.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace vellumar::test {

bool underWine() {
#ifdef _WIN32
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
#else
    return false;
#endif
}

uint32_t fileAttributesAfterSetting(uint32_t set) {
    static const bool wine = underWine();
    return wine ? set | kAttrArchive : set;
}

}  // namespace vellumar::test
