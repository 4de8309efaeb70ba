#include "cli/scan_commands.h"

#include <algorithm>
#include <cstdio>
#include <ostream>

#include "cli/absolute_path.h"
#include "cli/cli.h"
#include "cli/folder_commands.h"
#include "cli/item_lines.h"
#include "engine/platform.h"
#include "folders/folder_paths.h"
#include "folders/locked_item_rescue.h"

namespace vellumar {
namespace {

bool has(const std::vector<std::string>& arguments, const std::string& option) {
    return std::find(arguments.begin(), arguments.end(), option) != arguments.end();
}

bool isUtf8(const std::string& text) {
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const size_t length = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (length == 0 || i + length > text.size()) return false;
        for (size_t k = 1; k < length; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
        i += length;
    }
    return true;
}

// A JSON string. A path that is no UTF-8 has each byte above 127 written
// as the character of that code, so that every path can be printed.
std::string jsonText(const std::string& text) {
    const bool utf8 = isUtf8(text);
    std::string out = "\"";
    for (char ch : text) {
        const unsigned char c = static_cast<unsigned char>(ch);
        char escaped[8];
        if (c == '"' || c == '\\') {
            out += '\\';
            out += ch;
        } else if (c < 0x20 || (!utf8 && c >= 0x80)) {
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += ch;
        }
    }
    return out + "\"";
}

const char* formatName(LockedFileFormat format) {
    return format == LockedFileFormat::small ? "small" : "large";
}

void printFile(std::ostream& out, const ScannedFile& file, bool json) {
    if (json) {
        out << "{\"kind\":\"file\",\"path\":" << jsonText(file.path)
            << ",\"plainName\":" << jsonText(file.plainName) << ",\"format\":\""
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
        out << "{\"kind\":\"folder\",\"path\":" << jsonText(folder.path)
            << ",\"plainPath\":" << jsonText(folder.plainPath)
            << ",\"lockedFiles\":" << folder.lockedFiles
            << ",\"listed\":" << (folder.listed ? "true" : "false") << "}\n";
        return;
    }
    out << "folder\t" << folder.path << "\t" << folder.plainPath << "\t" << folder.lockedFiles
        << " locked files\t" << (folder.listed ? "listed" : "not listed") << "\n";
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
    return scan.unsearched.empty() && !scan.cancelled;
}

std::string rootOf(const std::vector<std::string>& arguments) {
    const std::string given = absolutePath(arguments.at(0));
    const std::string normal = normalPath(given);
    return normal.empty() ? given : normal;
}

}  // namespace

int scanCommand(CliSession& cli, const std::vector<std::string>& arguments) {
    int status = kExitFailed;
    if (!cli.passGate(status)) return status;
    const std::string root = rootOf(arguments);
    ScanOptions options;
    options.crossVolumes = has(arguments, "--cross-volumes");
    const ScanResult scan = scanLockedItems(root, options, cli.desktop);
    const bool json = has(arguments, "--json");
    for (const ScannedFolder& folder : scan.folders) printFolder(cli.console.out, folder, json);
    for (const ScannedFile& file : scan.files) printFile(cli.console.out, file, json);
    bool whole = reportGaps(cli.desktop, root, scan);
    const size_t damaged = static_cast<size_t>(std::count_if(
        scan.files.begin(), scan.files.end(), [](const ScannedFile& f) { return f.damaged(); }));
    cli.desktop.message(std::to_string(scan.folders.size()) + " locked folders and " +
                            std::to_string(scan.files.size()) + " locked files found (" +
                            std::to_string(damaged) + " damaged).",
                        Icon::none);
    if (whole && has(arguments, "--relist")) {
        const RelistResult relist = relistScannedItems(scan);
        if (relist.foldersError != IoError::ok)
            cli.desktop.message(applicationFile("folders") + ": could not be written: " +
                                    describe(relist.foldersError),
                                Icon::critical);
        if (relist.filesError != IoError::ok)
            cli.desktop.message(applicationFile("files") + ": could not be written: " +
                                    describe(relist.filesError),
                                Icon::critical);
        cli.desktop.message(std::to_string(relist.foldersAdded) + " folders added to \"folders\", " +
                                std::to_string(relist.filesAdded) + " files added to \"files\".",
                            Icon::none);
        whole = relist.foldersError == IoError::ok && relist.filesError == IoError::ok;
    }
    return whole ? kExitDone : kExitFailed;
}

int rescueCommand(CliSession& cli, const std::vector<std::string>& arguments) {
    int status = kExitFailed;
    if (!cli.passGate(status)) return status;
    const std::string root = rootOf(arguments);
    ScanOptions options;
    options.crossVolumes = has(arguments, "--cross-volumes");
    Desktop& desktop = cli.desktop;
    const ScanResult scan = scanLockedItems(root, options, desktop);
    bool whole = reportGaps(desktop, root, scan);
    if (scan.startMissing || scan.cancelled) return kExitFailed;
    const RescueResult rescue = rescueLockedItems(root, scan, desktop);
    size_t foldersDone = 0;
    for (const FolderRunResult& folder : rescue.folders) {
        if (folder.folderDone)
            ++foldersDone;
        else
            reportFolderUnlock(folder, desktop);
    }
    for (const ScannedFile& file : rescue.damaged)
        desktop.message(file.path + ": left locked, it cannot be unlocked: " +
                            describeFault(file.fault),
                        Icon::critical);
    for (const ItemResult& item : rescue.files.items)
        if (std::string line = itemLine(item, rescue.files, false); !line.empty())
            desktop.message(line, Icon::critical);
    if (rescue.cancelled) desktop.message("The rescue was cancelled.", Icon::critical);
    desktop.message(std::to_string(foldersDone) + " of " + std::to_string(rescue.folders.size()) +
                        " folders and " + std::to_string(rescue.files.count(ItemStatus::done)) +
                        " of " + std::to_string(rescue.files.items.size() + rescue.damaged.size()) +
                        " loose files unlocked.",
                    Icon::none);
    return whole && rescue.complete() ? kExitDone : kExitFailed;
}

}  // namespace vellumar
