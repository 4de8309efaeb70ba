// The folder's ".hidden" list: the item's line added and taken out again,
// every other byte of the person's own lines kept, the list never replaced
// when it is not a plain list we may rewrite, and what GLib makes of it.
#include "engine/lists/hidden_list.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <utility>

#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "engine/platform/atomic_file.h"
#include "engine/platform/paths.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/file_attributes.h"
#include "tests/support/forwarding_file_system.h"
#include "tests/support/temp_folder.h"

namespace vellumar {
namespace {

#ifdef _WIN32

TEST(HiddenList, WindowsHasNoListAndWritesNothing) {
    test::TempFolder temp;
    const std::string item = temp.write("work/ercbeg.gkt.VKL", "x");
    EXPECT_TRUE(hideInFolderList(item).ok());
    EXPECT_TRUE(unhideInFolderList(item).ok());
    EXPECT_EQ(test::listTree(temp / "work"), "ercbeg.gkt.VKL\n");
}

#else

constexpr const char* kMissing = nullptr;

std::optional<std::string> listOf(const test::TempFolder& temp) {
    const std::string path = temp / "work/.hidden";
    if (!fileExists(path)) return std::nullopt;
    return test::readFile(path);
}

std::string show(const std::optional<std::string>& text) { return text ? *text : "<missing>"; }

// What a change of a list came to, as the front ends name it.
std::string said(const HiddenListResult& result) {
    return result.ok() ? "done" : result.path + ": " + hiddenListCause(result);
}

bool hasTemporary(const std::string& folder) {
    std::vector<FolderEntry> entries;
    platformFileSystem().listFolder(folder, entries);
    for (const FolderEntry& entry : entries)
        if (isTemporaryName(entry.name)) return true;
    return false;
}

struct ListCase {
    const char* what;
    const char* before;  // kMissing: no list
    std::string name;
    const char* afterHide;
    const char* afterUnhide;  // kMissing: the list was removed
};

const ListCase kListCases[] = {
    {"no list yet", kMissing, "ercbeg.gkt.VKL", "ercbeg.gkt.VKL\n", kMissing},
    {"an empty list", "", "ercbeg.gkt.VKL", "ercbeg.gkt.VKL\n", kMissing},
    {"the person's lines", "a\nb\n", "x.VKL", "a\nb\nx.VKL\n", "a\nb\n"},
    {"CR LF and no last line end", "a\r\n\n b ", "x.VKL", "a\r\n\n b \nx.VKL\n", "a\r\n\n b \n"},
    {"listed already, twice", "x.VKL\na\nx.VKL\n", "x.VKL", "x.VKL\na\nx.VKL\n", "a\n"},
    {"listed last without a line end", "a\nx.VKL", "x.VKL", "a\nx.VKL", "a\n"},
    {"a line end left in the middle", "x.VKL\na", "x.VKL", "x.VKL\na", "a"},
    {"lines that only look alike", "x.VKL\r\nx.VKLL\n.x.VKL\n", "x.VKL",
     "x.VKL\r\nx.VKLL\n.x.VKL\nx.VKL\n", "x.VKL\r\nx.VKLL\n.x.VKL\n"},
    {"any byte but '/' and a line end", "a\n", "\xff\x01 *?\\\r\t\x7f",
     "a\n\xff\x01 *?\\\r\t\x7f\n", "a\n"},
};

TEST(HiddenList, HidingAddsOneLineAndUnhidingTakesItOutKeepingEveryOtherByte) {
    for (const ListCase& c : kListCases) {
        SCOPED_TRACE(c.what);
        test::TempFolder temp;
        temp.makeFolder("work");
        if (c.before) temp.write("work/.hidden", c.before);
        const std::string item = temp / ("work/" + c.name);

        ASSERT_EQ(said(hideInFolderList(item)), "done");
        EXPECT_EQ(show(listOf(temp)), c.afterHide);
        ASSERT_EQ(said(hideInFolderList(item)), "done");  // once is enough
        EXPECT_EQ(show(listOf(temp)), c.afterHide);

        ASSERT_EQ(said(unhideInFolderList(item)), "done");
        EXPECT_EQ(show(listOf(temp)), show(c.afterUnhide ? std::optional<std::string>(c.afterUnhide)
                                                         : std::nullopt));
        ASSERT_EQ(said(unhideInFolderList(item)), "done");  // nothing left to take out
        // Only the list itself: no temporary left beside it.
        EXPECT_EQ(test::listTree(temp / "work"), c.afterUnhide ? ".hidden\n" : "");
    }
}

TEST(HiddenList, AFolderItemIsListedByItsNameAndTheListKeepsItsPermissions) {
    test::TempFolder temp;
    const std::string list = temp.write("work/.hidden", "a\n");
    ASSERT_EQ(chmod(list.c_str(), 0644), 0);
    temp.makeFolder("work/ybpxrq");

    ASSERT_EQ(said(hideInFolderList(temp / "work/ybpxrq/")), "done");
    EXPECT_EQ(test::readFile(list), "a\nybpxrq\n");
    struct stat st {};
    ASSERT_EQ(stat(list.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u);
}

// A run lists a folder's names together: one rewrite, each name once, the
// names already there left where they are; a name the list cannot hold is
// passed over and said so.
TEST(HiddenList, SeveralNamesOfAFolderGoInAndOutTogether) {
    test::TempFolder temp;
    const std::string list = temp.write("work/.hidden", "b\nmine\n");
    const std::string folder = temp / "work";
    EXPECT_EQ(said(hideNamesInFolderList(folder, {"a", "b", "a\nb", "c", "a"})),
              list + ": " + describe(IoError::unsupported));
    EXPECT_EQ(test::readFile(list), "b\nmine\na\nc\n");
    EXPECT_EQ(said(unhideNamesInFolderList(folder + "/", {"c", "b", "a", "gone"})), "done");
    EXPECT_EQ(test::readFile(list), "mine\n");
}

// The names below the test's folder and what its regular files hold (a pipe
// is not opened: that would wait for a writer).
std::string snapshot(const test::TempFolder& temp) {
    std::string text = test::listTree(temp.path());
    for (const char* name : {"outside", "work/.hidden"}) {
        struct stat st {};
        if (lstat((temp / name).c_str(), &st) == 0 && S_ISREG(st.st_mode))
            text += std::string("--- ") + name + "\n" + test::readFile(temp / name);
    }
    return text;
}

// What stands under the list's name is left exactly as it is, and the call
// names the list and says why it did nothing.
TEST(HiddenList, AListThatCannotBeEditedIsLeftAsItIsAndSaysWhy) {
    struct Refusal {
        const char* what;
        void (*make)(const test::TempFolder& temp);
        std::string name;
        std::string cause;
    };
    const Refusal refusals[] = {
        {"a folder", [](const test::TempFolder& t) { t.write("work/.hidden/inner", "a\n"); },
         "x.VKL", "it is not a regular file"},
        {"a link to a list elsewhere",
         [](const test::TempFolder& t) {
             const std::string outside = t.write("outside", "x.VKL\n");
             t.makeFolder("work");
             ASSERT_EQ(symlink(outside.c_str(), (t / "work/.hidden").c_str()), 0);
         },
         "x.VKL", "it is a symbolic link"},
        {"a named pipe",
         [](const test::TempFolder& t) {
             t.makeFolder("work");
             ASSERT_EQ(mkfifo((t / "work/.hidden").c_str(), 0600), 0);
         },
         "x.VKL", "it is not a regular file"},
        {"no write permission",
         [](const test::TempFolder& t) {
             ASSERT_EQ(chmod(t.write("work/.hidden", "x.VKL\n").c_str(), 0444), 0);
         },
         "x.VKL", "it is read-only"},
        {"the read-only attribute",
         [](const test::TempFolder& t) {
             const std::string list = t.write("work/.hidden", "x.VKL\n");
             ASSERT_EQ(platformFileSystem().setAttributes(list, kAttrReadOnly), IoError::ok);
             ASSERT_EQ(chmod(list.c_str(), 0644), 0);  // the attribute alone says so
         },
         "x.VKL", "it is read-only"},
        {"1 MiB and 1 byte",
         [](const test::TempFolder& t) {
             t.write("work/.hidden", "x.VKL\n" + std::string(kHiddenListMaxSize - 5, 'a'));
         },
         "x.VKL", "it is larger than 1 MiB"},
        {"a name with a line break",
         [](const test::TempFolder& t) { t.write("work/.hidden", "a\nb\n"); }, "a\nb",
         describe(IoError::unsupported)},
    };
    for (const Refusal& r : refusals) {
        SCOPED_TRACE(r.what);
        test::TempFolder temp;
        r.make(temp);
        uint32_t attributes = 0;
        platformFileSystem().getAttributes(temp / "work/.hidden", attributes);
        if (r.cause == "it is read-only" && (attributes & kAttrReadOnly) == 0) {
            ADD_FAILURE() << "the file system keeps no read-only attribute here";
            continue;
        }
        const std::string before = snapshot(temp);
        const std::string item = temp / ("work/" + r.name);
        const std::string expected = temp / "work/.hidden" + ": " + r.cause;
        EXPECT_EQ(said(hideInFolderList(item)), expected);
        EXPECT_EQ(said(unhideInFolderList(item)), expected);
        EXPECT_EQ(snapshot(temp), before);
    }
    // The largest list there may be is still edited.
    test::TempFolder temp;
    const std::string list =
        temp.write("work/.hidden", std::string(kHiddenListMaxSize - 6, 'a') + "\nx.VKL");
    EXPECT_EQ(said(unhideInFolderList(temp / "work/x.VKL")), "done");
    EXPECT_EQ(test::readFile(list), std::string(kHiddenListMaxSize - 6, 'a') + "\n");
}

// Between the list's status and its reading, a link is swapped in for it or
// it grows past its largest size: the link is not followed, and no more than
// the largest size and a byte is read.
TEST(HiddenList, AListSwappedOrGrownAfterItsStatusIsNeitherFollowedNorReadWhole) {
    struct ChangedBeforeItsRead final : test::ForwardingFileSystem {
        std::function<void(const std::string& list)> change;
        FileHandle list = kNoFile;
        uint64_t bytesRead = 0;
        IoError openRead(const std::string& p, FileHandle& out) override {
            const bool isList = getFileName(p) == kHiddenListName;
            if (isList && change) std::exchange(change, nullptr)(p);
            const IoError e = base().openRead(p, out);
            if (isList && e == IoError::ok) list = out;
            return e;
        }
        IoError read(FileHandle f, char* b, size_t n, size_t& got) override {
            const IoError e = base().read(f, b, n, got);
            if (f == list) bytesRead += got;
            return e;
        }
    };
    struct Case {
        const char* what;
        void (*change)(const std::string& list);
        const char* cause;
    };
    const Case cases[] = {
        {"a link swapped in",
         [](const std::string& list) {
             const std::string link = list + ".link";
             ASSERT_EQ(symlink((getFolderPart(list) + "../outside").c_str(), link.c_str()), 0);
             ASSERT_EQ(::rename(link.c_str(), list.c_str()), 0);
         },
         "it is a symbolic link"},
        {"grown to 3 MiB",
         [](const std::string& list) {
             FILE* file = std::fopen(list.c_str(), "ab");
             const std::string more(3 * kHiddenListMaxSize, 'a');
             std::fwrite(more.data(), 1, more.size(), file);
             std::fclose(file);
         },
         "it is larger than 1 MiB"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::TempFolder temp;
        temp.write("outside", "x.VKL\n");
        temp.write("work/.hidden", "mine\n");
        ChangedBeforeItsRead fs;
        fs.change = c.change;
        HiddenListResult result;
        {
            FileSystemOverride use(fs);
            result = hideInFolderList(temp / "work/x.VKL");
        }
        EXPECT_EQ(said(result), temp / "work/.hidden" + ": " + c.cause);
        EXPECT_LE(fs.bytesRead, kHiddenListMaxSize + 1);
        EXPECT_EQ(test::readFile(temp / "outside"), "x.VKL\n");
        EXPECT_FALSE(hasTemporary(temp / "work"));
    }
}

// A new list is a file like any other of the person's: the permissions the
// umask leaves of 0666, and (for Windows clients of a share, and Samba
// shares that show dot files) the hidden attribute. A rewrite keeps both.
TEST(HiddenList, ANewListTakesThePersonsUmaskAndTheHiddenAttributeAndKeepsThem) {
    for (mode_t mask : {mode_t{022}, mode_t{077}, mode_t{002}}) {
        SCOPED_TRACE(testing::Message() << "umask 0" << std::oct << mask);
        test::TempFolder temp;
        temp.makeFolder("work");
        const std::string list = temp / "work/.hidden";
        const mode_t before = ::umask(mask);
        const HiddenListResult result = hideInFolderList(temp / "work/a.VKL");
        ::umask(before);
        ASSERT_EQ(said(result), "done");
        struct stat st {};
        ASSERT_EQ(stat(list.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0666u & ~mask);
        uint32_t attributes = 0;
        ASSERT_EQ(platformFileSystem().getAttributes(list, attributes), IoError::ok);
        EXPECT_EQ(attributes, test::fileAttributesAfterSetting(kAttrHidden));

        ASSERT_EQ(chmod(list.c_str(), 0604), 0);
        ASSERT_EQ(said(hideInFolderList(temp / "work/b.VKL")), "done");
        EXPECT_EQ(test::readFile(list), "a.VKL\nb.VKL\n");
        ASSERT_EQ(stat(list.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0604u);
        ASSERT_EQ(platformFileSystem().getAttributes(list, attributes), IoError::ok);
        EXPECT_EQ(attributes, test::fileAttributesAfterSetting(kAttrHidden));
    }
}

// Each file-system call of each change made to fail, and the process ended
// at each one: the list is always the old one or the complete new one.
struct Change {
    const char* what;
    const char* before;
    HiddenListResult (*run)(const std::string& path);
    const char* after;  // kMissing: the list is removed
};

const Change kChanges[] = {
    {"hide", "a\r\nb", hideInFolderList, "a\r\nb\nx.VKL\n"},
    {"hide in a new list", kMissing, hideInFolderList, "x.VKL\n"},
    {"unhide", "a\r\nx.VKL\nb", unhideInFolderList, "a\r\nb"},
    {"unhide the last line", "x.VKL\n", unhideInFolderList, kMissing},
};

std::optional<std::string> optionalText(const char* text) {
    return text ? std::optional<std::string>(text) : std::nullopt;
}

int callsOf(const Change& c) {
    test::TempFolder temp;
    temp.makeFolder("work");
    if (c.before) temp.write("work/.hidden", c.before);
    test::FaultyFileSystem counting;
    FileSystemOverride use(counting);
    EXPECT_EQ(said(c.run(temp / "work/x.VKL")), "done");
    return counting.calls();
}

TEST(HiddenListFaults, AFailureAtAnyCallLeavesTheOldListOrTheNewOne) {
    for (const Change& c : kChanges) {
        const int calls = callsOf(c);
        for (int n = 1; n <= calls; ++n) {
            test::TempFolder temp;
            temp.makeFolder("work");
            if (c.before) temp.write("work/.hidden", c.before);
            test::FaultyFileSystem faulty;
            faulty.failAt(n);
            HiddenListResult result;
            {
                FileSystemOverride use(faulty);
                result = c.run(temp / "work/x.VKL");
            }
            SCOPED_TRACE(testing::Message() << c.what << ", call " << n << " ("
                                            << faulty.log()[n - 1] << ")");
            ASSERT_TRUE(faulty.triggered());
            EXPECT_FALSE(hasTemporary(temp / "work"));
            // A failed close of the list only read changes nothing; the last
            // flush of the folder fails after the change is made.
            const bool afterChange = n == calls && faulty.log()[n - 1] == std::string("flushFolder");
            if (result.ok() || afterChange) {
                EXPECT_EQ(listOf(temp), optionalText(c.after));
            } else {
                EXPECT_EQ(listOf(temp), optionalText(c.before));
            }
        }
    }
}

TEST(HiddenListFaults, ACrashAtAnyCallLeavesTheOldListOrTheNewOne) {
    for (const Change& c : kChanges) {
        const int calls = callsOf(c);
        for (int n = 1; n <= calls; ++n) {
            SCOPED_TRACE(testing::Message() << c.what << ", crash at call " << n);
            test::TempFolder temp;
            temp.makeFolder("work");
            if (c.before) temp.write("work/.hidden", c.before);
            const pid_t child = fork();
            ASSERT_NE(child, -1);
            if (child == 0) {
                test::FaultyFileSystem faulty;
                faulty.crashAt(n);
                FileSystemOverride use(faulty);
                c.run(temp / "work/x.VKL");
                _exit(0);
            }
            int status = 0;
            ASSERT_EQ(waitpid(child, &status, 0), child);
            ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 42) << "no crash";
            const std::optional<std::string> list = listOf(temp);
            EXPECT_TRUE(list == optionalText(c.before) || list == optionalText(c.after))
                << show(list);
        }
    }
}

// Several folders' lists changed together (as a run's commit does): a
// failure or a crash at any call leaves each list old or new, and no
// temporary behind.
struct FolderBefore {
    const char* folder;
    const char* before;
    bool hide;
    const char* after;
};
const FolderBefore kTogether[] = {
    {"a", "mine\n", true, "mine\nx.VKL\n"},
    {"b", kMissing, true, "x.VKL\n"},
    {"c", "x.VKL\n", false, kMissing},
    {"d", "x.VKL\nmine", false, "mine"},
};

void writeTogether(const test::TempFolder& temp) {
    for (const FolderBefore& f : kTogether) {
        temp.makeFolder(f.folder);
        if (f.before) temp.write(std::string(f.folder) + "/.hidden", f.before);
    }
}

std::vector<FolderListChange> changesTogether(const test::TempFolder& temp) {
    std::vector<FolderListChange> changes;
    for (const FolderBefore& f : kTogether) changes.push_back({temp / f.folder, {"x.VKL"}, f.hide, {}});
    return changes;
}

std::optional<std::string> listIn(const test::TempFolder& temp, const char* folder) {
    const std::string path = temp / (std::string(folder) + "/.hidden");
    if (!fileExists(path)) return std::nullopt;
    return test::readFile(path);
}

TEST(HiddenListFaults, ListsChangedTogetherAreEachOldOrNewWhateverFails) {
    int calls = 0;
    {
        test::TempFolder temp;
        writeTogether(temp);
        std::vector<FolderListChange> changes = changesTogether(temp);
        test::FaultyFileSystem counting;
        {
            FileSystemOverride use(counting);
            changeFolderLists(changes);
        }
        calls = counting.calls();
        for (size_t i = 0; i < changes.size(); ++i) {
            EXPECT_EQ(said(changes[i].result), "done");
            EXPECT_EQ(listIn(temp, kTogether[i].folder), optionalText(kTogether[i].after));
        }
    }
    for (int n = 1; n <= calls; ++n) {
        for (bool crash : {false, true}) {
            SCOPED_TRACE(testing::Message() << (crash ? "crash" : "failure") << " at call " << n);
            test::TempFolder temp;
            writeTogether(temp);
            std::vector<FolderListChange> changes = changesTogether(temp);
            if (crash) {
                const pid_t child = fork();
                ASSERT_NE(child, -1);
                if (child == 0) {
                    test::FaultyFileSystem faulty;
                    faulty.crashAt(n);
                    FileSystemOverride use(faulty);
                    changeFolderLists(changes);
                    _exit(0);
                }
                int status = 0;
                ASSERT_EQ(waitpid(child, &status, 0), child);
                ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 42) << "no crash";
            } else {
                test::FaultyFileSystem faulty;
                faulty.failAt(n);
                FileSystemOverride use(faulty);
                changeFolderLists(changes);
            }
            for (size_t i = 0; i < changes.size(); ++i) {
                const FolderBefore& f = kTogether[i];
                SCOPED_TRACE(f.folder);
                const std::optional<std::string> list = listIn(temp, f.folder);
                EXPECT_TRUE(list == optionalText(f.before) || list == optionalText(f.after))
                    << show(list);
                // A change said to be made is made.
                if (!crash && changes[i].result.ok()) {
                    EXPECT_EQ(list, optionalText(f.after));
                }
                // A crash leaves a temporary only the next run knows for ours.
                if (!crash) {
                    EXPECT_FALSE(hasTemporary(temp / f.folder));
                }
            }
        }
    }
}

// Another program (a file manager, an editor) writes the list after it was
// read and before the new list takes its name: its version stays, and the
// change says so rather than undo it. Also when the list was made meanwhile.
TEST(HiddenList, AListEditedMeanwhileIsNotReplacedByAnOlderCopy) {
    for (const Change& c : kChanges) {
        // Taking out the last line removes the list: no new list is named.
        if (!c.after) continue;
        SCOPED_TRACE(c.what);
        test::TempFolder temp;
        temp.makeFolder("work");
        if (c.before) temp.write("work/.hidden", c.before);
        test::ListEditedMeanwhile editor;
        HiddenListResult result;
        {
            FileSystemOverride use(editor);
            result = c.run(temp / "work/x.VKL");
        }
        EXPECT_TRUE(editor.edited);
        EXPECT_EQ(said(result), temp / "work/.hidden" + ": it changed while it was being rewritten");
        EXPECT_EQ(show(listOf(temp)), std::string(c.before ? c.before : "") + "edited\n");
        EXPECT_EQ(test::listTree(temp / "work"), ".hidden\n");
    }
}

// GLib, which most Linux file managers build on, hides what the list names.
std::string gioIsHidden(const std::string& path) {
    const std::string command = "gio info -a standard::is-hidden '" + path + "' 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return "<gio could not be started>";
    std::string output;
    char buffer[512];
    while (size_t got = fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, got);
    pclose(pipe);
    const std::string key = "standard::is-hidden: ";
    const size_t at = output.find(key);
    // GLib leaves the attribute out for a file it shows.
    if (at == std::string::npos) return output.ends_with("attributes:\n") ? "FALSE" : output;
    return output.substr(at + key.size(), output.find('\n', at) - at - key.size());
}

TEST(HiddenList, GioHidesAListedFileAndShowsItOnceUnlisted) {
    if (std::system("command -v gio >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "gio (Debian package libglib2.0-bin) is not installed";
    test::TempFolder temp;
    temp.write("work/.hidden", "a\n");
    const std::string item = temp.write("work/ercbeg.gkt.VKL", "locked");

    EXPECT_EQ(gioIsHidden(item), "FALSE");
    ASSERT_EQ(said(hideInFolderList(item)), "done");
    EXPECT_EQ(gioIsHidden(item), "TRUE");
    ASSERT_EQ(said(unhideInFolderList(item)), "done");
    EXPECT_EQ(gioIsHidden(item), "FALSE");
}

#endif

}  // namespace
}  // namespace vellumar
