#pragma once
// What a file's attribute value reads back as where the tests run.

#include <cstdint>

namespace vellumar::test {

// True when the tests run as a Windows program under Wine.
bool underWine();

// The value a regular file reads back after `set` was given to it. Wine
// reports the archive bit on every regular file and cannot clear it; Linux
// and Windows keep exactly what was set.
uint32_t fileAttributesAfterSetting(uint32_t set);

}  // namespace vellumar::test
