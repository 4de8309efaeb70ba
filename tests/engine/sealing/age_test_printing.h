#pragma once
// Readable failures for the sealed-file tests.

#include <ostream>

#include "engine/sealing/age_format.h"

namespace vellumar {

inline void PrintTo(AgeError error, std::ostream* out) {
    *out << describe(error);
}

}  // namespace vellumar
