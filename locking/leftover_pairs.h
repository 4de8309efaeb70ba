#pragma once
// What an interrupted run leaves: a plain file and its locked file side by
// side, both whole (the new file got its name before the old one was to go).
// Where the locked file holds exactly the plain content, the two are one
// file, and the side the run turns away from is only a leftover: a run that
// meets such a pair removes the leftover instead of failing on the name.

#include <set>
#include <string>
#include <vector>

namespace vellumar {

class LeftoverPairs {
  public:
    // `rows` are the paths of the run; `locking` tells its direction.
    LeftoverPairs(const std::vector<std::string>& rows, bool locking);

    // When `path` and its counterpart are one file, removes the leftover
    // side (the plain file of a lock run, the locked file of an unlock run)
    // and returns true: the row is done. False when there is no such pair,
    // the contents differ, or the leftover could not be removed (it is then
    // left as it was, attributes included); the run then goes on with the
    // row as usual. A lock run never pairs a plain file with a locked file
    // that is one of its own rows.
    bool finish(const std::string& path);

  private:
    bool locking_;
    std::set<std::string> rows_;
};

// Whether the unlock of the locked file would give back exactly the plain
// file: both are read in pieces side by side, writing nothing, and the
// locked file must pass every check the unlock makes. False when either
// cannot be read, the locked file breaks a rule of its format or its header
// does not verify, the contents differ, or the unlock would take the content
// for an inner layer and keep the locked name.
bool lockedHoldsPlainContent(const std::string& lockedPath, const std::string& plainPath);

}  // namespace vellumar
