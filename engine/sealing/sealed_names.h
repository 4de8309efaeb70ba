#pragma once
// The names of the program's own files that a sealed file must never bring
// back: anyone holding the public key can seal a file under any name, and
// one unsealed as a folder's ".hidden" or key copy, or as a list file in the
// application directory, would rewrite what the program keeps there.

#include <string>

#include "engine/lists/list_names.h"

namespace vellumar {

// The copy in a sealed folder's root: hidden, one of the program's own files.
inline const std::string kFolderIdentityName = ".tessarin-identity.age";

// Whether `name`, written into `folder`, would stand as one of the
// program's own files there. Any case: some file systems fold it.
bool isProgramOwnName(const std::string& folder, const std::string& name);

}  // namespace vellumar
