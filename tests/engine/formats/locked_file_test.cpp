// The two locked formats on real files: round trips, the exact layout, layers
// and every refusal.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "engine/formats/cipher.h"
#include "app/file_messages.h"
#include "engine/formats/large_file.h"
#include "engine/formats/locked_header.h"
#include "engine/formats/rc4.h"
#include "engine/formats/small_file.h"
#include "tests/engine/formats/lock_fixture.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/file_attributes.h"

namespace vellumar {
namespace {

using Names = std::vector<std::string>;
using test::Shown;

bool lock(const std::string& path, test::ScriptedDesktop& desktop) {
    uint64_t length = std::stoull(fileSizeText(path));
    return length < kLargeFileThreshold ? lockSmallShown(path, desktop) : lockLargeShown(path, desktop);
}

bool unlock(const std::string& path, test::ScriptedDesktop& desktop) {
    return toUpper(getExtension(path)) == "VKW" ? unlockLargeShown(path, desktop)
                                                : unlockSmallShown(path, desktop);
}

uint32_t attributesOf(const std::string& path) {
    uint32_t attributes = 0;
    platformFileSystem().getAttributes(path, attributes);
    return attributes;
}

// A plain report.txt of `length` bytes, or (unlocking) its locked file.
std::string sourceFor(const test::TempFolder& temp, size_t length, bool unlocking) {
    const std::string plain = temp.write("report.txt", test::patternBytes(length));
    if (!unlocking) return plain;
    test::ScriptedDesktop desktop;
    EXPECT_TRUE(lock(plain, desktop));
    return temp / (length < kLargeFileThreshold ? "ercbeg.gkt.VKL" : "ercbeg.gkt.VKW");
}

TEST(LockedFile, RoundTripsRestoreTheBytesAndTheName) {
    const size_t lengths[] = {0, 1, 2, 3, 52, 53, 199999, 200000, 32768 * 7, 32768 * 7 + 1};
    for (size_t length : lengths) {
        SCOPED_TRACE(length);
        test::TempFolder temp;
        const std::string plain = test::patternBytes(length, static_cast<unsigned>(length));
        const std::string path = temp.write("work/report.txt", plain);
        const std::string lockedName =
            length < kLargeFileThreshold ? "ercbeg.gkt.VKL" : "ercbeg.gkt.VKW";
        test::ScriptedDesktop desktop;

        ASSERT_TRUE(lock(path, desktop));
        EXPECT_EQ(test::namesIn(temp / "work"), Names{lockedName});
        EXPECT_EQ(attributesOf(temp / ("work/" + lockedName)),
                  test::fileAttributesAfterSetting(kAttrReadOnly | kAttrHidden));

        ASSERT_TRUE(unlock(temp / ("work/" + lockedName), desktop));
        EXPECT_EQ(test::namesIn(temp / "work"), Names{"report.txt"});
        EXPECT_EQ(test::readFile(path), plain);
        EXPECT_EQ(attributesOf(path), test::fileAttributesAfterSetting(kAttrNormal));
        EXPECT_TRUE(desktop.messages.empty());
    }
}

// A bare name (relative to the current folder) is locked and unlocked in
// that folder, never in the root folder.
TEST(LockedFile, ABareNameStaysInTheCurrentFolder) {
    for (size_t length : {5, 200000}) {
        SCOPED_TRACE(length);
        test::TempFolder temp;
        const std::string work = temp.makeFolder("work");
        const std::string plain = temp.write("work/report.txt", test::patternBytes(length));
        const std::string locked =
            length < kLargeFileThreshold ? "ercbeg.gkt.VKL" : "ercbeg.gkt.VKW";
        test::ScriptedDesktop desktop;
        const auto previous = std::filesystem::current_path();
        std::filesystem::current_path(work);
        const bool locking = lock("report.txt", desktop);
        const Names lockedNames = test::namesIn(work);
        const bool unlocking = unlock(locked, desktop);
        std::filesystem::current_path(previous);

        EXPECT_TRUE(locking && unlocking);
        EXPECT_EQ(lockedNames, Names{locked});
        EXPECT_EQ(test::namesIn(work), Names{"report.txt"});
        EXPECT_EQ(test::readFile(plain), test::patternBytes(length));
    }
}

TEST(SmallFormat, HeaderLineThenTheStretchedCipherTextInLinesOf70) {
    struct Case {
        size_t length, lines, lastLine;
    } cases[] = {{0, 1, 0}, {1, 1, 2}, {52, 1, 70}, {53, 2, 1}, {199999, 3810, 36}};
    std::string previousHeader;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        test::TempFolder temp;
        const std::string plain = test::patternBytes(c.length);
        test::ScriptedDesktop desktop;
        ASSERT_TRUE(lockSmallShown(temp.write("report.txt", plain), desktop));
        const std::string locked = test::readFile(temp / "ercbeg.gkt.VKL");

        const std::string header = locked.substr(0, 24);
        EXPECT_EQ(header.substr(0, 8), "[Secret]");
        EXPECT_EQ(header.substr(16), deriveKey(header.substr(8, 8)));
        EXPECT_NE(header, previousHeader) << "two locks must not share a salt";
        previousHeader = header;

        // Split the rest at CR LF; every line but the last is 70 long.
        ASSERT_EQ(locked.substr(24, 2), "\r\n");
        Names lines;
        for (size_t at = 26; at < locked.size();) {
            size_t end = locked.find("\r\n", at);
            ASSERT_NE(end, std::string::npos) << "the last line is not ended";
            lines.push_back(locked.substr(at, end - at));
            at = end + 2;
        }
        ASSERT_EQ(lines.size(), c.lines);
        EXPECT_EQ(lines.back().size(), c.lastLine);
        std::string body;
        for (size_t i = 0; i < lines.size(); ++i) {
            if (i + 1 < lines.size()) {
                EXPECT_EQ(lines[i].size(), 70u) << "line " << i;
            }
            body += lines[i];
        }

        Cipher cipher;
        cipher.keyString(header);
        cipher.text(plain);
        cipher.doXor();
        cipher.stretch();
        EXPECT_EQ(body, cipher.text());
    }
}

TEST(LargeFormat, HeaderAndCrThenTheRc4HeadThenTheChunksUnchanged) {
    struct Case {
        size_t length, head;
    } cases[] = {{200000, 3392}, {32768 * 7, 0}, {32768 * 7 + 1, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        test::TempFolder temp;
        const std::string plain = test::patternBytes(c.length);
        test::ScriptedDesktop desktop;
        ASSERT_TRUE(lockLargeShown(temp.write("report.txt", plain), desktop));
        const std::string locked = test::readFile(temp / "ercbeg.gkt.VKW");

        ASSERT_EQ(locked.size(), c.length + 25);
        EXPECT_EQ(locked.substr(0, 8), "[Secret]");
        EXPECT_EQ(locked.substr(16, 8), deriveKey(locked.substr(8, 8)));
        EXPECT_EQ(locked[24], '\r');
        EXPECT_EQ(locked.substr(25, c.head), rc4Crypt(plain.substr(0, c.head), "quorvelin"));
        EXPECT_TRUE(locked.compare(25 + c.head, std::string::npos, plain, c.head) == 0);
    }
}

TEST(SmallFormat, ALockedFileLockedAgainKeepsItsNameAndUnlocksLayerByLayer) {
    test::TempFolder temp;
    test::ScriptedDesktop desktop;
    const std::string path = temp.write("report.txt", "hello");
    const std::string locked = temp / "ercbeg.gkt.VKL";
    ASSERT_TRUE(lockSmallShown(path, desktop));
    const std::string oneLayer = test::readFile(locked);

    platformFileSystem().setAttributes(locked, kAttrNormal);  // as the lock run does first
    ASSERT_TRUE(lockSmallShown(locked, desktop));
    EXPECT_EQ(test::namesIn(temp.path()), (Names{"ercbeg.gkt.VKL", "home"}));
    EXPECT_NE(test::readFile(locked), oneLayer);
    EXPECT_EQ(attributesOf(locked), test::fileAttributesAfterSetting(kAttrReadOnly | kAttrHidden));

    ASSERT_TRUE(unlockSmallShown(locked, desktop));
    EXPECT_EQ(test::readFile(locked), oneLayer);
    ASSERT_TRUE(unlockSmallShown(locked, desktop));
    EXPECT_EQ(test::namesIn(temp.path()), (Names{"home", "report.txt"}));
    EXPECT_EQ(test::readFile(path), "hello");
    EXPECT_TRUE(desktop.messages.empty());
}

// Plain content that only begins like a locked file is no layer: it comes
// back under its own name. Only a sound locked file whose header verifies
// is one, and a file named like a locked file keeps its name too.
TEST(SmallFormat, PlainContentThatLooksLockedComesBackUnderItsOwnName) {
    std::string soundLocked;
    {
        test::TempFolder temp;
        test::ScriptedDesktop desktop;
        ASSERT_TRUE(lockSmallShown(temp.write("x.txt", "x"), desktop));
        soundLocked = test::readFile(temp / "k.gkt.VKL");
    }
    ASSERT_EQ(soundLocked.substr(0, 8), "[Secret]");
    std::string wrongVerifier = soundLocked;
    wrongVerifier[20] = wrongVerifier[20] == 'a' ? 'b' : 'a';
    struct Case {
        const char* name;
        std::string content;
    } cases[] = {
        {"notes.txt", "[Secret]"},
        {"notes.txt", "[Secret] my passwords\r\n"},
        {"notes.txt", wrongVerifier},
        {"notes.txt", soundLocked + "A"},
        {"notes.txt", soundLocked.substr(0, 24)},
        {"notes.VKL", "[Secret] not locked"},
        {"notes.VKL", wrongVerifier},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.name << " " << c.content.substr(0, 30));
        test::TempFolder temp;
        test::ScriptedDesktop desktop;
        const std::string path = temp.write(c.name, c.content);
        ASSERT_TRUE(lockSmallShown(path, desktop));
        const std::string locked = lockedName(path, ".VKL");
        EXPECT_EQ(test::namesIn(temp.path()), (Names{getFileName(locked), "home"}));

        ASSERT_TRUE(unlockSmallShown(locked, desktop));
        EXPECT_EQ(test::namesIn(temp.path()), (Names{"home", c.name}));
        EXPECT_EQ(test::readFile(path), c.content);
        EXPECT_TRUE(desktop.messages.empty());
    }

    // A copy of a sound locked file under a name of its own would come back
    // under the locked name: it is refused before anything changes.
    test::TempFolder temp;
    test::ScriptedDesktop desktop;
    const std::string copy = temp.write("backup.txt", soundLocked);
    EXPECT_FALSE(lockSmallShown(copy, desktop));
    EXPECT_EQ(desktop.messages, (std::vector<Shown>{{lockedContentText(copy), Icon::critical,
                                                     "Vellumar"}}));
    EXPECT_EQ(test::namesIn(temp.path()), (Names{"backup.txt", "home"}));
    EXPECT_EQ(test::readFile(copy), soundLocked);
}

// Unlocking a file that is not a sound locked file keeps it as it is, its
// attributes too, and says what is wrong with it.
TEST(LockedFile, AWrongHeaderOrADamagedFileIsKept) {
    const Shown password{"Sorry, this is not the correct password!", Icon::exclamation, "Secret"};
    using Edit = std::function<std::string(std::string)>;
    auto put = [](size_t at, char c) -> Edit {
        return [=](std::string s) { return s.replace(at, 1, 1, c); };
    };
    auto cut = [](size_t length) -> Edit {
        return [=](std::string s) { return s.substr(0, length); };
    };
    auto erase = [](size_t at, size_t count) -> Edit {
        return [=](std::string s) { return s.erase(at, count); };
    };
    auto insert = [](size_t at, std::string text) -> Edit {
        return [=](std::string s) { return s.insert(at, text); };
    };
    auto append = [](std::string text) -> Edit { return [=](std::string s) { return s + text; }; };
    auto become = [](std::string text) -> Edit { return [=](std::string) { return text; }; };
    // Small files: the header line is bytes 0 to 23, its CR LF 24 and 25, the
    // first body line from 26. 52 bytes make one body line of 70, 53 bytes a
    // second line of 1, 200 bytes lines of 70, 70, 70 and 57.
    const char* const kPassword = nullptr;
    const char* const kNoMessage = "";
    struct Case {
        const char* name;
        size_t length;
        Edit edit;
        const char* cause;  // or the password message, or none at all
    } cases[] = {
        {"small, verifier edited", 52, put(20, '~'), kPassword},
        {"large, verifier edited", 200000, put(20, '~'), kPassword},
        {"small, not a locked file", 52, become("hello\r\n"), kPassword},
        {"small, header line cut short", 52, erase(23, 1), kPassword},
        {"small, header line only", 52, cut(24),
         "its header line of 24 characters is not followed by CR LF"},
        {"small, header line and its line end only", 52, cut(26),
         "it has no line after its header line"},
        {"small, CR LF after the header removed", 200, erase(24, 2),
         "its header line of 24 characters is not followed by CR LF"},
        {"small, LF after the header removed", 200, erase(25, 1),
         "its header line of 24 characters is not followed by CR LF"},
        {"small, character below ';'", 52, put(40, '!'),
         "it holds a character that no locked file holds"},
        {"small, character above 'z'", 52, put(40, '{'),
         "it holds a character that no locked file holds"},
        {"small, a body line of 69 before the last", 200, erase(40, 1),
         "something follows a line shorter than 70 characters, which only the last line may be"},
        {"small, a body line of 71", 200, insert(40, "a"), "a line is longer than 70 characters"},
        {"small, a body line ended by LF alone", 200, erase(26 + 70, 1),
         "a line is not ended by CR LF"},
        {"small, a body line ended by CR alone", 200, erase(26 + 71, 1),
         "a line is not ended by CR LF"},
        {"small, last line end lost", 52, cut(26 + 70), "a line is not ended by CR LF"},
        {"small, \"A\" after a full last line", 52, append("A"), "a line is not ended by CR LF"},
        {"small, \"A\" after a short last line", 53, append("A"),
         "something follows a line shorter than 70 characters, which only the last line may be"},
        {"small, an empty line at the end", 52, append("\r\n"), "it has an empty line"},
        // 52 bytes stretch to 70 characters; 69 is no length Stretch makes.
        {"small, character lost from the last line", 52, erase(40, 1),
         "its text has a length that no lock makes"},
        {"large, nothing after the header", 200000, cut(25), "nothing follows its header"},
        {"large, header without its CR", 200000, cut(24),
         "no carriage return follows its header of 24 characters"},
        {"large, CR at offset 24 replaced", 200000, put(24, 'x'),
         "no carriage return follows its header of 24 characters"},
        {"large, a byte inserted before the CR", 200000, insert(24, "x"),
         "no carriage return follows its header of 24 characters"},
        {"small, empty", 52, become(""), kNoMessage},
        {"large, empty", 200000, become(""), kNoMessage},
    };
    const uint32_t lockedAttributes = test::fileAttributesAfterSetting(kAttrReadOnly | kAttrHidden);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempFolder temp;
        test::ScriptedDesktop desktop;
        const std::string locked = sourceFor(temp, c.length, true);
        const std::string edited = c.edit(test::readFile(locked));
        platformFileSystem().setAttributes(locked, kAttrNormal);
        temp.write(getFileName(locked), edited);
        platformFileSystem().setAttributes(locked, kAttrReadOnly | kAttrHidden);

        EXPECT_FALSE(unlock(locked, desktop));
        EXPECT_EQ(test::readFile(locked), edited);
        EXPECT_EQ(attributesOf(locked), lockedAttributes);
        EXPECT_EQ(test::namesIn(temp.path()), (Names{getFileName(locked), "home"}));
        std::vector<Shown> shown{password};
        if (c.cause == kNoMessage)
            shown.clear();
        else if (c.cause)
            shown = {{"The locked file " + locked + " is damaged and cannot be unlocked: " +
                          c.cause + ". It was kept as it is.",
                      Icon::critical, "Damaged File"}};
        EXPECT_EQ(desktop.messages, shown);
    }
}

