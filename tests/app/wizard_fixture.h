#pragma once
// The main window's handlers over a fresh model, a scripted desktop, an
// in-memory settings store and a fresh application directory.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/main_window_handlers.h"
#include "engine/platform/platform.h"
#include "tests/app/memory_settings.h"
#include "tests/support/scripted_desktop.h"
#include "tests/support/temp_folder.h"

namespace vellumar::test {

// A path written with '/' in the platform's own form; "/" alone is a drive's root.
inline std::string native(std::string path) {
#ifdef _WIN32
    if (!path.empty() && path[0] == '/') path = "C:" + path;
#endif
    std::replace(path.begin(), path.end(), '/', kSeparator);
    return path;
}

class Wizard : public ::testing::Test {
  protected:
    void SetUp() override {
        form.hooks.unloadAllWindows = [this] { ++unloads; };
        form.hooks.endProgram = [this] { ++ends; };
        ASSERT_TRUE(form.Form_Load(false));
    }

    void typePassword(const std::string& password, const std::string& confirm) {
        model.txtPassword = password;
        model.txtConfirm = confirm;
        form.cmdPassword_Click();
    }
    // Passes the gate (setting "secret" on first use) and goes to the choice page.
    void passGate() {
        typePassword("secret", "secret");
        ASSERT_EQ(model.topPage(), Page::fraSelect);
    }
    // Chooses an option and presses Next.
    void choose(void (MainWindowHandlers::*option)()) {
        (form.*option)();
        form.cmdNext_Click();
    }
    static std::vector<std::string> texts(const std::vector<ListRow>& rows) {
        std::vector<std::string> result;
        for (const ListRow& row : rows) result.push_back(row.text);
        return result;
    }
    static ListRow row(const std::string& path) {
        ListRow result;
        result.text = result.path = path;
        return result;
    }

    TempFolder temp;
    ScriptedDesktop desktop;
    MemorySettings settings;
    WindowModel model;
    MainWindowHandlers form{model, desktop, settings};
    int unloads = 0;
    int ends = 0;
};

}  // namespace vellumar::test
