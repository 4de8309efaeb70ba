#include "engine/platform/dos_attribute_record.h"

#include <cstdio>

namespace vellumar {

namespace {

// Bit 0 of the valid flags of versions 3 to 5: the attribute word is valid.
// Set whenever the word is written, for every reader that checks it.
constexpr uint32_t kAttributeWordValid = 1;

// The fixed part of each version's structure, and where its attribute word
// lies in it. Version 2 ends in a NUL-terminated name after the fixed part.
struct Layout {
    size_t fixedSize = 0;
    size_t wordAt = 0;
    bool hasValidFlags = false;
    bool carriesText = false;
};

// A stored record taken apart. The body is the version's structure from its
// 4-byte aligned start to the end of the bytes; every field in it is
// aligned relative to that start, so it can move as the text changes length.
struct Record {
    std::string text;
    bool binary = false;
    uint16_t version = 0;
    Layout layout;
    std::string body;
};

uint16_t readLe16(std::string_view bytes, size_t at) {
    return static_cast<uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                 static_cast<unsigned char>(bytes[at + 1]) << 8);
}

uint32_t readLe32(std::string_view bytes, size_t at) {
    uint32_t value = 0;
    for (size_t i = 4; i-- > 0;) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

void writeLe32(std::string& bytes, size_t at, uint32_t value) {
    for (size_t i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i) & 0xff);
}

void appendLe16(std::string& bytes, uint16_t value) {
    bytes += static_cast<char>(value & 0xff);
    bytes += static_cast<char>(value >> 8);
}

size_t alignUp(size_t offset, size_t alignment) {
    return (offset + alignment - 1) / alignment * alignment;
}

bool layoutOf(uint16_t version, Layout& out) {
    switch (version) {
        case 1:  // attrib, ea_size, size, alloc_size, create_time, change_time
            out = {40, 0, false, true};
            return true;
        case 2:  // flags, attrib, ea_size, size, alloc_size, three times, name
            out = {52, 4, false, true};
            return true;
        case 3:  // valid_flags, attrib, ea_size, size, alloc_size, create_time, change_time
            out = {44, 4, true, true};
            return true;
        case 4:  // valid_flags, attrib, itime, create_time
            out = {24, 4, true, false};
            return true;
        case 5:  // valid_flags, attrib, create_time
            out = {16, 4, true, false};
            return true;
        default:
            return false;
    }
}

Record parseRecord(std::string_view stored) {
    Record record;
    size_t nul = stored.find('\0');
    record.text = std::string(stored.substr(0, nul));
    if (nul == std::string_view::npos) return record;
    // After the text: the version, then the union's own copy of it, each a
    // little-endian 16-bit number at an even offset; the structure follows
    // at a multiple of 4.
    size_t at = alignUp(nul + 1, 2);
    if (at + 4 > stored.size()) return record;
    uint16_t version = readLe16(stored, at);
    Layout layout;
    if (!layoutOf(version, layout) || readLe16(stored, at + 2) != version) return record;
    size_t bodyAt = alignUp(at + 4, 4);
    if (bodyAt > stored.size() || stored.size() - bodyAt < layout.fixedSize) return record;
    record.binary = true;
    record.version = version;
    record.layout = layout;
    record.body = std::string(stored.substr(bodyAt));
    return record;
}

// The value of a text "0x<hex>"; false for anything else.
bool textValue(const std::string& text, uint32_t& out) {
    if (text.size() < 3 || text[0] != '0' || (text[1] != 'x' && text[1] != 'X')) return false;
    uint64_t value = 0;
    size_t i = 2;
    for (; i < text.size(); ++i) {
        char c = text[i];
        int digit = c >= '0' && c <= '9'   ? c - '0'
                    : c >= 'a' && c <= 'f' ? c - 'a' + 10
                    : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                           : -1;
        if (digit < 0) break;
        value = value * 16 + static_cast<uint64_t>(digit);
        if (value > 0xffffffffu) return false;
    }
    if (i == 2) return false;
    out = static_cast<uint32_t>(value);
    return true;
}

// The attribute word of a binary record. Versions 3 to 5 have a flag that
// marks it valid, but Samba (4.17) shows the word to its clients whatever
// the flag says, and what a client sees is what counts here.
uint32_t recordWord(const Record& record) {
    return readLe32(record.body, record.layout.wordAt);
}

std::string hexText(uint32_t value) {
    char text[16];
    int length = std::snprintf(text, sizeof text, "0x%x", value);
    return std::string(text, static_cast<size_t>(length));
}

}  // namespace

uint32_t dosAttributesFromRecord(std::string_view stored) {
    Record record = parseRecord(stored);
    if (record.binary) return recordWord(record) & kDosRecordBits;
    uint32_t word = 0;
    return textValue(record.text, word) ? word & kDosRecordBits : 0;
}

std::string dosRecordWithAttributes(std::string_view stored, uint32_t bits) {
    bits &= kDosRecordBits;
    Record record = parseRecord(stored);
    uint32_t word = 0;
    if (!record.binary) {
        textValue(record.text, word);
        word = (word & ~kDosRecordBits) | bits;
        return word == 0 ? std::string() : hexText(word);
    }
    const Layout& layout = record.layout;
    word = (recordWord(record) & ~kDosRecordBits) | bits;
    writeLe32(record.body, layout.wordAt, word);
    if (layout.hasValidFlags)
        writeLe32(record.body, 0, readLe32(record.body, 0) | kAttributeWordValid);
    if (layout.carriesText) record.text = hexText(word);

    std::string out = record.text;
    out += '\0';
    out.resize(alignUp(out.size(), 2), '\0');
    appendLe16(out, record.version);
    appendLe16(out, record.version);
    out.resize(alignUp(out.size(), 4), '\0');
    out += record.body;
    return out;
}

bool isBinaryDosRecord(std::string_view stored) {
    return parseRecord(stored).binary;
}

}  // namespace vellumar
