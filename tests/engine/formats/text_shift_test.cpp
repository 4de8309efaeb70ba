#include "engine/formats/text_shift.h"

#include <gtest/gtest.h>

namespace vellumar {
namespace {

TEST(TextShift, ShiftsBy65AndDropsWhatHasNoShiftedForm) {
    EXPECT_EQ(encodeText("abc"), "\xa2\xa3\xa4");
    EXPECT_EQ(encodeText(""), "");
    EXPECT_EQ(decodeText(""), "");
    EXPECT_EQ(encodeText("a\xbf" "b"), "\xa2\xa3");  // 191 has no encoded form
    EXPECT_EQ(decodeText("\x40\x41"), std::string(1, '\0'));
    std::string all;
    for (int c = 0; c <= 190; ++c) all += static_cast<char>(c);
    EXPECT_EQ(decodeText(encodeText(all)), all);
    EXPECT_TRUE(hasEncodedForm(all));
    EXPECT_FALSE(hasEncodedForm("caf\xc3\xa9"));
}

TEST(TextShift, Windows1252ReadsAsWindowsReadsItAndComesBack) {
    const struct {
        std::string bytes;
        std::string utf8;
    } cases[] = {
        {"Az", "Az"},
        {"\x80", "\xe2\x82\xac"},  // euro sign
        {"\x82\x83", "\xe2\x80\x9a\xc6\x92"},
        {"\x9f", "\xc5\xb8"},
        {"\x81\x8d\x8f\x90\x9d", "\xc2\x81\xc2\x8d\xc2\x8f\xc2\x90\xc2\x9d"},  // undefined
        {"\xa0\xe9\xff", "\xc2\xa0\xc3\xa9\xc3\xbf"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(windows1252ToUtf8(c.bytes), c.utf8) << c.bytes;
        std::string back;
        EXPECT_TRUE(utf8ToWindows1252(c.utf8, back));
        EXPECT_EQ(back, c.bytes);
    }
    std::string all;
    for (int c = 0; c < 256; ++c) all += static_cast<char>(c);
    std::string back;
    ASSERT_TRUE(utf8ToWindows1252(windows1252ToUtf8(all), back));
    EXPECT_EQ(back, all);
    // Not UTF-8, not shortest form, cut short, or without a Windows-1252 byte.
    for (const char* text : {"\x82", "\xc0\x81", "\xe2\x82", "\xc3", "\xe2\x80\x80",
                                   "\xf0\x9f\x98\x80", "\xc2\x80"})
        EXPECT_FALSE(utf8ToWindows1252(text, back)) << text;
}

}  // namespace
}  // namespace vellumar
