#pragma once
// Sealing one file into an age file for the program's identity, and
// unsealing it, over the engine's file system. Each writes its new file
// through AtomicFile: a failure of any kind, a file that does not verify
// included, leaves no new file behind, and the source is never touched
// (removing it is the caller's step, after the new file is durable).

#include <string>

#include "engine/sealing/age_format.h"

namespace vellumar {

// Seals `source` into the new file `target` for `recipient`, carrying
// `plainName` (empty: none). `target` must not exist.
AgeResult sealFile(const std::string& source, const std::string& target,
                   const AgeRecipient& recipient, const std::string& plainName,
                   uint32_t attributes = kAttrNormal);

// The plain name a sealed file carries, from its header alone; empty when
// it carries none (a file made by the age tool).
AgeResult readSealedName(const std::string& sealed, const AgeIdentity& identity,
                         std::string& plainName);

// Unseals `sealed` into `folder` under the
// name it carries, or `fallbackName` when it carries none. `writtenPath`
// is the new file's path once it is committed. A name already taken fails
// with IoError::exists.
AgeResult unsealFile(const std::string& sealed, const AgeIdentity& identity,
                     const std::string& folder, const std::string& fallbackName,
                     std::string& writtenPath, uint32_t attributes = kAttrNormal);

}  // namespace vellumar
