#include "app/natural_order.h"

namespace vellumar {
namespace {

bool isDigit(unsigned char c) {
    return c >= '0' && c <= '9';
}

unsigned char folded(unsigned char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

// <0, 0 or >0 as the natural order has it; 0 for texts that differ only in
// case or leading zeros.
int naturalCompare(const std::string& a, const std::string& b) {
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        const auto x = static_cast<unsigned char>(a[i]);
        const auto y = static_cast<unsigned char>(b[j]);
        if (isDigit(x) && isDigit(y)) {
            // Two numbers: the one with more digits (leading zeros aside) is larger.
            while (i < a.size() && a[i] == '0') ++i;
            while (j < b.size() && b[j] == '0') ++j;
            size_t endA = i, endB = j;
            while (endA < a.size() && isDigit(static_cast<unsigned char>(a[endA]))) ++endA;
            while (endB < b.size() && isDigit(static_cast<unsigned char>(b[endB]))) ++endB;
            if (endA - i != endB - j) return endA - i < endB - j ? -1 : 1;
            const int digits = a.compare(i, endA - i, b, j, endB - j);
            if (digits != 0) return digits;
            i = endA;
            j = endB;
            continue;
        }
        if (folded(x) != folded(y)) return folded(x) < folded(y) ? -1 : 1;
        ++i;
        ++j;
    }
    return (i < a.size()) - (j < b.size());
}

}  // namespace

bool naturalLess(const std::string& a, const std::string& b) {
    const int order = naturalCompare(a, b);
    // Ties ("a" and "A", "7" and "07") still get one fixed order.
    return order != 0 ? order < 0 : a < b;
}

}  // namespace vellumar
