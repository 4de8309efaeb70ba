#pragma once
// The texts of an INI file as QSettings writes and reads them: keys and
// section names, and values. Texts are bytes carried as Latin-1, as the
// window carries them; a character beyond Latin-1 reads as '?'.

#include <string>

namespace vellumar {

// A key or section name as it stands in the file, and back.
std::string escapedIniKey(const std::string& key);
std::string unescapedIniKey(const std::string& text);
// A value as it stands after "key=", and back.
std::string escapedIniValue(const std::string& value);
std::string unescapedIniValue(const std::string& text);

}  // namespace vellumar
