// The form a locked file carries its plain file's attributes in: what it
// writes reads back, and anything else reads as nothing carried.

#include "engine/platform/plain_traits.h"

#include <gtest/gtest.h>

#include <string>

namespace vellumar {
namespace {

// Samba's record, version 5: the bits 0x21 and a creation time.
const std::string kRecord("\0\0\5\0\5\0\0\0\x11\0\0\0\x21\0\0\0\xbc\x9a\x78\x56\x34\x12\xd9\x01", 24);

TEST(PlainTraits, WhatIsWrittenReadsBackAndOnlyABinaryRecordIsCarried) {
    struct Case {
        const char* name;
        PlainTraits traits;
        PlainTraits expected;
    };
    const Case cases[] = {
        {"bits alone", {0x21, ""}, {0x21, ""}},
        {"bits and a record", {0x1, kRecord}, {0x1, kRecord}},
        {"a text record is the bits alone", {0x20, "0x20"}, {0x20, ""}},
        {"bits the record cannot hold are left out", {0x10 | 0x2, ""}, {0x2, ""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PlainTraits read;
        ASSERT_TRUE(decodePlainTraits(encodePlainTraits(c.traits), read));
        EXPECT_EQ(read.attributes, c.expected.attributes);
        EXPECT_EQ(read.dosRecord, c.expected.dosRecord);
    }
}

TEST(PlainTraits, ADamagedOrUnknownFormReadsAsNothingCarried) {
    const std::string damaged[] = {
        "",
        "v1 0x21",                       // cut before the line's end
        "v1 0x\n",                       // no bits
        "v1 0xzz\n",                     // no hex
        "v1 0x100\n",                    // a bit no record holds
        "v1 0x123456789\n",              // longer than a word
        "v2 0x1\n",                      // a later form
        "v1 0x1\nnot a record",          // a record that does not parse
        "v1 0x1\n" + kRecord.substr(0, 20),  // a record cut short
    };
    for (const std::string& stored : damaged) {
        SCOPED_TRACE(stored);
        PlainTraits read;
        read.attributes = 7;
        EXPECT_FALSE(decodePlainTraits(stored, read));
        EXPECT_EQ(read.attributes, 0u);
        EXPECT_EQ(read.dosRecord, "");
    }
}

}  // namespace
}  // namespace vellumar
