#pragma once
// The locked-items store: named text values in the Windows registry or in an
// INI file. The program always passes the empty RegistryRoot, for which the
// store keeps nothing; the records are written for the sake of other roots.

#include <string>

namespace vellumar {

inline const std::string RegistryRoot;  // empty: no store
inline const std::string kLockedVklFile = "LockedVKLFile";
inline const std::string kLockedVkwFile = "LockedVKWFile";

// Status codes: 0 success, a Windows error code, or 99 when the root names no store.
constexpr int kNoStore = 99;

enum class StoreKind { none, hive, iniFile };
StoreKind resolveRegRoot(const std::string& root);

// `kind` is "S" (text), "B" (Boolean) or "D" (number); INI files keep "S" only.
int writeRegValue(const std::string& root, const std::string& subkey, const std::string& name,
                  const std::string& kind, const std::string& value);
int readRegValue(const std::string& root, const std::string& subkey, const std::string& name,
                 const std::string& kind, const std::string& fallback, std::string& result);
int deleteRegValue(const std::string& root, const std::string& subkey, const std::string& name);

}  // namespace vellumar
