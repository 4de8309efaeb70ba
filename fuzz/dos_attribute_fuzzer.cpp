// The extended attribute "user.DOSATTRIB" as any file system or other
// program may have stored it: text or binary record, of any length.
#include <cstdint>
#include <cstdlib>

#include "engine/platform/file_system.h"
#include "engine/platform/posix_xattr.h"

using namespace vellumar;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    // An exact copy, so that a read past the end is caught.
    char* copy = static_cast<char*>(std::malloc(size ? size : 1));
    for (size_t i = 0; i < size; ++i) copy[i] = static_cast<char>(bytes[i]);
    const uint32_t bits = parseDosAttribute(copy, size);
    std::free(copy);
    // Only the bits the program keeps in the record.
    if (bits & ~uint32_t{kAttrReadOnly | kAttrHidden | kAttrSystem | kAttrArchive}) std::abort();
    return 0;
}
