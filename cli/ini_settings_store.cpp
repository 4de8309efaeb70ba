#include "cli/ini_settings_store.h"

#include <sys/stat.h>

#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "engine/atomic_file.h"
#include "engine/file_system.h"

namespace vellumar {
namespace {

constexpr char kUpperHex[] = "0123456789ABCDEF";
constexpr char kLowerHex[] = "0123456789abcdef";
constexpr uint32_t kReplacement = 0xFFFD;

int hexValue(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && (isBlank(text.back()) || text.back() == '\r' || text.back() == '\n'))
        text.remove_suffix(1);
    return text;
}

// One character of UTF-8 at `at`; a byte that starts no valid sequence
// stands for the replacement character, as Qt reads it.
uint32_t decodeUtf8(std::string_view text, size_t& at) {
    const unsigned char lead = static_cast<unsigned char>(text[at++]);
    if (lead < 0x80) return lead;
    int length = lead >= 0xF0 && lead <= 0xF4 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
    if (lead >= 0xF5 || length == 0) return kReplacement;
    uint32_t code = lead & (0x7F >> length);
    for (int i = 1; i < length; ++i) {
        if (at >= text.size()) return kReplacement;
        const unsigned char next = static_cast<unsigned char>(text[at]);
        if ((next & 0xC0) != 0x80) return kReplacement;
        code = code << 6 | (next & 0x3F);
        ++at;
    }
    const uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < least[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return kReplacement;
    return code;
}

// Latin-1 keeps codes up to 255; any other character becomes '?', as in
// QString::toLatin1.
std::string latin1(const std::vector<uint32_t>& codes) {
    std::string text;
    text.reserve(codes.size());
    for (uint32_t code : codes) text += code <= 0xFF ? static_cast<char>(code) : '?';
    return text;
}

std::string latin1FromUtf8(std::string_view bytes) {
    std::vector<uint32_t> codes;
    for (size_t at = 0; at < bytes.size();) codes.push_back(decodeUtf8(bytes, at));
    return latin1(codes);
}

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// QSettings marks texts that are not plain strings with '@'; a plain text
// that starts with '@' carries a second one.
std::string fromVariantText(const std::string& text) {
    if (text.empty() || text[0] != '@') return text;
    if (startsWith(text, "@@")) return text.substr(1);
    if (text.back() == ')') {
        if (startsWith(text, "@String(")) return text.substr(8, text.size() - 9);
        if (startsWith(text, "@ByteArray("))  // read back as UTF-8
            return latin1FromUtf8(std::string_view(text).substr(11, text.size() - 12));
        if (text.find('(') != std::string::npos) return {};  // another type: no text
    }
    return text;
}

// The file's lines, one logical line each (a line that ends in an escaping
// backslash goes on), kept byte for byte so that a rewrite leaves every
// other entry exactly as it was.
struct IniLine {
    std::string raw;  // with its line end
    bool isHeader = false;
    bool isEntry = false;
    std::string section;  // the section it belongs to; "" is [General]
    std::string key;
    std::string value;  // the value's text after '=', as it stands
    // Ends in an escaping backslash at the end of the file: a line put
    // after it would be taken as part of it.
    bool escapesNext = false;
};

bool endsInEscape(std::string_view line) {
    size_t backslashes = 0;
    while (backslashes < line.size() && line[line.size() - 1 - backslashes] == '\\') ++backslashes;
    return backslashes % 2 == 1;
}

std::string sectionFromHeader(std::string_view name) {
    const std::string section = unescapedIniKey(std::string(name));
    if (section == "General") return {};
    if (section == "%General") return "General";
    return section;
}

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// The lines after the byte order mark some editors put first, which Qt
// reads past.
std::vector<IniLine> parseIni(const std::string& content) {
    std::vector<IniLine> lines;
    std::string section;
    size_t at = startsWith(content, kByteOrderMark) ? kByteOrderMark.size() : 0;
    while (at < content.size()) {
        IniLine line;
        std::string body;  // the line without its ends, escaped line ends joined
        for (;;) {
            size_t end = content.find_first_of("\r\n", at);
            if (end == std::string::npos) end = content.size();
            std::string_view piece(content.data() + at, end - at);
            size_t next = end;
            if (next < content.size() && content[next] == '\r') ++next;
            if (next < content.size() && content[next] == '\n') ++next;
            line.raw.append(content, at, next - at);
            body += piece;
            at = next;
            // Every line but a comment goes on after an escaping backslash
            // (a section header and a line starting with '#' too).
            const std::string_view start = trimmed(body);
            if (start.empty() || start[0] == ';' || !endsInEscape(piece)) break;
            if (at >= content.size()) {
                line.escapesNext = true;
                break;
            }
            body += '\n';  // the escaped line end, dropped when the value is read
        }
        const std::string_view text = trimmed(body);
        if (!text.empty() && text[0] == '[') {
            line.isHeader = true;
            const size_t close = text.find(']');
            section = sectionFromHeader(trimmed(
                text.substr(1, close == std::string_view::npos ? text.size() - 1 : close - 1)));
        } else if (!text.empty() && text[0] != ';') {
            const size_t equals = text.find('=');
            if (equals != std::string_view::npos) {
                line.isEntry = true;
                line.key = unescapedIniKey(std::string(trimmed(text.substr(0, equals))));
                line.value = std::string(text.substr(equals + 1));
            }
        }
        line.section = section;
        lines.push_back(std::move(line));
    }
    return lines;
}

std::string sectionHeader(const std::string& section) {
    if (section.empty()) return "[General]\n";
    if (section == "General") return "[%General]\n";
    return "[" + escapedIniKey(section) + "]\n";
}

// The file holds the password (shifted, not enciphered): only its owner may
// read it. One an earlier version left open to others is closed up as soon
// as it is read; every file this store writes is made 0600.
void closeUp(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & 077) != 0)
        ::chmod(path.c_str(), st.st_mode & 0700 & ~S_IXUSR);
}

