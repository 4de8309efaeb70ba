#pragma once
// The program's identity, kept only inside an age file that opens with the
// application password (one scrypt stanza), so that `age -d` of that file
// with the password gives the identity back. Its content is what an
// identity file of the age tool holds: a comment with the public key, then
// the "AGE-SECRET-KEY-1..." line.

#include <string>
#include <vector>

#include "engine/sealing/age_format.h"
#include "engine/platform/atomic_file.h"

namespace vellumar {

// Writes the identity file at `path` through AtomicFile. With
// keepExisting (the default) an existing file is never replaced.
AgeResult writeIdentityFile(const std::string& path, const AgeIdentity& identity,
                            std::string_view password, int logN = kDefaultScryptLogN,
                            AtomicFile::Mode mode = AtomicFile::Mode::keepExisting);

// Opens the identity file with `password`: wrongPassword when it does not
// open, damaged when it opens to anything but one identity, tooCostly when
// it asks for a work factor over `maxLogN`.
AgeResult readIdentityFile(const std::string& path, std::string_view password,
                           AgeIdentity& identity, int maxLogN = kMaxScryptLogN);

// The text of an identity file: comment lines (starting with "#") and blank
// lines pass, and exactly one identity must remain.
bool parseIdentityText(const std::string& text, AgeIdentity& identity);
// The same for an identity file of the age tool, which may hold several:
// every other line is an identity, and there is at least one.
bool parseIdentities(const std::string& text, std::vector<AgeIdentity>& identities);
std::string identityText(const AgeIdentity& identity);

}  // namespace vellumar
