#pragma once
// Sealed locking (".VKS"): a file locked in place as an age file for the
// program's identity, under a random name that tells nothing of the plain
// one; the plain name travels sealed inside. The same durable sequence as
// the other formats (a new file written in full and flushed, committed
// without replacing anything, then the source removed), the same hidden
// and read-only marking and the same list line, and the content streamed
// in age's 64 KiB chunks whatever the file's size.

#include <string>
#include <vector>

#include "engine/sealing/age_format.h"
#include "engine/runs/desktop.h"
#include "engine/runs/file_request.h"
#include "engine/runs/file_result.h"

namespace vellumar {

inline const std::string kSealedExtension = ".VKS";

// Whether the path has the sealed marker (".VKS", in any case).
bool hasSealedExtension(const std::string& path);
// Whether the file begins with the age format's version line: with the
// marker, it is a sealed file to unseal.
bool startsLikeSealedFile(const std::string& path);

// Seals a file in place for `recipient` under a new random ".VKS" name in
// its folder. With `request.listPath` the sealed path is listed before the
// plain file goes. When not done the plain file is untouched.
FileResult lockSealedFile(const std::string& path, const AgeRecipient& recipient, Desktop& desktop,
                          const FileRequest& request = {});

// Opens only the header of a sealed file with the first identity that
// opens it: ok, otherIdentity when none does, or why it cannot be read.
AgeResult openSealedHeader(const std::string& path, const std::vector<AgeIdentity>& identities);

// Restores the plain file of a ".VKS" file under the name it carries (or,
// for a file made by the age tool, its own name without the marker) with
// the first identity that opens it. When not done (otherIdentity, damaged
// with the cause, a name taken, any failure) the sealed file is kept as it
// was and nothing new is left.
FileResult unlockSealedFile(const std::string& path, const std::vector<AgeIdentity>& identities,
                            Desktop& desktop, const FileRequest& request = {});

}  // namespace vellumar
