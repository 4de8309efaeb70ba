#pragma once
// The volume a file lies on, named as a person knows it: its mount point.

#include <cstdint>
#include <string>

namespace vellumar {

// The mount point of `device` (a file's st_dev) that holds `path`, from the
// text of /proc/self/mountinfo; empty when no line names that device. Of
// several mounts of the device (bind mounts) the longest that holds the path.
std::string mountPointIn(const std::string& mountinfo, uint64_t device, const std::string& path);

// The mount point of the volume that holds `path`, whose file lies on
// `device`; on Windows its drive or share; the path's folder when neither is known.
std::string volumeName(const std::string& path, uint64_t device);

}  // namespace vellumar
