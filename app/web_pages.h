#pragma once
// The vendor's web pages, kept in one place.

#include <string>

namespace vellumar {

inline const std::string kHomePage = "https://vellumar.example/";
inline const std::string kContactPage = "https://vellumar.example/contact/";
// Used only when the help page that ships with the program cannot be found.
inline const std::string kOnlineHelpPage = "https://vellumar.example/help/";

// The help page's file name, beside the executable (a build or a portable
// copy) or in ../share/tessarin/ (an installed copy).
inline const std::string kHelpFileName = "tessarin-help.html";

// The address that opens the help page: a file URL when the page is found.
std::string helpPageAddress();

// A local path as a file URL, every byte outside the unreserved set escaped.
std::string fileAddress(const std::string& path);

}  // namespace vellumar
