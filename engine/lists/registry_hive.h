#pragma once
// The registry half of the locked-items store. Only Windows has hives; on
// other systems every call answers "no store".

#include <string>

namespace vellumar {

int writeHiveValue(const std::string& root, const std::string& subkey, const std::string& name,
                   const std::string& kind, const std::string& value);
int readHiveValue(const std::string& root, const std::string& subkey, const std::string& name,
                  const std::string& kind, const std::string& fallback, std::string& result);
int deleteHiveValue(const std::string& root, const std::string& subkey, const std::string& name);

}  // namespace vellumar
