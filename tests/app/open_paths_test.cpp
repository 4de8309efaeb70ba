// Paths from outside: the command line, the request a later start hands to
// the running copy, a dropped uri-list, the operation the paths call for,
// and how the window's list is filled from them.

#include "app/open_paths.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "app/path_opener.h"
#include "app/start_options.h"
#include "engine/formats/locked_folder_name.h"
#include "engine/formats/locked_header.h"
#include "engine/formats/names.h"
#include "engine/platform/paths.h"
#include "engine/platform/platform.h"
#include "tests/app/wizard_fixture.h"

namespace vellumar::test {
namespace {

#ifndef _WIN32
// Paths spelt the POSIX way, links and special files.
TEST(OpenArguments, ParseIntoARequest) {
    struct Case {
        std::vector<std::string> arguments;
        OpenIntent intent;
        std::vector<std::string> paths;
        std::string error;
    } cases[] = {
        {{}, OpenIntent::open, {}, ""},
        {{"/a/b.txt", "c d.txt"}, OpenIntent::open, {"/a/b.txt", "/home/u/c d.txt"}, ""},
        {{"--lock", "/a"}, OpenIntent::lock, {"/a"}, ""},
        {{"--unlock", "x/../y.VKL"}, OpenIntent::unlock, {"/home/u/y.VKL"}, ""},
        // After "--" a name that looks like an option is a path.
        {{"--", "--lock", "-"}, OpenIntent::open, {"/home/u/--lock", "/home/u/-"}, ""},
        // Bytes that are no UTF-8 pass through untouched.
        {{"/d/\xff\xfe.txt"}, OpenIntent::open, {"/d/\xff\xfe.txt"}, ""},
        {{"--verbose", "/a"}, OpenIntent::open, {}, "unknown option '--verbose'"},
        // Qt takes out its own options first; one it left is none of ours.
        {{"-x", "/a"}, OpenIntent::open, {}, "unknown option '-x'"},
    };
    for (const Case& c : cases) {
        OpenRequest request;
        std::string error;
        const bool parsed = parseOpenArguments(c.arguments, "/home/u", request, error);
        SCOPED_TRACE(c.arguments.empty() ? "(none)" : c.arguments.back());
        EXPECT_EQ(parsed, c.error.empty());
        EXPECT_EQ(error, c.error);
        if (!parsed) continue;
        EXPECT_EQ(request.intent, c.intent);
        EXPECT_EQ(request.paths, c.paths);
    }
}

#endif

// Read before the window exists: --help and --version end the program
// whatever else is given, a long option it does not know is refused, and
// the rest (paths, Qt's single-dash options) is left for later.
TEST(StartOptions, HelpVersionOrAnUnknownLongOptionEndTheProgramFirst) {
    const std::string usage = "Tessarin: unknown option '--verbose'\nTry 'Tessarin --help'.\n";
    struct Case {
        std::vector<std::string> arguments;
        bool ends;
        int status;
        std::string out;  // "help": the help text
        std::string err;
    } cases[] = {
        {{}, false, 0, "", ""},
        {{"--lock", "/a", "-style", "fusion"}, false, 0, "", ""},
        {{"--unlock", "-h"}, true, 0, "help", ""},
        {{"/a", "--version"}, true, 0, "Tessarin " VELLUMAR_VERSION "\n", ""},
        {{"--version", "--help"}, true, 0, "help", ""},
        {{"--help", "--verbose"}, true, 2, "", usage},
        {{"--verbose", "--version"}, true, 2, "", usage},
        // After "--" they are paths.
        {{"--", "--help", "--verbose"}, false, 0, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.empty() ? "(none)" : c.arguments.back());
        const StartExit exit = readStartOptions(c.arguments);
        EXPECT_EQ(exit.ends, c.ends);
        EXPECT_EQ(exit.status, c.status);
        if (c.out == "help")
            EXPECT_TRUE(exit.out.starts_with("Usage: Tessarin [--lock | --unlock] [PATH...]\n"))
                << exit.out;
        else
            EXPECT_EQ(exit.out, c.out);
        EXPECT_EQ(exit.err, c.err);
    }
}

TEST(OpenArguments, ARequestReachesTheRunningCopyWhole) {
    const OpenRequest requests[] = {
        {OpenIntent::open, {}},
        {OpenIntent::lock, {"/a b/c.txt", "/line\nbreak", "/\xff\x80"}},
        {OpenIntent::unlock, {"/x.VKL"}},
    };
    for (const OpenRequest& sent : requests) {
        const std::string bytes = encodeOpenRequest(sent);
        OpenRequest received;
        ASSERT_TRUE(decodeOpenRequest(bytes, received));
        EXPECT_EQ(received, sent);
        // A request that has not all arrived yet is not taken.
        for (size_t cut = 0; cut < bytes.size(); ++cut)
            EXPECT_FALSE(decodeOpenRequest(bytes.substr(0, cut), received)) << cut;
    }
    OpenRequest received;
    for (const std::string& bad : {std::string("erase\0/a\0\0", 10), std::string("\0\0", 2),
                                   std::string("open\0/a\0\0/b\0\0", 13)})
        EXPECT_FALSE(decodeOpenRequest(bad, received)) << bad;
}

#ifndef _WIN32
TEST(UriList, GivesLocalPathsByteForByte) {
    const std::string list =
        "# a comment\r\n"
        "file:///home/u/a%20b.txt\r\n"
        "file://localhost/home/u/%C3%A9t%C3%A9\r\n"
        "file:///home/u/raw%FF\n"
        "file://elsewhere/share/x\r\n"   // another machine's
        "https://example.org/page\r\n"   // no file at all
        "file:///home/u/cut%2\r\n"       // a broken escape
        "file:///home/u/nul%00name\r\n"  // no path holds a NUL
        "file:///home/u/last";
    EXPECT_EQ(pathsFromUriList(list),
              (std::vector<std::string>{"/home/u/a b.txt", "/home/u/\xC3\xA9t\xC3\xA9",
                                        "/home/u/raw\xFF", "/home/u/last"}));
}

class OpenPaths : public ::testing::Test {
  protected:
    void SetUp() override {
        plain = temp.write("data/notes 2.txt", "plain");
        plainToo = temp.write("data/notes 10.txt", "plain");
        lockedFile = temp.write("data/" + scrambleName("photo.jpg") + ".VKL", "[Secret]x");
        markerless = temp.write("data/fake.VKL", "no marker");
        sealedFile = temp.write("data/k2mzq7.VKS", "age-encryption.org/v1\n-> X25519 x\n");
        folder = temp.makeFolder("data/Reports");
        temp.write("data/Reports/a.txt", "a");
        vault = temp / "data/Vault";
        lockedVault = temp.makeFolder("data/" + lockedFolderName("Vault"));
        half = temp.makeFolder("data/Half");
        temp.write("home/folders", vault + "\r\n" + half + "\r\n");
        link = temp / "data/link.txt";
        ASSERT_EQ(::symlink(plain.c_str(), link.c_str()), 0);
        fifo = temp / "data/pipe";
        ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    }