// A settings file that is a link (into a folder of dotfiles, say) is read
// and rewritten where it leads, and stays a link, as with QSettings.
std::string linkTarget(const std::string& path) {
    std::string target = path;
    if (char* resolved = ::realpath(path.c_str(), nullptr)) {
        target = resolved;
        std::free(resolved);
    }
    return target;
}

// Makes the folder and those above it, like QDir::mkpath; one that is there
// (a link to one included) is fine.
bool makeFolders(const std::string& folder) {
    if (folder.empty() || folder == "/") return true;
    struct stat st;
    if (::stat(folder.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
    const size_t slash = folder.find_last_of('/', folder.size() - 2);
    if (slash != std::string::npos && !makeFolders(folder.substr(0, slash))) return false;
    const IoError e = fileSystem().createFolder(folder);
    return e == IoError::ok || e == IoError::exists;
}

}  // namespace

// Letters, digits, '_', '-' and '.' stand as they are, '/' (a group's
// separator) as '\', every other byte as %XX.
std::string escapedIniKey(const std::string& key) {
    std::string text;
    for (unsigned char c : key) {
        if (c == '/') {
            text += '\\';
        } else if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                   c == '_' || c == '-' || c == '.') {
            text += static_cast<char>(c);
        } else {
            text += '%';
            text += kUpperHex[c >> 4];
            text += kUpperHex[c & 15];
        }
    }
    return text;
}

std::string unescapedIniKey(const std::string& text) {
    std::vector<uint32_t> codes;
    for (size_t at = 0; at < text.size();) {
        const char c = text[at];
        if (c == '\\') {
            codes.push_back('/');
            ++at;
        } else if (c == '%' && at + 2 < text.size() && hexValue(text[at + 1]) >= 0 &&
                   hexValue(text[at + 2]) >= 0) {
            codes.push_back(
                static_cast<uint32_t>(hexValue(text[at + 1]) * 16 + hexValue(text[at + 2])));
            at += 3;
        } else if (c == '%' && at + 5 < text.size() && text[at + 1] == 'U' &&
                   hexValue(text[at + 2]) >= 0 && hexValue(text[at + 3]) >= 0 &&
                   hexValue(text[at + 4]) >= 0 && hexValue(text[at + 5]) >= 0) {
            uint32_t code = 0;
            for (int i = 2; i <= 5; ++i)
                code = code * 16 + static_cast<uint32_t>(hexValue(text[at + i]));
            codes.push_back(code);
            at += 6;
        } else {
            codes.push_back(decodeUtf8(text, at));
        }
    }
    return latin1(codes);
}

