#include "engine/names.h"

#include <gtest/gtest.h>

#include "engine/platform.h"
#include "tests/support/temp_folder.h"

namespace vellumar {
namespace {

// Writes a path with '/' in the platform's separator.
std::string P(std::string path) {
    for (char& c : path)
        if (c == '/') c = kSeparator;
    return path;
}

TEST(ScrambleName, SubstitutesEveryCharacterButTheLast) {
    struct Case {
        std::string in, out;
    } cases[] = {
        {"report.txt", "ercbeg.gkt"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZ!", "NOPQRSTUVWXYZABCDEFGHIJKLM!"},
        {"abcdefghijklmnopqrstuvwxyz!", "nopqrstuvwxyzabcdefghijklm!"},
        {"=~x", "~=x"},
        {"Mixed Case 123.Doc", "Zvkrq Pnfr 123.Qbc"},
        {P("C:/Data/notes.txt"), P("P:/Qngn/abgrf.gkt")},
        {"\xe9t\xc9\xff.z", "\xe9g\xc9\xff.z"},
        {"a", "a"},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ScrambleName(c.in), c.out) << c.in;
        EXPECT_EQ(ScrambleName(ScrambleName(c.in)), c.in) << c.in;
    }
}

TEST(IsUpperCase, BlankIsNotUpperCaseButDigitsAndPunctuationAre) {
    EXPECT_TRUE(IsUpperCase("A"));
    EXPECT_TRUE(IsUpperCase("7"));
    EXPECT_TRUE(IsUpperCase("="));
    EXPECT_FALSE(IsUpperCase("a"));
    EXPECT_FALSE(IsUpperCase(" "));
    EXPECT_FALSE(IsUpperCase(""));
}

TEST(PathHelpers, SplitAndJoinOnThePlatformSeparator) {
    EXPECT_EQ(AddBackslash(P("/data")), P("/data/"));
    EXPECT_EQ(AddBackslash(P("/data/")), P("/data/"));
    EXPECT_EQ(AddBackslash(""), P("/"));
    EXPECT_EQ(StripBackslash(P("/data//")), P("/data/"));
    EXPECT_EQ(StripBackslash("data"), "data");

    EXPECT_EQ(GetExtension(P("/a/b.txt")), "txt");
    EXPECT_EQ(GetExtension(P("/a.dir/name")), P("dir/name"));
    EXPECT_EQ(GetExtension(P("/a/name")), "");

    EXPECT_EQ(GetFolderPart(P("/a/b.txt")), P("/a/"));
    EXPECT_EQ(GetFolderPart(P("/")), P("/"));
    EXPECT_EQ(GetFolderPart("name"), "");
    EXPECT_EQ(GetFileName(P("/a/b.txt")), "b.txt");
    EXPECT_EQ(GetFileName("b.txt"), "b.txt");
    EXPECT_EQ(GetFileName(P("/a/")), "");
}

TEST(PathHelpers, RemoveExtensionTakesOnlyTheLastComponentsExtension) {
    struct Case {
        std::string in, out;
    } cases[] = {
        {P("/a/ercbeg.gkt.VKL"), P("/a/ercbeg.gkt")},
        {P("/a.dir/name"), P("/a.dir/name")},
        {P("/a/name."), P("/a/name")},
        {P("/a/.hidden"), P("/a/")},
        {P("/a/file.a b"), P("/a/file.a b")},
        {std::string("x.txt\0.y", 8), "x"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(RemoveExtension(c.in), c.out) << c.in;
    EXPECT_EQ(TrimNull(std::string("ab\0cd", 5)), "ab");
    EXPECT_EQ(TrimNull("abc"), "abc");
    EXPECT_EQ(Trim("  a b  "), "a b");
}

TEST(FileHelpers, ExistenceSizeAndSilentDelete) {
    test::TempFolder temp;
    std::string file = temp.write("f.bin", std::string(1234, 'x'));
    std::string folder = temp.makeFolder("sub");

    EXPECT_TRUE(FileExists(file));
    EXPECT_TRUE(FileExists(folder));
    EXPECT_FALSE(FileExists(temp / "missing"));
    EXPECT_FALSE(FileExists(""));

    EXPECT_EQ(FileSizeText(file), "1234");
    EXPECT_EQ(FileSizeText(temp / "missing"), "");
    EXPECT_EQ(FileSizeText(""), "");

    EXPECT_TRUE(ShellDelete(file));
    EXPECT_FALSE(FileExists(file));
    EXPECT_FALSE(ShellDelete(file));
}

}  // namespace
}  // namespace vellumar
