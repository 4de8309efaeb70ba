#include "cli/scan_commands.h"

#include <algorithm>
#include <chrono>
#include <optional>
#include <ostream>

#include "cli/absolute_path.h"
#include "cli/cli.h"
#include "cli/folder_commands.h"
#include "cli/item_lines.h"
#include "cli/json_text.h"
#include "engine/platform/platform.h"
#include "folders/folder_lists.h"
#include "folders/folder_paths.h"
#include "folders/locked_item_rescue.h"
#include "locking/hidden_names.h"

namespace vellumar {
namespace {

// The walk knows no total: on a terminal it shows how many folders it has
// looked at and the one it is in, redrawn at most ten times a second. The
// runs of a rescue, which know theirs, show their progress as usual.
class WalkProgress final : public Desktop {
  public:
    using Desktop::message;

    WalkProgress(Desktop& inner, std::ostream& err, bool terminal)
        : inner_(inner), err_(err), terminal_(terminal) {}
    ~WalkProgress() override { clear(); }
    // Takes the progress line away, before anything else is printed.
    void clear() {
        if (width_ == 0) return;
        err_ << '\r' << std::string(width_, ' ') << '\r' << std::flush;
        width_ = 0;
    }

    void message(const std::string& text, Icon icon, const std::string& title) override {
        clear();
        inner_.message(text, icon, title);
    }
    void progress(uint64_t done, uint64_t total, const std::string& current) override {
        if (total > 0) {
            clear();
            inner_.progress(done, total, current);
            return;
        }
        const auto now = std::chrono::steady_clock::now();
        if (!terminal_ || (width_ > 0 && now - lastShown_ < std::chrono::milliseconds(100))) return;
        lastShown_ = now;
        std::string line = "Scanning, " + countText(done, "folder") + ": ";
        constexpr size_t kLineWidth = 79;
        const size_t room = kLineWidth > line.size() + 3 ? kLineWidth - line.size() : 3;
        line +=
            current.size() <= room ? current : "..." + current.substr(current.size() - room + 3);
        const size_t shown = line.size();
        if (shown < width_) line.append(width_ - shown, ' ');
        err_ << '\r' << line << std::flush;
        width_ = shown;
    }
    void yield() override { inner_.yield(); }
    bool cancelRequested() override { return inner_.cancelRequested(); }

