#pragma once
// What an operation asks of one lock or unlock of a single file, beyond its
// path: the write batch to hand the new file to, and the list to record a
// locked file in.

#include <cstdint>
#include <string>

namespace vellumar {

class WriteBatch;

struct FileRequest {
    // Null: the new file is committed on its own, at once.
    WriteBatch* batch = nullptr;
    // Lock: the list file to add the locked path to, before the plain file
    // goes (a line whose file is missing is dropped when the list is next
    // read; a locked file missing from it would not be found). Empty: none.
    std::string listPath;
    // Lock: the plain file's own attributes, as they were before the run
    // cleared them; the locked file carries them to its unlock.
    uint32_t plainAttributes = 0;
};

}  // namespace vellumar
