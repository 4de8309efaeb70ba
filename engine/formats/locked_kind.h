#pragma once
// What kind of locked item a path is: one of the two compatible formats, a
// sealed file, or none. The marker extension names the kind; the file's first
// bytes must fit it, or it is a person's own file that only has the name.

#include <string>

namespace vellumar {

// The marker extensions of the compatible formats; the sealed one is
// kSealedExtension (engine/sealing/sealed_lock.h).
inline const std::string kSmallExtension = ".VKL";
inline const std::string kLargeExtension = ".VKW";

enum class LockedKind { none, small, large, sealed };

// The kind the name's marker extension claims, in any case. Nothing is read:
// for names alone (lists, names a run will give, files already gone).
LockedKind markedKindOf(const std::string& path);
// The kind of the file at `path`: its marker extension, and a start that
// fits it ("[Secret]" for the compatible formats, the age format's version
// line or armor for a sealed file). A header that does not verify still
// makes a locked file: one locked under another password, or damaged.
LockedKind lockedKindOf(const std::string& path);

// True when the file begins with the marker of a compatible locked file.
bool startsWithLockedMarker(const std::string& path);

}  // namespace vellumar
