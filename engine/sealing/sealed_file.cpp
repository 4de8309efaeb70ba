#include "engine/sealing/sealed_file.h"

#include "engine/platform/atomic_file.h"
#include "engine/platform/paths.h"
#include "engine/sealing/sealed_names.h"

namespace vellumar {
namespace {

// Opens `path` for reading and tells what it was as it was opened.
IoError openSource(const std::string& path, FileHandle& file, FileStatus& status) {
    FileSystem& fs = fileSystem();
    if (IoError e = fs.status(path, status); e != IoError::ok) return e;
    if (status.kind != EntryKind::file) return IoError::unsupported;
    return fs.openRead(path, file);
}

}  // namespace

AgeResult sealFile(const std::string& source, const std::string& target,
                   const AgeRecipient& recipient, const std::string& plainName,
                   uint32_t attributes) {
    FileHandle input = kNoFile;
    FileCloser closer(input);
    FileStatus status;
    if (IoError e = openSource(source, input, status); e != IoError::ok) return AgeResult::ofIo(e);
    AtomicFile output(target);
    output.standInFor(source, status);
    output.setAttributes(attributes);
    if (IoError e = output.open(); e != IoError::ok) return AgeResult::ofIo(e);
    if (AgeResult result =
            encryptForRecipient(recipient, plainName, readFromFile(input), writeToFile(output));
        !result.ok())
        return result;
    return AgeResult::ofIo(output.commit());
}

AgeResult readSealedName(const std::string& sealed, const AgeIdentity& identity,
                         std::string& plainName) {
    plainName.clear();
    FileHandle input = kNoFile;
    FileCloser closer(input);
    FileStatus status;
    if (IoError e = openSource(sealed, input, status); e != IoError::ok) return AgeResult::ofIo(e);
    AgeReader reader(readFromFile(input));
    AgeResult result = reader.openWithIdentity(identity);
    if (result.ok()) plainName = reader.plainName();
    return result;
}

AgeResult unsealFile(const std::string& sealed, const AgeIdentity& identity,
                     const std::string& folder, const std::string& fallbackName,
                     std::string& writtenPath, uint32_t attributes) {
    writtenPath.clear();
    FileHandle input = kNoFile;
    FileCloser closer(input);
    FileStatus status;
    if (IoError e = openSource(sealed, input, status); e != IoError::ok) return AgeResult::ofIo(e);
    AgeReader reader(readFromFile(input));
    if (AgeResult result = reader.openWithIdentity(identity); !result.ok()) return result;
    const std::string name = reader.plainName().empty() ? fallbackName : reader.plainName();
    if (isProgramOwnName(folder, name)) return AgeResult::of(AgeError::damaged);
    AtomicFile output(addBackslash(folder) + name);
    output.standInFor(sealed, status);
    output.setAttributes(attributes);
    if (IoError e = output.open(); e != IoError::ok) return AgeResult::ofIo(e);
    if (AgeResult result = reader.decryptTo(writeToFile(output)); !result.ok()) return result;
    if (IoError e = output.commit(); e != IoError::ok) return AgeResult::ofIo(e);
    writtenPath = output.finalPath();
    return {};
}

}  // namespace vellumar
