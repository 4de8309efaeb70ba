// What only Windows has: the registry hives of the store, the attribute bits
// of the file system itself, sharing violations.
#ifdef _WIN32

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>

#include "engine/platform/file_system.h"
#include "engine/platform/platform.h"
#include "engine/lists/registry_store.h"
#include "tests/support/temp_folder.h"

namespace vellumar {
namespace {

const char* const kTestKey = "Software\\VellumarTest";

class WindowsHive : public ::testing::Test {
protected:
    void SetUp() override { RegDeleteTreeA(HKEY_CURRENT_USER, kTestKey); }
    void TearDown() override { RegDeleteTreeA(HKEY_CURRENT_USER, kTestKey); }

    // The value as the registry holds it: its type and its bytes.
    static bool raw(const std::string& name, DWORD& type, std::string& data) {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, kTestKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
            return false;
        DWORD size = 0;
        LONG status = RegQueryValueExA(key, name.c_str(), nullptr, &type, nullptr, &size);
        data.assign(size, '\0');
        if (status == ERROR_SUCCESS)
            status = RegQueryValueExA(key, name.c_str(), nullptr, &type,
                                      reinterpret_cast<BYTE*>(data.data()), &size);
        RegCloseKey(key);
        return status == ERROR_SUCCESS;
    }
};

TEST_F(WindowsHive, EachKindIsStoredAsItsRegistryTypeAndReadsBack) {
    const std::string longText(3000, 'q');
    struct Case {
        const char* kind;
        std::string value;
        DWORD type;
        std::string bytes;
        std::string readBack;
    } cases[] = {
        {"S", "P:\\Qngn\\abgrf.gkt.VKL", REG_SZ, std::string("P:\\Qngn\\abgrf.gkt.VKL\0", 22),
         "P:\\Qngn\\abgrf.gkt.VKL"},
        {"s", "", REG_SZ, std::string("\0", 1), ""},
        {"S", longText, REG_SZ, longText + '\0', longText},
        {"B", "True", REG_BINARY, "\xFF\xFF", "True"},
        {"b", "7", REG_BINARY, "\xFF\xFF", "True"},
        {"B", " 0 ", REG_BINARY, std::string(2, '\0'), "False"},
        {"D", "-5", REG_DWORD, "\xFB\xFF\xFF\xFF", "-5"},
        {"D", "32767", REG_DWORD, std::string("\xFF\x7F\0\0", 4), "32767"},
        {"d", "2.5", REG_DWORD, std::string("\x02\0\0\0", 4), "2"},  // half to even
        {"D", "True", REG_DWORD, "\xFF\xFF\xFF\xFF", "-1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.kind) + " " + c.value.substr(0, 30));
        ASSERT_EQ(writeRegValue("HKCU", kTestKey, "value", c.kind, c.value), 0);
        DWORD type = REG_NONE;
        std::string bytes;
        ASSERT_TRUE(raw("value", type, bytes));
        EXPECT_EQ(type, c.type);
        EXPECT_EQ(bytes, c.bytes);
        std::string result;
        EXPECT_EQ(readRegValue("hkcu", kTestKey, "VALUE", c.kind, "default", result), 0);
        EXPECT_EQ(result, c.readBack);
    }
}

TEST_F(WindowsHive, AValueThatDoesNotConvertWritesNothing) {
    struct Case {
        const char* kind;
        const char* value;
    } cases[] = {{"D", "40000"}, {"D", "-32769"}, {"D", "many"},
                 {"B", "maybe"}, {"B", ""},       {"X", "1"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.kind) + " " + c.value);
        EXPECT_EQ(writeRegValue("HKCU", kTestKey, "value", c.kind, c.value), kNoStore);
        std::string result;
        EXPECT_EQ(readRegValue("HKCU", kTestKey, "value", "S", "default", result),
                  ERROR_FILE_NOT_FOUND);
        EXPECT_EQ(result, "default");
    }
}

TEST_F(WindowsHive, DeletingRemovesTheValueAndWhatIsMissingCountsAsDeleted) {
    std::string result;
    EXPECT_EQ(deleteRegValue("HKCU", kTestKey, "value"), 0);  // no key yet
    EXPECT_EQ(readRegValue("HKCU", kTestKey, "value", "S", "default", result),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(result, "default");

    ASSERT_EQ(writeRegValue("HKCU", kTestKey, "value", "S", "text"), 0);
    ASSERT_EQ(writeRegValue("HKCU", kTestKey, "other", "S", "kept"), 0);
    EXPECT_EQ(deleteRegValue("hkcu", kTestKey, "VALUE"), 0);
    EXPECT_EQ(readRegValue("HKCU", kTestKey, "value", "S", "", result), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(result, "");
    EXPECT_EQ(deleteRegValue("HKCU", kTestKey, "value"), 0);  // no value any more
    EXPECT_EQ(readRegValue("HKCU", kTestKey, "other", "S", "", result), 0);
    EXPECT_EQ(result, "kept");
}

TEST(WindowsFileSystem, AttributesAreTheFileSystemsOwnBits) {
    test::TempFolder temp;
    std::string file = temp.write("a", "x");
    ASSERT_EQ(fileSystem().setAttributes(file, kAttrReadOnly | kAttrHidden | kAttrSystem),
              IoError::ok);
    DWORD bits = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    EXPECT_EQ(GetFileAttributesA(file.c_str()) & bits, bits);
    ASSERT_EQ(fileSystem().setAttributes(file, kAttrNormal), IoError::ok);
    EXPECT_EQ(GetFileAttributesA(file.c_str()) & bits, 0u);
}

TEST(WindowsFileSystem, ReadOnlyFilesAndFoldersAreRemovedAnyway) {
    test::TempFolder temp;
    std::string file = temp.write("a", "x");
    std::string folder = temp.makeFolder("sub");
    ASSERT_EQ(fileSystem().setAttributes(file, kAttrReadOnly | kAttrHidden), IoError::ok);
    ASSERT_TRUE(SetFileAttributesA(folder.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(fileSystem().removeFile(file), IoError::ok);
    EXPECT_EQ(fileSystem().removeFolder(folder), IoError::ok);
    EXPECT_EQ(test::listTree(temp.path()), "home\n");
    EXPECT_EQ(fileSystem().removeFile(file), IoError::notFound);
}

TEST(WindowsFileSystem, AFileHeldWithoutSharingAnswersAlreadyOpenAndStaysIntact) {
    test::TempFolder temp;
    std::string file = temp.write("held", "content");
    HANDLE held = CreateFileA(file.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    FileSystem& fs = fileSystem();
    FileHandle handle = kNoFile;
    EXPECT_EQ(fs.openRead(file, handle), IoError::alreadyOpen);
    EXPECT_EQ(fs.openAppend(file, handle), IoError::alreadyOpen);
    EXPECT_EQ(fs.removeFile(file), IoError::alreadyOpen);
    EXPECT_EQ(fs.rename(file, temp / "moved"), IoError::alreadyOpen);
    FileStatus status;
    EXPECT_EQ(fs.status(file, status), IoError::ok);
    EXPECT_EQ(status.size, 7u);
    CloseHandle(held);
    EXPECT_EQ(test::readFile(file), "content");
}

TEST(WindowsFileSystem, StatusTellsTheSameFileWhateverTheSpellingAndTakesNoWildcards) {
    test::TempFolder temp;
    std::string a = temp.write("Name.txt", "a"), b = temp.write("other.txt", "b");
    FileStatus first, second, other;
    ASSERT_EQ(fileSystem().status(a, first), IoError::ok);
    ASSERT_EQ(fileSystem().status(temp.path() + "/NAME.TXT", second), IoError::ok);
    ASSERT_EQ(fileSystem().status(b, other), IoError::ok);
    EXPECT_EQ(first.kind, EntryKind::file);
    EXPECT_EQ(std::make_pair(first.volume, first.index),
              std::make_pair(second.volume, second.index));
    EXPECT_NE(std::make_pair(first.volume, first.index), std::make_pair(other.volume, other.index));
    EXPECT_EQ(fileSystem().status(temp / "*.txt", second), IoError::notFound);
    EXPECT_EQ(fileSystem().status(temp / "Name.tx?", second), IoError::notFound);
}

TEST(WindowsPlatform, DirectoriesAndAPortableCopysListFiles) {
    std::string windows = windowsDirectory(), system = systemDirectory();
    EXPECT_EQ(system.rfind(windows + "\\", 0), 0u) << windows << " " << system;
    EXPECT_NE(windows.back(), '\\');

    test::TempFolder temp;
    _putenv_s("TESSARIN_HOME", "");  // an empty value removes the variable
    std::string exe = executablePath();
    EXPECT_EQ(applicationDirectory(), exe.substr(0, exe.rfind('\\')));
    _putenv_s("TESSARIN_HOME", (temp.home() + "\\").c_str());
    EXPECT_EQ(applicationFile("files"), temp.home() + "\\files");
}

}  // namespace
}  // namespace vellumar

#endif
