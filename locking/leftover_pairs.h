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
    // the contents differ, or the leftover could not be removed; the run
    // then goes on with the row as usual. A lock run never pairs a plain
    // file with a locked file that is one of its own rows.
    bool finish(const std::string& path);

  private:
    bool locking_;
    std::set<std::string> rows_;
};

// Whether the locked file unlocks to exactly the content of the plain file,
// read without writing anything: a small locked file is unlocked in memory,
// a large one compared as it is read. False when either cannot be read or
// the locked file's header does not verify.
bool LockedHoldsPlainContent(const std::string& lockedPath, const std::string& plainPath);

}  // namespace vellumar
