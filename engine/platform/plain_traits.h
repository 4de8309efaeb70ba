#pragma once
// What a locked file carries of its plain file beyond the content, which the
// locked formats have no room for: the plain file's own attribute bits (the
// lock gives the locked file read-only and hidden) and Samba's binary
// attribute record, with the creation time it holds. Kept in an extended
// attribute of the locked file, in a small versioned form:
//   "v1 0x<bits>\n" followed by the record's bytes (none when it had no
//   binary record).
// Pure byte work; the platform's file system stores it (FileSystem::
// carryPlainTraits).

#include <cstdint>
#include <string>
#include <string_view>

namespace vellumar {

struct PlainTraits {
    uint32_t attributes = 0;  // of kDosRecordBits
    std::string dosRecord;    // a binary "user.DOSATTRIB" record, or empty
};

std::string encodePlainTraits(const PlainTraits& traits);
// False for anything but the form above (a damaged or a later form): the
// plain file then gets nothing back but its content and date.
bool decodePlainTraits(std::string_view stored, PlainTraits& out);

}  // namespace vellumar
