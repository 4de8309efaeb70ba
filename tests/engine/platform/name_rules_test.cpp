// The names Windows takes, and names as Windows matches them in any case.
#include "engine/platform/name_rules.h"

#include <gtest/gtest.h>

#include <string>

#include "engine/formats/locked_folder_name.h"

namespace vellumar {
namespace {

#ifndef _WIN32
std::string repeated(const std::string& text, int times) {
    std::string result;
    for (int i = 0; i < times; ++i) result += text;
    return result;
}
#endif

TEST(windowsNameCheck, TakesWhatWindowsTakesAndNamesWhyNot) {
    struct Case {
        std::string name;
        IoError expected;
    } cases[] = {
        {"report.txt.VKL", IoError::ok},
        {"Zvkrq Pnfr 123.Qbc.VKL", IoError::ok},
        {".hidden", IoError::ok},
        {"CONSOLE.txt", IoError::ok},  // only the device names themselves
        {"COM0", IoError::ok},
        {"LPT10.txt", IoError::ok},
        {"xCON", IoError::ok},
        {"\xc5\xa0\xc5\xa1", IoError::ok},  // Š š
        {"a|b.VKL", IoError::nameNotAllowed},
        {"a<b", IoError::nameNotAllowed},
        {"a>b", IoError::nameNotAllowed},
        {"a:b", IoError::nameNotAllowed},
        {"a\"b", IoError::nameNotAllowed},
        {"a\\b", IoError::nameNotAllowed},
        {"a/b", IoError::nameNotAllowed},
        {"a?b", IoError::nameNotAllowed},
        {"a*b", IoError::nameNotAllowed},
        {"tab\there", IoError::nameNotAllowed},
        {std::string("nul\0here", 8), IoError::nameNotAllowed},
        {"\x1f", IoError::nameNotAllowed},
        {"ends in a dot.", IoError::nameNotAllowed},
        {"ends in a blank ", IoError::nameNotAllowed},
        {"", IoError::nameNotAllowed},
        {"CON", IoError::nameNotAllowed},
        {"con.noc.VKL", IoError::nameNotAllowed},  // "pba.abc" locked
        {"Prn.txt", IoError::nameNotAllowed},
        {"AUX", IoError::nameNotAllowed},
        {"nul.tar.gz", IoError::nameNotAllowed},
        {"CON .txt", IoError::nameNotAllowed},
        {"COM1", IoError::nameNotAllowed},
        {"com9.log", IoError::nameNotAllowed},
        {"LPT1", IoError::nameNotAllowed},
        {"lpt9.VKW", IoError::nameNotAllowed},
        {std::string(255, 'n'), IoError::ok},
        {std::string(256, 'n'), IoError::nameTooLong},
#ifndef _WIN32
        // UTF-16 units, not bytes: "é" is two bytes and one unit, a
        // character beyond the first plane four bytes and two units.
        {std::string(127, 'n') + repeated("\xc3\xa9", 128), IoError::ok},
        {repeated("\xf0\x9f\x94\x92", 127) + "n", IoError::ok},
        {repeated("\xf0\x9f\x94\x92", 128), IoError::nameTooLong},
#endif
    };
    for (const Case& c : cases) EXPECT_EQ(windowsNameCheck(c.name), c.expected) << c.name;
}

TEST(caseFolded, MatchesTheLettersALockedNameCanHoldInEitherCase) {
#ifdef _WIN32
    // Names are the ANSI bytes there.
    const std::string upper = "ABC\x8a\x8c\x8e\x9f\xc0\xc9\xde";
    const std::string lower = "abc\x9a\x9c\x9e\xff\xe0\xe9\xfe";
#else
    const std::string upper = "ABC\xc5\xa0\xc5\x92\xc5\xbd\xc5\xb8\xc3\x80\xc3\x89\xc3\x9e";
    const std::string lower = "abc\xc5\xa1\xc5\x93\xc5\xbe\xc3\xbf\xc3\xa0\xc3\xa9\xc3\xbe";
#endif
    EXPECT_EQ(caseFolded(upper), caseFolded(lower));
    EXPECT_EQ(caseFolded(lower), lower);
    // Told apart: × and ÷ are no letters, and other characters stay as they are.
    EXPECT_NE(caseFolded("\xc3\x97"), caseFolded("\xc3\xb7"));
    EXPECT_EQ(caseFolded("1-_.~"), "1-_.~");
    // The folder names whose locked names differ only in case: "I" and "Y"
    // are "Š" and "š", "K" and "[" are "Œ" and "œ".
    EXPECT_EQ(caseFolded(lockedFolderName("I")), caseFolded(lockedFolderName("Y")));
    EXPECT_EQ(caseFolded(lockedFolderName("K")), caseFolded(lockedFolderName("[")));
    EXPECT_EQ(caseFolded(lockedFolderName("M")), caseFolded(lockedFolderName("]")));
    EXPECT_EQ(caseFolded(lockedFolderName("^")), caseFolded(lockedFolderName("\xbe")));
    EXPECT_EQ(caseFolded(lockedFolderName("\x7f")), caseFolded(lockedFolderName("\x9f")));
    EXPECT_NE(caseFolded(lockedFolderName("A")), caseFolded(lockedFolderName("a")));
}

}  // namespace
}  // namespace vellumar
