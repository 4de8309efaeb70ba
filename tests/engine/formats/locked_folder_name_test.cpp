#include "engine/formats/locked_folder_name.h"

#include <gtest/gtest.h>

#include "engine/platform/file_system.h"
#include "engine/formats/text_shift.h"
#include "tests/support/temp_folder.h"

namespace vellumar {
namespace {

// Every name a folder can be locked under: the printable ASCII characters
// and the bytes up to 190 that follow them.
std::string everyLockableByte() {
    std::string all;
    for (int c = 1; c <= 190; ++c)
        if (c != '/' && c != '\\') all += static_cast<char>(c);
    return all;
}

TEST(LockedFolderName, BothFormsGiveThePlainNameBack) {
    for (const std::string& plain :
         {std::string("Vault"), std::string("a b.c"), std::string("0-9"),
          everyLockableByte().substr(0, 90), everyLockableByte().substr(90)}) {
        EXPECT_EQ(plainFolderName(lockedFolderName(plain)), plain) << plain;
        EXPECT_EQ(plainFolderName(encodeText(plain)), plain) << plain;
    }
}

#ifdef _WIN32
TEST(LockedFolderName, WindowsKeepsTheShiftedBytes) {
    EXPECT_EQ(lockedFolderName("Vault"), encodeText("Vault"));
}
#else
// Samba leaves a name that is not UTF-8 out of its listings.
TEST(LockedFolderName, OnLinuxItIsTheShiftedBytesReadAsWindows1252) {
    // "V" 0x97, "a" 0xa2, "u" 0xb6, "l" 0xad, "t" 0xb5
    EXPECT_EQ(lockedFolderName("Vault"), "\xe2\x80\x94\xc2\xa2\xc2\xb6\xc2\xad\xc2\xb5");
    // "@" 0x81, one Windows-1252 leaves undefined; "0" 0x71
    EXPECT_EQ(lockedFolderName("@0"), "\xc2\x81q");
    std::string bytes;
    EXPECT_TRUE(utf8ToWindows1252(lockedFolderName(everyLockableByte()), bytes));
}

TEST(LockedFolderName, ANameThatGrowsPastTheLongestCannotBeLocked) {
    EXPECT_TRUE(canHaveLockedFolderName(std::string(255, '0')));  // stays ASCII
    EXPECT_TRUE(canHaveLockedFolderName(std::string(127, 'a')));  // two bytes each
    EXPECT_FALSE(canHaveLockedFolderName(std::string(128, 'a')));
    EXPECT_FALSE(canHaveLockedFolderName(std::string(86, 'V')));  // three bytes each
    EXPECT_FALSE(canHaveLockedFolderName("caf\xc3\xa9"));
}

TEST(LockedFolderName, TheFolderIsFoundUnderEitherForm) {
    test::TempFolder temp;
    const std::string parent = temp.path() + "/";
    EXPECT_EQ(lockedFolderPath(parent, "A"), parent + lockedFolderName("A"));  // neither: this one
    temp.makeFolder(encodeText("A"));
    EXPECT_EQ(lockedFolderPath(parent, "A"), parent + encodeText("A"));
    temp.makeFolder(lockedFolderName("A"));
    EXPECT_EQ(lockedFolderPath(parent, "A"), parent + lockedFolderName("A"));
    EXPECT_EQ(lockedFolderPath(parent, "012"), parent + "qrs");  // both forms alike
}
#endif

}  // namespace
}  // namespace vellumar