    TempFolder temp;
    std::string plain, plainToo, lockedFile, markerless, sealedFile, folder, vault, lockedVault, half, link,
        fifo;
};

TEST_F(OpenPaths, TheFirstUsablePathChoosesTheOperation) {
    const std::string missing = temp / "data/gone.txt";
    struct Case {
        const char* what;
        std::vector<std::string> paths;
        OpenIntent intent;
        Option fixed;
        Option option;
        std::vector<std::string> files;
        std::string folder;
        std::vector<RefusedPath> refused;
    } cases[] = {
        {"plain files",
         {plain, plainToo, markerless, plain},
         OpenIntent::open,
         Option::none,
         Option::OptEncFiles,
         {plain, plainToo, markerless},
         "",
         {}},
        {"locked files",
         {lockedFile, sealedFile},
         OpenIntent::open,
         Option::none,
         Option::OptDecFiles,
         {lockedFile, sealedFile},
         "",
         {}},
        {"a folder",
         {folder},
         OpenIntent::open,
         Option::none,
         Option::OptEncFolder,
         {},
         folder,
         {}},
        // A listed folder is found under its locked name and opened by its record.
        {"a locked folder",
         {lockedVault},
         OpenIntent::open,
         Option::none,
         Option::OptDecFolder,
         {},
         vault,
         {}},
        {"a listed folder under its plain name, to unlock",
         {half},
         OpenIntent::unlock,
         Option::none,
         Option::OptDecFolder,
         {},
         half,
         {}},
        {"a listed folder under its plain name, opened",
         {half},
         OpenIntent::open,
         Option::none,
         Option::OptEncFolder,
         {},
         half,
         {}},
        {"mixed",
         {missing, lockedFile, plain, folder},
         OpenIntent::open,
         Option::none,
         Option::OptDecFiles,
         {lockedFile},
         "",
         {{missing, "it does not exist"},
          {plain, "it calls for Encrypt File(s), and Decrypt File(s) was chosen"},
          {folder, "it calls for Encrypt a Folder, and Decrypt File(s) was chosen"}}},
        {"two folders",
         {folder, half},
         OpenIntent::lock,
         Option::none,
         Option::OptEncFolder,
         {},
         folder,
         {{half, "one folder is worked on at a time"}}},
        {"Lock",
         {lockedFile, plain, lockedVault},
         OpenIntent::lock,
         Option::none,
         Option::OptEncFiles,
         {plain},
         "",
         {{lockedFile, "it is locked already"}, {lockedVault, "it is locked already"}}},
        {"Unlock",
         {plain, folder, lockedFile},
         OpenIntent::unlock,
         Option::none,
         Option::OptDecFiles,
         {lockedFile},
         "",
         {{plain, "it is not locked"}, {folder, "it is not a listed locked folder"}}},
        {"links and special files",
         {link, fifo},
         OpenIntent::open,
         Option::none,
         Option::none,
         {},
         "",
         {{link, "a link, which is never followed"}, {fifo, "neither a file nor a folder"}}},
        {"dropped on Encrypt File(s)",
         {folder, plain},
         OpenIntent::lock,
         Option::OptEncFiles,
         Option::OptEncFiles,
         {plain},
         "",
         {{folder, "it calls for Encrypt a Folder, and Encrypt File(s) was chosen"}}},
        {"nothing usable dropped",
         {plain},
         OpenIntent::lock,
         Option::OptEncFolder,
         Option::none,
         {},
         "",
         {{plain, "it calls for Encrypt File(s), and Encrypt a Folder was chosen"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const OpenPlan plan = planOpenedPaths(c.paths, c.intent, c.fixed);
        EXPECT_EQ(plan.option, c.option);
        EXPECT_EQ(plan.files, c.files);
        EXPECT_EQ(plan.folder, c.folder);
        EXPECT_EQ(plan.refused, c.refused);
    }
    EXPECT_EQ(refusedPathsText({{"/a", "it does not exist"}, {"/b", "it is not locked"}}),
              "These items were not added:\r/a: it does not exist\r/b: it is not locked");
}

#endif

// The handlers over the scripted desktop, paths arriving from outside.
class Opener : public Wizard {
  protected:
    PathOpener opener{form, desktop};
};

TEST_F(Opener, PathsWaitForThePasswordAndFillTheListForTheirOperation) {
    const std::string data = temp.makeFolder("data");
    const std::string content(2000, 'x');
    const std::string plain = temp.write("data/photo.jpg", content);
    const std::string lockedPath = lockedName(plain, ".VKL");
    const std::string missing = temp / "data/gone.txt";
    opener.receive({OpenIntent::open, {plain, missing}});
    EXPECT_FALSE(opener.openWhenReady());  // the password page is in front
    EXPECT_TRUE(model.targetList.empty());

    passGate();
    // Not while a run is in progress.
    choose(&MainWindowHandlers::OptEncFiles_Click);
    model.targetList = {row(temp.write("data/other.txt", "o"))};
    bool openedDuringRun = true;
    desktop.onMessage = [&](const Shown&) { openedDuringRun = opener.openWhenReady(); };
    form.cmdEncDec_Click();
    desktop.onMessage = nullptr;
    EXPECT_FALSE(openedDuringRun);
    desktop.messages.clear();
    // The page of another operation is in front.
    choose(&MainWindowHandlers::OptEncFolder_Click);
    ASSERT_TRUE(opener.openWhenReady());
    EXPECT_FALSE(opener.hasPending());
    EXPECT_FALSE(opener.openWhenReady());  // opened once

    EXPECT_EQ(model.topPage(), Page::fraResult);
    EXPECT_EQ(model.operation(), Option::OptEncFiles);
    EXPECT_EQ(model.wizard.choice(), Option::OptEncFiles);
    EXPECT_TRUE(model.runButtonEnabled);
    ASSERT_EQ(model.targetList.size(), 1u);
    EXPECT_EQ(model.targetList[0].path, plain);
    EXPECT_EQ(model.targetList[0].typeText, "JPG file");
    EXPECT_EQ(model.targetList[0].sizeText, "1.95 KB");
    EXPECT_EQ(desktop.messages,
              (std::vector<Shown>{{"This item was not added:\r" + missing + ": it does not exist",
                                   Icon::exclamation, "Vellumar"}}));
    form.cmdEncDec_Click();
    ASSERT_TRUE(fileExists(lockedPath));
    EXPECT_FALSE(fileExists(plain));

    // The locked file, opened the same way, is listed by its plain name to unlock.
    desktop.messages.clear();
    opener.receive({OpenIntent::open, {lockedPath}});
    ASSERT_TRUE(opener.openWhenReady());
    EXPECT_EQ(model.operation(), Option::OptDecFiles);
    ASSERT_EQ(model.targetList.size(), 1u);
    const ListRow& row = model.targetList[0];
    EXPECT_EQ(row.path, lockedPath);
    EXPECT_EQ(row.text, plain);
    EXPECT_EQ(row.typeText, "JPG file");
    EXPECT_EQ(row.imageKey, "lock");
    form.cmdEncDec_Click();
    EXPECT_EQ(readFile(plain), content);
    EXPECT_FALSE(fileExists(lockedPath));
    EXPECT_EQ(
        desktop.messages,
        (std::vector<Shown>{{"File(s) Decrypted Successfully", Icon::information, "Vellumar"}}));
}

TEST_F(Opener, AFolderIsPreparedAsAddPreparesIt) {
    passGate();
    const std::string folder = temp / "Work/Reports";
    temp.write("Work/Reports/a.txt", "a");
    temp.write("Work/Reports/sub/b.txt", "b");
    opener.receive({OpenIntent::lock, {folder}});
    ASSERT_TRUE(opener.openWhenReady());
    EXPECT_EQ(model.operation(), Option::OptEncFolder);
    EXPECT_EQ(model.FolderName, "Reports");
    EXPECT_EQ(model.foundFiles.size(), 2u);
    EXPECT_TRUE(model.runButtonEnabled);
    form.cmdEncDec_Click();
    EXPECT_FALSE(fileExists(folder));
    EXPECT_EQ(readFile(applicationFile("folders")), folder + "\r\n");

    // The Unlock action on the folder under its locked name brings it back.
    opener.receive({OpenIntent::unlock, {temp / ("Work/" + lockedFolderName("Reports"))}});
    ASSERT_TRUE(opener.openWhenReady());
    EXPECT_EQ(model.operation(), Option::OptDecFolder);
    EXPECT_EQ(model.PlainFolderPath, folder);
    EXPECT_TRUE(model.runButtonEnabled);
    form.cmdEncDec_Click();
    EXPECT_EQ(listTree(folder), "a.txt\nsub\nsub/b.txt\n");
    EXPECT_EQ(readFile(applicationFile("folders")), "");
}

TEST_F(Opener, DropsAddToTheListOfTheOperationInFront) {
    const std::string a = temp.write("data/a.txt", "a");
    const std::string b = temp.write("data/b.txt", "b");
    const std::string folder = temp.makeFolder("data/sub");
    EXPECT_FALSE(opener.drop({a}));  // the password page is in front
    passGate();
    EXPECT_FALSE(opener.drop({a}));  // and now the choice page
    // Not while a run is in progress.
    choose(&MainWindowHandlers::OptEncFiles_Click);
    model.targetList = {row(temp.write("data/other.txt", "o"))};
    bool droppedDuringRun = true;
    desktop.onMessage = [&](const Shown&) { droppedDuringRun = opener.drop({a}); };
    form.cmdEncDec_Click();
    desktop.onMessage = nullptr;
    EXPECT_FALSE(droppedDuringRun);
    desktop.messages.clear();
    choose(&MainWindowHandlers::OptEncFiles_Click);
    EXPECT_TRUE(model.targetList.empty());

    ASSERT_TRUE(opener.drop({a}));
    ASSERT_TRUE(opener.drop({b, a, folder}));
    EXPECT_EQ(texts(model.targetList), (std::vector<std::string>{a, b}));
    EXPECT_TRUE(model.runButtonEnabled);
    EXPECT_EQ(model.operation(), Option::OptEncFiles);
    EXPECT_EQ(desktop.messages,
              (std::vector<Shown>{{"This item was not added:\r" + folder +
                                       ": it calls for Encrypt a Folder, and Encrypt File(s) was "
                                       "chosen",
                                   Icon::exclamation, "Vellumar"}}));
}

}  // namespace
}  // namespace vellumar::test
