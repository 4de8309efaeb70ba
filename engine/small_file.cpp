#include "engine/small_file.h"

#include <algorithm>

#include "engine/atomic_file.h"
#include "engine/cipher.h"
#include "engine/engine_messages.h"
#include "engine/file_system.h"
#include "engine/list_file.h"
#include "engine/locked_header.h"
#include "engine/names.h"
#include "engine/platform.h"
#include "engine/registry_store.h"
#include "engine/transfer.h"
#include "engine/write_batch.h"

namespace vellumar {
namespace {

constexpr size_t kLineLength = 70;
// Work done between two yields to the window.
constexpr size_t kYieldEvery = 64 * 1024;
constexpr char kLineEnd[] = "\r\n";

bool failed(IoError error, Desktop& desktop, bool locking) {
    showSmallFileError(error, desktop, locking);
    return false;
}

// Adds one line to a list file. The list is rewritten whole and swapped in,
// so a crash leaves the old list or the new one, never a torn line. In a
// batch the line goes in with the batch, before its sources are removed.
IoError appendListLine(const std::string& listPath, const std::string& line) {
    if (WriteBatch* batch = WriteBatch::current(); batch && batch->accepts(GetFolderPart(line))) {
        batch->appendLine(listPath, line);
        return IoError::ok;
    }
    return AppendListLines(listPath, {line});
}

// The locked file's text: the header line, then the stretched body in lines
// of 70 characters. An empty body still gets one (empty) line.
std::string lockedText(const std::string& header, const std::string& body) {
    const size_t lines = body.empty() ? 1 : (body.size() + kLineLength - 1) / kLineLength;
    std::string text;
    text.reserve(header.size() + body.size() + (lines + 1) * 2);
    text.append(header).append(kLineEnd);
    for (size_t at = 0, line = 0; line < lines; ++line, at += kLineLength)
        text.append(body, at, kLineLength).append(kLineEnd);
    return text;
}

// Writes in slices, letting the window paint between two of them.
IoError writeInSlices(AtomicFile& file, const std::string& text, Desktop& desktop) {
    for (size_t at = 0; at < text.size(); at += kYieldEvery) {
        if (IoError e = file.write(text.data() + at, std::min(kYieldEvery, text.size() - at));
            e != IoError::ok)
            return e;
        desktop.yield();
    }
    return IoError::ok;
}

// Joins the lines that follow the header line (each ended by CR, or CR LF).
std::string joinBodyLines(const std::string& content, size_t from, Desktop& desktop) {
    std::string body;
    body.reserve(content.size() - from);
    size_t sinceYield = 0;
    while (from < content.size()) {
        size_t end = content.find('\r', from);
        if (end == std::string::npos) end = content.size();
        body.append(content, from, end - from);
        sinceYield += end - from;
        from = end + 1;
        if (from < content.size() && content[from] == '\n') ++from;
        if (sinceYield >= kYieldEvery) {
            desktop.yield();
            sinceYield = 0;
        }
    }
    return body;
}

}  // namespace

void showSmallFileError(IoError error, Desktop& desktop, bool locking) {
    if (error == IoError::alreadyOpen) {
        desktop.message(locking ? kLockAlreadyOpenText : kUnlockAlreadyOpenText, Icon::critical,
                        kAlreadyOpenTitle);
    } else if (error == IoError::accessDenied) {
        desktop.message(locking ? kLockAccessErrorText : kUnlockAccessErrorText, Icon::critical,
                        kAccessErrorTitle);
    } else if (error != IoError::exists) {  // the caller names an existing file itself
        ReportError(kMainWindowName, errorNumber(error), describe(error),
                    locking ? "Encrypt" : "Decrypt");
    }
}

bool Encrypt(const std::string& fullFileName, Desktop& desktop, bool encryptFilesChosen) {
    if (!FileExists(fullFileName)) return false;
    std::string plain;
    FileStatus asRead;
    if (IoError e = readWholeSource(fullFileName, plain, asRead); e != IoError::ok)
        return failed(e, desktop, true);

    const std::string header = MakeLockedHeader();
    Cipher cipher;
    cipher.KeyString(header);
    cipher.Text(std::move(plain));
    cipher.DoXor();
    cipher.Stretch();
    std::string text = lockedText(header, cipher.TakeText());

    // A locked file locked again keeps its name and gains a layer.
    const bool layer = ToUpper(GetExtension(fullFileName)) == "VKL";
    const std::string lockedPath = layer ? fullFileName : LockedName(fullFileName, ".VKL");
    if (!layer && NameTaken(lockedPath)) {
        showFileExists(lockedPath, desktop);
        return false;
    }

    constexpr uint32_t kLockedAttributes = kAttrReadOnly | kAttrHidden;
    IoError e = IoError::ok;
    if (WriteBatch* batch = batchTaking(lockedPath, fullFileName)) {
        // Listed before the plain file goes, as below.
        if (encryptFilesChosen) batch->appendLine(applicationFile("files"), lockedPath);
        batch->adoptContent(lockedPath, fullFileName, asRead, std::move(text), kLockedAttributes);
    } else {
        AtomicFile locked(lockedPath, outputMode(lockedPath, fullFileName));
        locked.standInFor(fullFileName, asRead);
        e = locked.open();
        if (e == IoError::ok) e = writeInSlices(locked, text, desktop);
        locked.setAttributes(kLockedAttributes);
        // Listed before the plain file goes: a line whose file is missing is
        // dropped when the list is next read, a locked file missing from it is not.
        if (e == IoError::ok && encryptFilesChosen)
            e = appendListLine(applicationFile("files"), lockedPath);
        if (e == IoError::ok) e = commitInPlaceOf(locked, fullFileName);
        if (e == IoError::exists) showFileExists(lockedPath, desktop);
        if (e == IoError::changed) {
            showChangedDuringRun(fullFileName, desktop, true);
            return false;
        }
        if (e != IoError::ok) return failed(e, desktop, true);
    }

    WriteRegValue(RegistryRoot, kLockedVklFile, ScrambleName(Trim(fullFileName)), "S",
                  ScrambleName(Trim(lockedPath)));
    return true;
}

bool Decrypt(const std::string& fullFileName, Desktop& desktop) {
    // Normal attributes first, so the file can be removed later; they are
    // not put back when the unlock stops.
    if (IoError e = fileSystem().setAttributes(fullFileName, kAttrNormal); e != IoError::ok)
        return failed(e, desktop, false);
    std::string content;
    FileStatus asRead;
    if (IoError e = readWholeSource(fullFileName, content, asRead); e != IoError::ok)
        return failed(e, desktop, false);
    if (content.empty()) return false;  // no header line to read

    const std::string header = content.substr(0, content.find('\r'));
    if (!HeaderVerifies(header)) {
        desktop.message(kWrongPasswordText, Icon::exclamation, kWrongPasswordTitle);
        return false;
    }
    // Every line of a sound file is ended, the header's and the last one's too.
    const bool linesEnded = header.size() < content.size() && content.back() == '\n';
    // Starting at the header's line end, which joins as an empty line.
    std::string body = joinBodyLines(content, header.size(), desktop);
    content = std::string();
    if (!linesEnded || !isStretchedText(body.data(), body.size())) {
        desktop.message(damagedFileText(fullFileName), Icon::critical, kDamagedFileTitle);
        return false;
    }

    Cipher cipher;
    cipher.KeyString(header);
    cipher.Text(std::move(body));
    cipher.Shrink();
    cipher.DoXor();
    std::string plain = cipher.TakeText();

    // An inner layer keeps the locked name; plain content gets its own back.
    const bool layer = plain.compare(0, kSecretMarker.size(), kSecretMarker) == 0;
    const std::string plainPath = layer ? fullFileName : RestoredName(fullFileName);
    if (!layer && NameTaken(plainPath)) {
        showFileExists(plainPath, desktop);
        return false;
    }

    if (WriteBatch* batch = batchTaking(plainPath, fullFileName)) {
        batch->adoptContent(plainPath, fullFileName, asRead, std::move(plain), kAttrNormal);
    } else {
        AtomicFile restored(plainPath, outputMode(plainPath, fullFileName));
        restored.standInFor(fullFileName, asRead);
        IoError e = restored.open();
        if (e == IoError::ok) e = writeInSlices(restored, plain, desktop);
        if (e == IoError::ok) e = commitInPlaceOf(restored, fullFileName);
        if (e == IoError::exists) showFileExists(plainPath, desktop);
        if (e == IoError::changed) {
            showChangedDuringRun(fullFileName, desktop, false);
            return false;
        }
        if (e != IoError::ok) return failed(e, desktop, false);
    }

    std::string record;
    const std::string name = ScrambleName(Trim(plainPath));
    ReadRegValue(RegistryRoot, kLockedVklFile, name, "S", "", record);
    if (!record.empty()) DeleteRegValue(RegistryRoot, kLockedVklFile, name);
    return true;
}

}  // namespace vellumar
