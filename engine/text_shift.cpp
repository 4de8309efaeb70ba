#include "engine/text_shift.h"

namespace vellumar {

namespace {
constexpr int kShift = 65;
}

std::string EncodeText(const std::string& text) {
    std::string result;
    result.reserve(text.size());
    for (unsigned char c : text)
        if (c + kShift <= 255) result += static_cast<char>(c + kShift);
    return result;
}

std::string DecodeText(const std::string& text) {
    std::string result;
    result.reserve(text.size());
    for (unsigned char c : text)
        if (c >= kShift) result += static_cast<char>(c - kShift);
    return result;
}

bool HasEncodedForm(const std::string& text) {
    for (unsigned char c : text)
        if (c + kShift > 255) return false;
    return true;
}

}  // namespace vellumar
