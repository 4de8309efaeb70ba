#include "engine/text_shift.h"

#include <gtest/gtest.h>

namespace vellumar {
namespace {

TEST(TextShift, ShiftsBy65AndDropsWhatHasNoShiftedForm) {
    EXPECT_EQ(EncodeText("abc"), "\xa2\xa3\xa4");
    EXPECT_EQ(EncodeText(""), "");
    EXPECT_EQ(DecodeText(""), "");
    EXPECT_EQ(EncodeText("a\xbf" "b"), "\xa2\xa3");  // 191 has no encoded form
    EXPECT_EQ(DecodeText("\x40\x41"), std::string(1, '\0'));
    std::string all;
    for (int c = 0; c <= 190; ++c) all += static_cast<char>(c);
    EXPECT_EQ(DecodeText(EncodeText(all)), all);
    EXPECT_TRUE(HasEncodedForm(all));
    EXPECT_FALSE(HasEncodedForm("caf\xc3\xa9"));
}

}  // namespace
}  // namespace vellumar
