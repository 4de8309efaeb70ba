#include "engine/platform/dos_attribute_record.h"

#include <gtest/gtest.h>

#include "engine/platform/file_system.h"

namespace vellumar {
namespace {

std::string fromHex(const std::string& hex) {
    std::string bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    return bytes;
}

// Records as Samba 4.17 writes them (captured from its smbd after smbclient's
// setmode), and the older versions built from the layout in Samba's
// xattr.idl; Samba's samba-tool decodes each of them, and its smbd shows
// the bits given here.
const struct RecordCase {
    const char* what;
    std::string stored;
    uint32_t bits;
} kRecords[] = {
    {"4.17, file made hidden", fromHex("0000050005000000110000000200000023a5b687aa88dd01"),
     kAttrHidden},
    {"4.17, folder made hidden", fromHex("00000500050000001100000012000000a636298baa88dd01"),
     kAttrHidden},
    {"4.17, file made system", fromHex("00000500050000001100000004000000a6182e8baa88dd01"),
     kAttrSystem},
    {"4.17, file made read-only", fromHex("00000500050000001100000001000000a6182e8baa88dd01"),
     kAttrReadOnly},
    {"version 4", fromHex("00000400040000005100000012000000a636298baa88dd0123a5b68baa88dd01"),
     kAttrHidden},
    {"version 3, text 0x21",
     fromHex("3078323100000300030000001100000021000000000000000300000000000000001000000000000023a5b"
             "68baa88dd01"
             "a636298baa88dd01"),
     kAttrReadOnly | kAttrArchive},
    {"version 2, empty name",
     fromHex("30783600020002000000000006000000000000000300000000000000001000000000000023a5b68baa88d"
             "d01a636298b"
             "aa88dd01000000000000000000"),
     kAttrHidden | kAttrSystem},
    {"version 2, with a name",
     fromHex("30783600020002000000000006000000000000000300000000000000001000000000000023a5b68baa88d"
             "d01a636298b"
             "aa88dd0100000000000000006f6c64206e616d6500"),
     kAttrHidden | kAttrSystem},
    {"version 1, text 0x22",
     fromHex("30783232000001000100000022000000000000000300000000000000001000000000000023a5b68baa88d"
             "d01a636298b"
             "aa88dd01"),
     kAttrHidden | kAttrArchive},
    // Samba's smbd shows the word whatever the valid flags say.
    {"version 5, word not marked valid",
     fromHex("0000050005000000000000000400000023a5b68baa88dd01"), kAttrSystem},
    {"version 3, word not marked valid",
     fromHex("30783200030003001000000002000000000000000300000000000000001000000000000023a5b68baa88d"
             "d01a636298b"
             "aa88dd01"),
     kAttrHidden},
    // The word wins over the text where they differ.
    {"version 3, text disagrees",
     fromHex("307830000300030011000000040000000000000003000000000000000010000000000000"
             "23a5b68baa88dd01a636298baa88dd01"),
     kAttrSystem},
    {"text", "0x2", kAttrHidden},
    {"text with its NUL", std::string("0x23\0", 5), kAttrReadOnly | kAttrHidden | kAttrArchive},
    {"text in capitals", "0X6", kAttrHidden | kAttrSystem},
    {"directory bit", "0x10", 0},
    {"text too large", "0x100000002", 0},
    {"no digits", "0x", 0},
    {"junk", "junk", 0},
    {"nothing", "", 0},
    // A record cut short, or one whose two version numbers differ, is no
    // record: only its text counts.
    {"version 5 cut short", fromHex("00000500050000001100000002000000"), 0},
    {"version 1 cut short", fromHex("307832000100010002000000"), kAttrHidden},
    {"versions differ", fromHex("0000050004000000110000000200000023a5b687aa88dd01"), 0},
    {"unknown version", fromHex("307834000600060011000000020000000000000000000000"), kAttrSystem},
};

TEST(DosAttributeRecord, EveryStoredFormReadsAsSambaShowsIt) {
    for (const auto& c : kRecords) EXPECT_EQ(dosAttributesFromRecord(c.stored), c.bits) << c.what;
}

// Whatever a record holds, or however it was cut short, reading it is safe
// and writing gives a record that reads back as written.
TEST(DosAttributeRecord, EveryCutOfEveryRecordIsReadWithoutFault) {
    for (const auto& c : kRecords)
        for (size_t n = 0; n <= c.stored.size(); ++n) {
            const std::string cut = c.stored.substr(0, n);
            EXPECT_EQ(dosAttributesFromRecord(cut) & ~kDosRecordBits, 0u);
            const std::string written = dosRecordWithAttributes(cut, kAttrReadOnly | kAttrHidden);
            EXPECT_EQ(dosAttributesFromRecord(written), kAttrReadOnly | kAttrHidden)
                << c.what << " cut at " << n;
        }
}

TEST(DosAttributeRecord, ABinaryRecordKeepsItsFormAndEveryOtherField) {
    const struct {
        const char* what;
        std::string stored;
        uint32_t bits;
        std::string expected;
    } cases[] = {
        {"4.17 file: creation time kept",
         fromHex("0000050005000000110000000200000023a5b687aa88dd01"), kAttrReadOnly | kAttrHidden,
         fromHex("0000050005000000110000000300000023a5b687aa88dd01")},
        {"4.17 folder: the directory bit stays",
         fromHex("00000500050000001100000012000000a636298baa88dd01"), 0,
         fromHex("00000500050000001100000010000000a636298baa88dd01")},
        {"version 4: the word is marked valid",
         fromHex("00000400040000005000000010000000a636298baa88dd0123a5b68baa88dd01"), kAttrHidden,
         fromHex("00000400040000005100000012000000a636298baa88dd0123a5b68baa88dd01")},
        {"version 3: the text grows, the structure moves to the next multiple of 4",
         fromHex("30783100030003001100000001000000000000000300000000000000001000000000000023a5b68ba"
                 "a88dd01"
                 "a636298baa88dd01"),
         kAttrReadOnly | kAttrHidden | kAttrArchive,
         fromHex("307832330000030003000000110000002300000000000000030000000000000000100000000000002"
                 "3a5b68baa88"
                 "dd01a636298baa88dd01")},
        {"version 2: the name stays",
         fromHex("30783600020002000000000006000000000000000300000000000000001000000000000023a5b68ba"
                 "a88dd01a636"
                 "298baa88dd0100000000000000006f6c64206e616d6500"),
         kAttrReadOnly,
         fromHex("30783100020002000000000001000000000000000300000000000000001000000000000023a5b68ba"
                 "a88dd01a636"
                 "298baa88dd0100000000000000006f6c64206e616d6500")},
        {"version 1: the text shrinks",
         fromHex("30783232000001000100000022000000000000000300000000000000001000000000000023a5b68ba"
                 "a88dd01a636"
                 "298baa88dd01"),
         kAttrReadOnly | kAttrHidden,
         fromHex("307833000100010003000000000000000300000000000000001000000000000023a5b68baa88dd01a"
                 "636298baa88"
                 "dd01")},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(dosRecordWithAttributes(c.stored, c.bits), c.expected) << c.what;
        EXPECT_EQ(dosAttributesFromRecord(c.expected), c.bits) << c.what;
    }
}

TEST(DosAttributeRecord, AnyOtherFormBecomesTheText) {
    const struct {
        std::string stored;
        uint32_t bits;
        std::string expected;
    } cases[] = {
        {"", kAttrReadOnly | kAttrHidden, "0x3"},  // a locked file
        {"", kAttrHidden | kAttrSystem | kAttrArchive, "0x26"},
        {"0x3", 0, ""},  // nothing left to store
        {std::string("0x2\0", 4), 0, ""},
        {"junk", kAttrHidden, "0x2"},
        {"0x12", 0, "0x10"},  // bits this program does not keep stay
        {"0x10", kAttrHidden, "0x12"},
        {"", kAttrDirectory, ""},  // only the bits this program keeps are set
    };
    for (const auto& c : cases)
        EXPECT_EQ(dosRecordWithAttributes(c.stored, c.bits), c.expected) << c.stored;
}

}  // namespace
}  // namespace vellumar