// As QSettings writes a text: control characters escaped (\x in lower-case
// hex, and a hex digit right after one escaped too, so that it reads back
// apart), '"' and '\' escaped, every other character in UTF-8; in quotes
// when it holds ';', ',' or '=' or starts or ends with a space.
std::string escapedIniValue(const std::string& value) {
    std::string text;
    bool quotes = false;
    bool escapeHexDigit = false;
    // A text holding NUL goes in @String(...); one starting with '@' gets a
    // second '@'.
    const std::string source = value.find('\0') != std::string::npos ? "@String(" + value + ")"
                               : !value.empty() && value[0] == '@'   ? "@" + value
                                                                     : value;
    for (unsigned char c : source) {
        if (c == ';' || c == ',' || c == '=') quotes = true;
        if (escapeHexDigit && hexValue(c) >= 0) {
            text += "\\x";
            text += kLowerHex[c >> 4];
            text += kLowerHex[c & 15];
            continue;
        }
        escapeHexDigit = false;
        switch (c) {
            case '\0':
                text += "\\0";
                escapeHexDigit = true;
                break;
            case '\a':
                text += "\\a";
                break;
            case '\b':
                text += "\\b";
                break;
            case '\f':
                text += "\\f";
                break;
            case '\n':
                text += "\\n";
                break;
            case '\r':
                text += "\\r";
                break;
            case '\t':
                text += "\\t";
                break;
            case '\v':
                text += "\\v";
                break;
            case '"':
                text += "\\\"";
                break;
            case '\\':
                text += "\\\\";
                break;
            default:
                if (c < 0x20) {
                    text += "\\x";
                    if (c >= 16) text += kLowerHex[c >> 4];
                    text += kLowerHex[c & 15];
                    escapeHexDigit = true;
                } else if (c < 0x80) {
                    text += static_cast<char>(c);
                } else {
                    text += static_cast<char>(0xC0 | c >> 6);
                    text += static_cast<char>(0x80 | (c & 0x3F));
                }
        }
    }
    if (quotes || (!text.empty() && (text.front() == ' ' || text.back() == ' ')))
        text = '"' + text + '"';
    return text;
}

// As QSettings reads it: blanks around it dropped, quotes keep what they
// hold, ';' outside quotes starts a comment, and a ',' outside quotes makes
// a list, which has no text.
std::string unescapedIniValue(const std::string& text) {
    std::vector<uint32_t> codes;
    size_t kept = 0;  // blanks after the last character that counts are dropped
    bool inQuotes = false;
    size_t at = 0;
    while (at < text.size() && isBlank(text[at])) ++at;
    while (at < text.size()) {
        const char c = text[at];
        if (c == '"') {
            inQuotes = !inQuotes;
            ++at;
            kept = codes.size();
            if (!inQuotes) {  // blanks right after a closing quote count for nothing
                while (at < text.size() && isBlank(text[at])) ++at;
            }
        } else if (c == '\\') {
            if (++at >= text.size()) break;
            const char e = text[at++];
            switch (e) {
                case 'a':
                    codes.push_back('\a');
                    break;
                case 'b':
                    codes.push_back('\b');
                    break;
                case 'f':
                    codes.push_back('\f');
                    break;
                case 'n':
                    codes.push_back('\n');
                    break;
                case 'r':
                    codes.push_back('\r');
                    break;
                case 't':
                    codes.push_back('\t');
                    break;
                case 'v':
                    codes.push_back('\v');
                    break;
                case '"':
                case '\'':
                case '?':
                case '\\':
                    codes.push_back(static_cast<unsigned char>(e));
                    break;
                case 'x': {
                    uint32_t code = 0;
                    for (; at < text.size() && hexValue(text[at]) >= 0; ++at)
                        code = code > 0x10FFFF
                                   ? code
                                   : code * 16 + static_cast<uint32_t>(hexValue(text[at]));
                    codes.push_back(code);
                    break;
                }
                case '\n':
                case '\r':  // an escaped line end joins the next line
                    if (e == '\r' && at < text.size() && text[at] == '\n') ++at;
                    break;
                default:
                    if (e >= '0' && e <= '7') {
                        uint32_t code = static_cast<uint32_t>(e - '0');
                        for (; at < text.size() && text[at] >= '0' && text[at] <= '7'; ++at)
                            code = code > 0x10FFFF
                                       ? code
                                       : code * 8 + static_cast<uint32_t>(text[at] - '0');
                        codes.push_back(code);
                    }
                    break;  // an unknown escape stands for nothing
            }
            kept = codes.size();
        } else if (!inQuotes && c == ';') {
            break;
        } else if (!inQuotes && c == ',') {
            return {};
        } else if (!inQuotes && isBlank(c)) {
            codes.push_back(static_cast<unsigned char>(c));
            ++at;
        } else {
            codes.push_back(decodeUtf8(text, at));
            kept = codes.size();
        }
    }
    codes.resize(kept);
    return fromVariantText(latin1(codes));
}

