#pragma once
// The names Windows takes, and names as Windows compares them. A locked name
// must pass both wherever Windows may meet it: on its own volumes, on USB
// sticks and shares, and in any folder that is copied there later.

#include <string>
#include <string_view>

#include "engine/platform/file_system.h"

namespace vellumar {

// Whether Windows takes `name` (one name, not a path): ok; nameNotAllowed
// for a control character, one of <>:"/\|?*, a trailing dot or space, or a
// device name (CON, PRN, AUX, NUL, COM1-9, LPT1-9, with or without an
// extension); nameTooLong beyond 255 UTF-16 units.
IoError windowsNameCheck(std::string_view name);

// `name` with its letters in one case, as Windows matches them, for every
// letter a locked name can hold: ASCII and the letters of Windows-1252
// (Š Œ Ž Ÿ, À-Þ), in the form the platform keeps names in (UTF-8 on Linux,
// the ANSI bytes on Windows). Two names that Windows takes for one fold
// alike.
std::string caseFolded(std::string_view name);

}  // namespace vellumar
