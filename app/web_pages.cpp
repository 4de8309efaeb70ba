#include "app/web_pages.h"

#include "engine/platform/paths.h"
#include "engine/platform/platform.h"

namespace vellumar {

VendorPages& vendorPages() {
    static VendorPages pages{VELLUMAR_HOME_PAGE, VELLUMAR_CONTACT_PAGE, VELLUMAR_ONLINE_HELP_PAGE};
    return pages;
}

std::string fileAddress(const std::string& path) {
    static const char hex[] = "0123456789ABCDEF";
    std::string address = path.empty() || path[0] != '/' ? "file:///" : "file://";
    for (unsigned char c : path) {
        if (c == '\\') c = '/';
        bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                     c == '-' || c == '.' || c == '_' || c == '~' || c == '/' || c == ':';
        if (plain) {
            address += static_cast<char>(c);
        } else {
            address += '%';
            address += hex[c >> 4];
            address += hex[c & 15];
        }
    }
    return address;
}

std::string helpPageAddress() {
    std::string folder = getFolderPart(executablePath());
    if (!folder.empty()) {
        const std::string up = std::string("..") + kSeparator;
        for (const std::string& candidate :
             {folder + kHelpFileName,
              folder + up + "share" + kSeparator + "tessarin" + kSeparator + kHelpFileName}) {
            if (fileExists(candidate)) return fileAddress(candidate);
        }
    }
    if (!vendorPages().onlineHelp.empty()) return vendorPages().onlineHelp;
    return fileAddress(folder + kHelpFileName);
}

}  // namespace vellumar
