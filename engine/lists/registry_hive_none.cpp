// Systems without a registry: a hive root names no store.
#ifndef _WIN32

#include "engine/lists/registry_hive.h"
#include "engine/lists/registry_store.h"

namespace vellumar {

int writeHiveValue(const std::string&, const std::string&, const std::string&, const std::string&,
                   const std::string&) {
    return kNoStore;
}

int readHiveValue(const std::string&, const std::string&, const std::string&, const std::string&,
                  const std::string& fallback, std::string& result) {
    result = fallback;
    return kNoStore;
}

int deleteHiveValue(const std::string&, const std::string&, const std::string&) { return kNoStore; }

}  // namespace vellumar

#endif
