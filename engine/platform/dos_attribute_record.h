#pragma once
// The record Samba and Wine keep in the extended attribute "user.DOSATTRIB":
// either the text "0x<hex>" (with or without a trailing NUL), or Samba's
// binary record, which follows a NUL-terminated text with a version number
// and a structure of that version (1 to 5). Pure byte work, so every form can
// be tested without a file system that holds extended attributes.

#include <cstdint>
#include <string>
#include <string_view>

namespace vellumar {

// The bits this program keeps in the record: read-only, hidden, system and
// archive. A share takes read-only from the record alone, so it is kept
// there as well as in the write permission bits.
constexpr uint32_t kDosRecordBits = 1 | 2 | 4 | 32;

// Those bits as the stored bytes hold them; 0 when they hold none that can
// be read. A binary record's attribute word counts, as it does for Samba,
// whatever the valid flags of versions 3 to 5 say; otherwise the text does.
uint32_t dosAttributesFromRecord(std::string_view stored);

// The bytes to store so the record holds `bits` (of kDosRecordBits), given
// the bytes stored now (empty when there are none). A binary record keeps its
// version and every other field, its creation time among them; only the
// attribute word changes, and the text where the version carries one. Any
// other form becomes the text "0x<hex>". Bits outside kDosRecordBits stay as
// they were. Empty when nothing needs to be stored.
std::string dosRecordWithAttributes(std::string_view stored, uint32_t bits);

// Whether the bytes are Samba's binary record (of a version read here),
// whose fields beyond the bits (a creation time) are worth keeping.
bool isBinaryDosRecord(std::string_view stored);

}  // namespace vellumar
