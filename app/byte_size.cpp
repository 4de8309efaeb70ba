#include "app/byte_size.h"

namespace vellumar {

std::string formatByteSize(uint64_t bytes) {
    if (bytes < 1024) return std::to_string(bytes) + " bytes";
    static const char* const units[] = {"KB", "MB", "GB", "TB", "PB", "EB"};
    // The smallest unit in which the value stays below 1000.
    unsigned unit = 0;
    unsigned __int128 divisor = 1024;
    while (unit + 1 < std::size(units) && bytes / divisor >= 1000) {
        ++unit;
        divisor *= 1024;
    }
    uint64_t whole = static_cast<uint64_t>(bytes / divisor);
    unsigned decimals = whole < 10 ? 2 : whole < 100 ? 1 : 0;
    uint64_t scale = decimals == 2 ? 100 : decimals == 1 ? 10 : 1;
    uint64_t scaled =
        static_cast<uint64_t>(static_cast<unsigned __int128>(bytes) * scale / divisor);
    std::string text = std::to_string(scaled / scale);
    if (decimals > 0) {
        std::string fraction = std::to_string(scaled % scale);
        text += '.';
        text.append(decimals - fraction.size(), '0');
        text += fraction;
    }
    return text + " " + units[unit];
}

}  // namespace vellumar
