#include "engine/lists/registry_store.h"

#include <gtest/gtest.h>

#include "tests/support/temp_folder.h"

namespace vellumar {
namespace {

TEST(RegistryStore, TheEmptyRootKeepsNothingAndLeavesTheDefault) {
    std::string result = "untouched";
    EXPECT_EQ(writeRegValue(RegistryRoot, kLockedVklFile, "name", "S", "value"), kNoStore);
    EXPECT_EQ(readRegValue(RegistryRoot, kLockedVklFile, "name", "S", "", result), kNoStore);
    EXPECT_EQ(result, "");
    EXPECT_EQ(deleteRegValue(RegistryRoot, kLockedVklFile, "name"), kNoStore);
    EXPECT_EQ(resolveRegRoot("no such file"), StoreKind::none);
}

TEST(RegistryStore, HiveNamesAreCaseInsensitive) {
    for (const char* root : {"HKCU", "hkcu", "HkLm", "HKU", "HKDD", "HKCC", "hkcr"})
        EXPECT_EQ(resolveRegRoot(root), StoreKind::hive) << root;
}

#ifndef _WIN32
TEST(RegistryStore, HivesAreNoStoreWithoutARegistry) {
    std::string result;
    EXPECT_EQ(writeRegValue("HKCU", "k", "n", "S", "v"), kNoStore);
    EXPECT_EQ(readRegValue("HKCU", "k", "n", "S", "d", result), kNoStore);
    EXPECT_EQ(result, "d");
}
#endif

TEST(RegistryStore, AnIniFileKeepsTextValuesWithProfileSemantics) {
    test::TempFolder temp;
    std::string ini = temp.write("store.ini", "; comment\r\n[Other]\r\nname=other\r\n");
    const std::string value = "P:\\Qngn\\abgrf.gkt.VKL";
    EXPECT_EQ(writeRegValue(ini, kLockedVklFile, "P:\\Qngn\\abgrf.gkt", "S", value), 0);
    std::string result;
    EXPECT_EQ(readRegValue(ini, "lockedvklfile", "p:\\qngn\\ABGRF.GKT", "s", "", result), 0);
    EXPECT_EQ(result, value);

    // Replacing keeps one entry; another section's key of the same name is untouched.
    EXPECT_EQ(writeRegValue(ini, "LOCKEDVKLFILE", "P:\\Qngn\\abgrf.gkt", "S", "second"), 0);
    EXPECT_EQ(writeRegValue(ini, "Other", "extra", "S", "3"), 0);
    EXPECT_EQ(readRegValue(ini, kLockedVklFile, "P:\\Qngn\\abgrf.gkt", "S", "", result), 0);
    EXPECT_EQ(result, "second");
    EXPECT_EQ(readRegValue(ini, "Other", "name", "S", "", result), 0);
    EXPECT_EQ(result, "other");

    // Only text values are kept in an INI file.
    EXPECT_EQ(writeRegValue(ini, "Other", "flag", "B", "1"), kNoStore);
    EXPECT_EQ(readRegValue(ini, "Other", "flag", "B", "dflt", result), 0);
    EXPECT_EQ(result, "dflt");

    EXPECT_EQ(deleteRegValue(ini, kLockedVklFile, "P:\\Qngn\\abgrf.gkt"), 0);
    EXPECT_EQ(readRegValue(ini, kLockedVklFile, "P:\\Qngn\\abgrf.gkt", "S", "", result), 0);
    EXPECT_EQ(result, "");
    EXPECT_EQ(deleteRegValue(ini, kLockedVklFile, "never written"), 0);
    EXPECT_EQ(test::readFile(ini),
              "; comment\r\n[Other]\r\nname=other\r\nextra=3\r\n[LockedVKLFile]\r\n");
}

}  // namespace
}  // namespace vellumar
