#pragma once
// The extended-attribute calls of the POSIX file system, replaceable so a
// test can play a file system that has no user extended attributes.
#ifndef _WIN32

#include <sys/types.h>

#include <cstddef>
#include <cstdint>

#include "engine/platform/dos_attribute_record.h"

namespace vellumar {

struct XattrCalls {
    ssize_t (*get)(const char* path, const char* name, void* value, size_t size);
    int (*set)(const char* path, const char* name, const void* value, size_t size, int flags);
    int (*remove)(const char* path, const char* name);
};

XattrCalls& posixXattrCalls();

// The read-only, hidden, system and archive bits in any stored form of
// "user.DOSATTRIB" (dosAttributesFromRecord).
uint32_t parseDosAttribute(const char* data, size_t size);

}  // namespace vellumar

#endif