// A lock or an unlock never writes over a file that holds the name it needs.
TEST(LockedFile, AnExistingFileUnderTheNewNameIsNeverReplaced) {
    struct Case {
        const char* name;
        size_t length;
        bool unlocking;
        const char* taken;
    } cases[] = {
        {"lock small", 52, false, "ercbeg.gkt.VKL"},
        {"lock large", 200000, false, "ercbeg.gkt.VKW"},
        {"unlock small", 52, true, "report.txt"},
        {"unlock large", 200000, true, "report.txt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempFolder temp;
        test::ScriptedDesktop desktop;
        const std::string source = sourceFor(temp, c.length, c.unlocking);
        const std::string sourceBytes = test::readFile(source);
        const std::string taken = temp.write(c.taken, "another file");

        EXPECT_FALSE(c.unlocking ? unlock(source, desktop) : lock(source, desktop));
        EXPECT_EQ(test::readFile(source), sourceBytes);
        EXPECT_EQ(test::readFile(taken), "another file");
        EXPECT_EQ(test::namesIn(temp.path()).size(), 3u);
        EXPECT_EQ(
            desktop.messages,
            (std::vector<Shown>{{"The file " + taken + " already exists. Nothing was changed.",
                                 Icon::critical, "File Already Exists"}}));
    }
}

TEST(LargeFormat, ALargeLockedFileIsNotLockedAgain) {
    test::TempFolder temp;
    test::ScriptedDesktop desktop;
    const std::string path = temp.write("movie.VKW", test::patternBytes(200000));
    EXPECT_FALSE(lockLargeShown(path, desktop));
    EXPECT_EQ(test::readFile(path), test::patternBytes(200000));
    EXPECT_EQ(desktop.messages,
              (std::vector<Shown>{{"The file you are trying to lock is already locked.\r\n"
                                   "Multiple locking is supported in small files only",
                                   Icon::none, kApplicationTitle}}));
}

TEST(SmallFormat, EncryptFilesAddsEachLockedPathToTheFilesList) {
    test::TempFolder temp;
    test::ScriptedDesktop desktop;
    const std::string list = temp.write("home/files", "earlier\r\n");
    ASSERT_TRUE(lockSmallShown(temp.write("a.txt", "a"), desktop, true));
    ASSERT_TRUE(lockSmallShown(temp.write("b.txt", "b"), desktop));
    ASSERT_TRUE(lockSmallShown(temp.write("c.txt", "c"), desktop, true));
    EXPECT_EQ(test::readFile(list),
              "earlier\r\n" + (temp / "n.gkt.VKL") + "\r\n" + (temp / "p.gkt.VKL") + "\r\n");
    EXPECT_EQ(test::namesIn(temp.home()), Names{"files"});
}

// The platform's "already open" and "access denied" have messages of their
// own in the small format; the large format only reports them.
TEST(LockedFile, AlreadyOpenAndAccessDeniedShowTheirMessages) {
    const Shown lockOpen{"The file you are trying to lock is already open or in read-only mode.",
                         Icon::critical, "File Already Open"};
    const Shown lockAccess{"Path/File access error", Icon::critical, "Path/File access error"};
    const Shown unlockOpen{
        "The file you are trying to unlock is already opened. Restart the application and try "
        "again",
        Icon::critical, "File Already Open"};
    const Shown unlockAccess{
        "A Path/File access error occured during unlocking one of the selected file",
        Icon::critical, "Path/File access error"};
    struct Case {
        size_t length;
        bool unlocking;
        IoError error;
        std::vector<Shown> shown;
    } cases[] = {
        {52, false, IoError::alreadyOpen, {lockOpen}},
        {52, false, IoError::accessDenied, {lockAccess}},
        {52, true, IoError::alreadyOpen, {unlockOpen}},
        {52, true, IoError::accessDenied, {unlockAccess}},
        {200000, false, IoError::alreadyOpen, {}},
        {200000, true, IoError::accessDenied, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.length << (c.unlocking ? " unlock " : " lock ") << describe(c.error));
        // The call that fails: the source's opening for reading, found in a dry run.
        int openRead = 0;
        {
            test::TempFolder temp;
            test::ScriptedDesktop desktop;
            const std::string source = sourceFor(temp, c.length, c.unlocking);
            test::FaultyFileSystem counting;
            FileSystemOverride use(counting);
            c.unlocking ? unlock(source, desktop) : lock(source, desktop);
            const auto& log = counting.log();
            openRead =
                static_cast<int>(std::find(log.begin(), log.end(), "openRead") - log.begin()) + 1;
        }
        test::TempFolder temp;
        test::ScriptedDesktop desktop;
        const std::string source = sourceFor(temp, c.length, c.unlocking);
        const std::string sourceBytes = test::readFile(source);
        test::FaultyFileSystem faulty;
        faulty.failAt(openRead, c.error);
        {
            FileSystemOverride use(faulty);
            EXPECT_FALSE(c.unlocking ? unlock(source, desktop) : lock(source, desktop));
        }
        // Each message names the file under the words it always had.
        std::vector<Shown> shown = c.shown;
        for (Shown& message : shown) message.text += "\r\n" + source;
        EXPECT_EQ(desktop.messages, shown);
        EXPECT_EQ(test::readFile(source), sourceBytes);
        Names expected{getFileName(source), "home"};
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(test::namesIn(temp.path()), expected);
    }
}

}  // namespace
}  // namespace vellumar
