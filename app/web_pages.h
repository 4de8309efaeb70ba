#pragma once
// The vendor's web pages, kept in one place.

#include <string>

namespace vellumar {

// The vendor's addresses, chosen when the program is built (the CMake
// settings VELLUMAR_HOME_PAGE, VELLUMAR_CONTACT_PAGE, VELLUMAR_ONLINE_HELP_PAGE).
// An empty one is a page the product does not have: the window hides what
// would open it, and its handler opens nothing.
struct VendorPages {
    std::string home;
    std::string contact;
    // Opened only when the help page that ships with the program is missing.
    std::string onlineHelp;
};

// The build's addresses; tests put others in their place.
VendorPages& vendorPages();

// The help page's file name, beside the executable (a build or a portable
// copy) or in ../share/tessarin/ (an installed copy).
inline const std::string kHelpFileName = "tessarin-help.html";

// The address that opens the help page: a file URL when the page is found,
// else the online help; without one, the address where the page belongs, so
// that the browser names the missing file.
std::string helpPageAddress();

// A local path as a file URL, every byte outside the unreserved set escaped.
std::string fileAddress(const std::string& path);

}  // namespace vellumar
