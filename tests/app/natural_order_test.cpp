// The order of the target list's names.

#include "app/natural_order.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace vellumar::test {
namespace {

TEST(NaturalOrder, NumbersByValueLettersWithoutCase) {
    const struct {
        std::vector<std::string> given;
        std::vector<std::string> sorted;
    } cases[] = {
        {{"f10", "f2", "f1"}, {"f1", "f2", "f10"}},
        {{"b.txt", "A.txt", "a.txt"}, {"A.txt", "a.txt", "b.txt"}},
        // Numbers longer than any integer type.
        {{"x123456789012345678901", "x99999999999999999999"},
         {"x99999999999999999999", "x123456789012345678901"}},
        // Leading zeros do not change the value; the tie keeps one order.
        {{"v010", "v9", "v10"}, {"v9", "v010", "v10"}},
        {{"/d/2/z", "/d/10/a", "/d/2"}, {"/d/2", "/d/2/z", "/d/10/a"}},
        {{"a1b2", "a1b", "a"}, {"a", "a1b", "a1b2"}},
        // Bytes above 127 after every ASCII letter, as they are.
        {{"\xc3\xa9t\xc3\xa9", "zoo", "\xc3\xa0"}, {"zoo", "\xc3\xa0", "\xc3\xa9t\xc3\xa9"}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> names = c.given;
        std::sort(names.begin(), names.end(), naturalLess);
        EXPECT_EQ(names, c.sorted);
        std::reverse(names.begin(), names.end());
        std::sort(names.begin(), names.end(), naturalLess);
        EXPECT_EQ(names, c.sorted) << "from the reverse order";
    }
}

}  // namespace
}  // namespace vellumar::test
