#include "engine/formats/names.h"
#include "engine/platform/paths.h"

#include <gtest/gtest.h>

#include "engine/platform/platform.h"
#include "tests/support/temp_folder.h"

namespace vellumar {
namespace {

// Writes a path with '/' in the platform's separator.
std::string P(std::string path) {
    for (char& c : path)
        if (c == '/') c = kSeparator;
    return path;
}

TEST(scrambleName, SubstitutesEveryCharacterButTheLast) {
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
        EXPECT_EQ(scrambleName(c.in), c.out) << c.in;
        EXPECT_EQ(scrambleName(scrambleName(c.in)), c.in) << c.in;
    }
}

TEST(isUpperCase, BlankIsNotUpperCaseButDigitsAndPunctuationAre) {
    EXPECT_TRUE(isUpperCase("A"));
    EXPECT_TRUE(isUpperCase("7"));
    EXPECT_TRUE(isUpperCase("="));
    EXPECT_FALSE(isUpperCase("a"));
    EXPECT_FALSE(isUpperCase(" "));
    EXPECT_FALSE(isUpperCase(""));
}

TEST(PathHelpers, SplitAndJoinOnThePlatformSeparator) {
    EXPECT_EQ(addBackslash(P("/data")), P("/data/"));
    EXPECT_EQ(addBackslash(P("/data/")), P("/data/"));
    EXPECT_EQ(addBackslash(""), P("/"));
    EXPECT_EQ(stripBackslash(P("/data//")), P("/data/"));
    EXPECT_EQ(stripBackslash("data"), "data");

    EXPECT_EQ(getExtension(P("/a/b.txt")), "txt");
    EXPECT_EQ(getExtension(P("/a.dir/name")), P("dir/name"));
    EXPECT_EQ(getExtension(P("/a/name")), "");

    EXPECT_EQ(getFolderPart(P("/a/b.txt")), P("/a/"));
    EXPECT_EQ(getFolderPart(P("/")), P("/"));
    EXPECT_EQ(getFolderPart("name"), "");
    EXPECT_EQ(getFileName(P("/a/b.txt")), "b.txt");
    EXPECT_EQ(getFileName("b.txt"), "b.txt");
    EXPECT_EQ(getFileName(P("/a/")), "");
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
    for (const auto& c : cases) EXPECT_EQ(removeExtension(c.in), c.out) << c.in;
    EXPECT_EQ(trimNull(std::string("ab\0cd", 5)), "ab");
    EXPECT_EQ(trimNull("abc"), "abc");
    EXPECT_EQ(trim("  a b  "), "a b");
}

TEST(FileHelpers, ExistenceSizeAndSilentDelete) {
    test::TempFolder temp;
    std::string file = temp.write("f.bin", std::string(1234, 'x'));
    std::string folder = temp.makeFolder("sub");

    EXPECT_TRUE(fileExists(file));
    EXPECT_TRUE(fileExists(folder));
    EXPECT_FALSE(fileExists(temp / "missing"));
    EXPECT_FALSE(fileExists(""));

    EXPECT_EQ(fileSizeText(file), "1234");
    EXPECT_EQ(fileSizeText(temp / "missing"), "");
    EXPECT_EQ(fileSizeText(""), "");

    EXPECT_TRUE(shellDelete(file));
    EXPECT_FALSE(fileExists(file));
    EXPECT_FALSE(shellDelete(file));
}

}  // namespace
}  // namespace vellumar