IniSettingsStore::IniSettingsStore(std::string configFolder)
    : configFolder_(std::move(configFolder)) {
    if (!configFolder_.empty()) return;
    // Where QSettings looks: $XDG_CONFIG_HOME when it is an absolute path,
    // else ~/.config.
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && xdg[0] == '/') {
        configFolder_ = xdg;
    } else {
        const char* home = std::getenv("HOME");
        configFolder_ = std::string(home != nullptr ? home : "") + "/.config";
    }
}

std::string IniSettingsStore::settingsFilePath(const std::string& application) const {
    std::string folder = configFolder_;
    if (!folder.empty() && folder.back() != '/') folder += '/';
    return folder + application + ".conf";
}

std::string IniSettingsStore::GetSetting(const std::string& application, const std::string& section,
                                         const std::string& key) {
    const std::string path = linkTarget(settingsFilePath(application));
    closeUp(path);
    std::string content;
    if (readWholeFile(path, content) != IoError::ok) return {};
    std::string value;
    for (const IniLine& line : parseIni(content)) {
        if (line.isEntry && line.section == section && line.key == key)
            value = unescapedIniValue(line.value);  // the last one counts
    }
    return value;
}

bool IniSettingsStore::SaveSetting(const std::string& application, const std::string& section,
                                   const std::string& key, const std::string& value) {
    const std::string path = linkTarget(settingsFilePath(application));
    closeUp(path);
    std::string content;
    // A file that is there but cannot be read is never replaced: its other
    // settings would be lost.
    if (IoError e = readWholeFile(path, content); e != IoError::ok && e != IoError::notFound)
        return false;
    std::vector<IniLine> lines = parseIni(content);
    const std::string entry = escapedIniKey(key) + "=" + escapedIniValue(value) + "\n";

    // The entry replaces the last one under this key (earlier ones go, as
    // QSettings keeps one), or follows the last line of its section.
    size_t last = lines.size(), placeAfter = lines.size();
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].section != section) continue;
        if (lines[i].isEntry && lines[i].key == key) last = i;
        if (lines[i].isEntry || (lines[i].isHeader && placeAfter == lines.size())) placeAfter = i;
    }
    std::string text;
    auto endLine = [&text] {
        if (!text.empty() && text.back() != '\n' && text.back() != '\r') text += '\n';
    };
    auto appendLine = [&text, &endLine](const std::string& raw) {
        endLine();
        text += raw;
    };
    // Ended the way the line before it is: after a lone CR, a LF would only
    // make that line's end CR LF.
    auto appendEmptyLine = [&text, &endLine] {
        endLine();
        if (!text.empty()) text += text.back();
    };
    bool written = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].isEntry && lines[i].section == section && lines[i].key == key) {
            if (i == last) {
                appendLine(entry);
                written = true;
            }
            continue;
        }
        appendLine(lines[i].raw);
        // An empty line for its escape to take, so that nothing is joined to it.
        if (lines[i].escapesNext) appendEmptyLine();
        if (i == placeAfter && last == lines.size()) {
            appendLine(entry);
            written = true;
        }
    }
    if (!written) {
        appendEmptyLine();
        appendLine(sectionHeader(section) + entry);
    }
    if (startsWith(content, kByteOrderMark)) text.insert(0, kByteOrderMark);

    if (!makeFolders(configFolder_)) return false;
    // Written beside it and then put in its place: a crash leaves the old
    // file or the new one. The new file is created 0600.
    AtomicFile file(path, AtomicFile::Mode::replaceExisting);
    return file.open() == IoError::ok && file.write(text) == IoError::ok &&
           file.commit() == IoError::ok;
}

}  // namespace vellumar
