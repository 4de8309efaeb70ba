#include "engine/platform/plain_traits.h"

#include <cstdio>

#include "engine/platform/dos_attribute_record.h"
#include "engine/platform/file_system.h"

#ifdef __linux__
#include <errno.h>
#include <sys/xattr.h>

#include "engine/platform/posix_folder_handles.h"
#endif

namespace vellumar {
namespace {

constexpr std::string_view kVersion = "v1 0x";

}  // namespace

std::string encodePlainTraits(const PlainTraits& traits) {
    char bits[16];
    const int length = std::snprintf(bits, sizeof bits, "%x", traits.attributes & kDosRecordBits);
    std::string out(kVersion);
    out.append(bits, static_cast<size_t>(length)).append("\n");
    if (isBinaryDosRecord(traits.dosRecord)) out += traits.dosRecord;
    return out;
}

bool decodePlainTraits(std::string_view stored, PlainTraits& out) {
    out = PlainTraits{};
    if (stored.substr(0, kVersion.size()) != kVersion) return false;
    size_t at = kVersion.size();
    uint32_t bits = 0;
    for (; at < stored.size() && at < kVersion.size() + 8; ++at) {
        const char c = stored[at];
        const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
        if (digit < 0) break;
        bits = bits << 4 | static_cast<uint32_t>(digit);
    }
    if (at == kVersion.size() || at >= stored.size() || stored[at] != '\n') return false;
    if ((bits & ~kDosRecordBits) != 0) return false;
    const std::string_view record = stored.substr(at + 1);
    if (!record.empty() && !isBinaryDosRecord(record)) return false;
    out.attributes = bits;
    out.dosRecord = std::string(record);
    return true;
}

#ifdef __linux__
namespace {

constexpr const char* kTraitsAttribute = "user.tessarin.plain";
constexpr const char* kDosAttribute = "user.DOSATTRIB";

// Where the file system keeps no such attribute, the traits are not kept.
IoError fromErrno(int error) {
    return error == ENOTSUP || error == EOPNOTSUPP ? IoError::unsupported : ioErrorOf(error);
}

// The attribute's value, empty when the file has none. Larger than any
// record Samba writes today is taken as none: nothing of ours.
bool readAttribute(const std::string& path, const char* name, std::string& out) {
    out.clear();
    char value[1024];
    const ssize_t size = ::lgetxattr(path.c_str(), name, value, sizeof value);
    if (size < 0) return false;
    out.assign(value, static_cast<size_t>(size));
    return true;
}

}  // namespace

IoError FileSystem::carryPlainTraits(const std::string& plain, uint32_t attributes,
                                     FileHandle locked) {
    PlainTraits traits;
    traits.attributes = attributes & kDosRecordBits;
    // The run cleared the bits of the record, not its other fields.
    readAttribute(plain, kDosAttribute, traits.dosRecord);
    const std::string value = encodePlainTraits(traits);
    if (::fsetxattr(static_cast<int>(locked), kTraitsAttribute, value.data(), value.size(), 0) ==
        0)
        return IoError::ok;
    return fromErrno(errno);
}

IoError FileSystem::restorePlainTraits(const std::string& locked, FileHandle plain,
                                       uint32_t& attributes) {
    attributes = kAttrNormal;
    std::string stored;
    PlainTraits traits;
    if (!readAttribute(locked, kTraitsAttribute, stored) || !decodePlainTraits(stored, traits))
        return IoError::unsupported;
    attributes = traits.attributes;
    if (!traits.dosRecord.empty()) {
        const std::string record = dosRecordWithAttributes(traits.dosRecord, traits.attributes);
        if (::fsetxattr(static_cast<int>(plain), kDosAttribute, record.data(), record.size(),
                        0) != 0)
            return fromErrno(errno);
    }
    return IoError::ok;
}

#else

IoError FileSystem::carryPlainTraits(const std::string& /*plain*/, uint32_t /*attributes*/,
                                     FileHandle /*locked*/) {
    return IoError::unsupported;
}

IoError FileSystem::restorePlainTraits(const std::string& /*locked*/, FileHandle /*plain*/,
                                       uint32_t& attributes) {
    attributes = kAttrNormal;
    return IoError::unsupported;
}

#endif

}  // namespace vellumar
