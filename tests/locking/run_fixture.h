#pragma once
// The runs over a fresh model, a scripted desktop and a fresh temporary
// folder (with its own application directory).

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/platform/file_system.h"
#include "engine/formats/large_file.h"
#include "engine/formats/locked_header.h"
#include "engine/platform/platform.h"
#include "engine/formats/small_file.h"
#include "app/window_model.h"
#include "tests/app/target_page.h"
#include "tests/engine/formats/lock_fixture.h"
#include "tests/support/file_attributes.h"
#include "tests/support/scripted_desktop.h"
#include "tests/support/temp_folder.h"

namespace vellumar::test {

// Target rows as the open-file dialog adds them.
inline ListRow row(const std::string& path) {
    ListRow result;
    result.text = result.path = path;
    return result;
}
inline std::vector<ListRow> rows(const std::vector<std::string>& paths) {
    std::vector<ListRow> result;
    for (const std::string& path : paths) result.push_back(row(path));
    return result;
}

class Runs : public ::testing::Test {
  protected:
    static uint32_t attributesOf(const std::string& path) {
        uint32_t attributes = 0;
        platformFileSystem().getAttributes(path, attributes);
        return attributes;
    }
    // Writes a plain file and locks it as "Encrypt a Folder" would; returns
    // the locked path.
    std::string lockedFile(const std::string& relative, const std::string& content) {
        const std::string plain = temp.write(relative, content);
        ScriptedDesktop quiet;
        const bool large = content.size() >= kLargeFileThreshold;
        EXPECT_TRUE(large ? lockLargeShown(plain, quiet) : lockSmallShown(plain, quiet));
        return lockedName(plain, large ? ".VKW" : ".VKL");
    }
    std::string listed(const char* list) const {
        const std::string text = readFile(applicationFile(list));
        return text == "<missing>" ? std::string() : text;
    }

    TempFolder temp;
    ScriptedDesktop desktop;
    WindowModel model;
};

}  // namespace vellumar::test