  private:
    Desktop& inner_;
    std::ostream& err_;
    bool terminal_;
    size_t width_ = 0;
    std::chrono::steady_clock::time_point lastShown_;
};

bool has(const std::vector<std::string>& arguments, const std::string& option) {
    return std::find(arguments.begin(), arguments.end(), option) != arguments.end();
}

const char* formatName(LockedFileFormat format) {
    switch (format) {
        case LockedFileFormat::small:
            return "small";
        case LockedFileFormat::large:
            return "large";
        case LockedFileFormat::sealed:
            break;
    }
    return "sealed";
}

void printFile(std::ostream& out, const ScannedFile& file, bool json) {
    if (json) {
        out << "{\"kind\":\"file\"," << jsonPathFields("path", file.path) << ","
            << jsonPathFields("plainName", file.plainName) << ",\"format\":\""
            << formatName(file.format) << "\",\"damaged\":" << (file.damaged() ? "true" : "false");
        if (file.damaged()) out << ",\"cause\":" << jsonText(describeFault(file.fault));
        out << "}\n";
        return;
    }
    out << (file.damaged() ? "damaged file\t" : "file\t") << file.path << "\t" << file.plainName
        << "\t" << formatName(file.format);
    if (file.damaged()) out << "\t" << describeFault(file.fault);
    out << "\n";
}

void printFolder(std::ostream& out, const ScannedFolder& folder, bool json) {
    if (json) {
        out << "{\"kind\":\"folder\"," << jsonPathFields("path", folder.path) << ","
            << jsonPathFields("plainPath", folder.plainPath)
            << ",\"lockedFiles\":" << folder.lockedFiles
            << ",\"listed\":" << (folder.listed ? "true" : "false") << "}\n";
        return;
    }
    out << "folder\t" << folder.path << "\t" << folder.plainPath << "\t"
        << countText(folder.lockedFiles, "locked file") << "\t"
        << (folder.listed ? "listed" : "not listed") << "\n";
}

// Whether the scan looked at everything below its root.
bool isWhole(const ScanResult& scan) {
    return !scan.startMissing && scan.unsearched.empty() && !scan.cancelled;
}

// Names what the scan could not look at; false when the scan is not whole.
bool reportGaps(Desktop& desktop, const std::string& root, const ScanResult& scan) {
    if (scan.startMissing) {
        desktop.message(root + ": there is no folder there", Icon::critical);
        return false;
    }
    for (const UnsearchedFolder& folder : scan.unsearched)
        desktop.message(folder.path + ": could not be searched: " + unsearchedCause(folder.error),
                        Icon::critical);
    if (scan.cancelled) desktop.message("The scan was cancelled.", Icon::critical);
    return isWhole(scan);
}

std::string rootOf(const std::vector<std::string>& arguments) {
    const std::string given = absolutePath(arguments.at(0));
    const std::string normal = normalPath(given);
    return normal.empty() ? given : normal;
}

}  // namespace

int scanCommand(CliSession& cli, const std::vector<std::string>& arguments) {
    if (!cli.passGate()) return kExitFailed;
    const std::string root = rootOf(arguments);
    ScanOptions options;
    options.crossVolumes = has(arguments, "--cross-volumes");
    WalkProgress desktop(cli.desktop, cli.console.err, cli.console.errIsTerminal);
    ScanResult scan = scanLockedItems(root, options, desktop);
    desktop.clear();
    // Relisted before the items are printed, so that they show as listed what now is.
    std::optional<RelistResult> relist;
    if (isWhole(scan) && has(arguments, "--relist")) {
        relist = relistScannedItems(scan);
        std::vector<std::string> records;
        if (!scan.folders.empty() && readFolderRecords(records) == IoError::ok)
            for (ScannedFolder& folder : scan.folders)
                folder.listed =
                    std::find(records.begin(), records.end(), folder.plainPath) != records.end();
    }
    const bool json = has(arguments, "--json");
    for (const ScannedFolder& folder : scan.folders) printFolder(cli.console.out, folder, json);
    for (const ScannedFile& file : scan.files) printFile(cli.console.out, file, json);
    bool whole = reportGaps(desktop, root, scan);
    const size_t damaged = static_cast<size_t>(std::count_if(
        scan.files.begin(), scan.files.end(), [](const ScannedFile& f) { return f.damaged(); }));
    desktop.message(countText(scan.folders.size(), "locked folder") + " and " +
                        countText(scan.files.size(), "locked file") + " found (" +
                        std::to_string(damaged) + " damaged).",
                    Icon::none);
    if (relist) {
        const std::vector<std::string> failures = relist->failureLines();
        for (const std::string& line : failures) desktop.message(line, Icon::critical);
        desktop.message(countText(relist->foldersAdded, "folder") + " added to \"folders\", " +
                            countText(relist->filesAdded, "file") + " added to \"files\".",
                        Icon::none);
        whole = failures.empty();
    }
    return whole ? kExitDone : kExitFailed;
}

int rescueCommand(CliSession& cli, const std::vector<std::string>& arguments) {
    if (!cli.passGate()) return kExitFailed;
    const std::string root = rootOf(arguments);
    ScanOptions options;
    options.crossVolumes = has(arguments, "--cross-volumes");
    WalkProgress desktop(cli.desktop, cli.console.err, cli.console.errIsTerminal);
    const ScanResult scan = scanLockedItems(root, options, desktop);
    bool whole = reportGaps(desktop, root, scan);
    if (scan.startMissing || scan.cancelled) return kExitFailed;
    const RescueResult rescue = rescueLockedItems(root, scan, desktop, &cli.keys);
    size_t foldersDone = 0;
    for (const FolderRunResult& folder : rescue.folders) {
        if (folder.folderDone) {
            ++foldersDone;
            // Unlocked, but a file manager may still hide or show it wrongly.
            for (const std::string& line :
                 listLines(listsNotUpdated(folder.files, folder.hiddenList))) {
                desktop.message(line, Icon::exclamation);
                whole = false;
            }
        } else if (folder.problem == FolderProblem::notRecorded)
            desktop.message(folder.folder +
                                ": left locked, as it could not be added to the list of "
                                "encrypted folders (" +
                                folder.problemPath + ": " + describe(folder.error) + ")",
                            Icon::critical);
        else
            reportFolderUnlock(folder, desktop);
    }
    for (const ScannedFile& file : rescue.damaged)
        desktop.message(
            file.path + ": left locked, it cannot be unlocked: " + describeFault(file.fault),
            Icon::critical);
    for (const std::string& line : itemLines(rescue.files, false))
        desktop.message(line, Icon::critical);
    if (!listsNotUpdated(rescue.files).empty()) whole = false;
    if (rescue.cancelled) desktop.message("The rescue was cancelled.", Icon::critical);
    desktop.message(std::to_string(foldersDone) + " of " +
                        countText(rescue.folders.size(), "folder") + " and " +
                        std::to_string(rescue.files.count(ItemStatus::done)) + " of " +
                        countText(rescue.files.items.size() + rescue.damaged.size(), "loose file") +
                        " unlocked.",
                    Icon::none);
    return whole && rescue.complete() ? kExitDone : kExitFailed;
}

}  // namespace vellumar
