#pragma once
// A desktop for tests: records every message and answers each dialog from a
// queue the test fills. A dialog the test did not expect fails the test.

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "engine/runs/desktop.h"

namespace vellumar::test {

struct Shown {
    std::string text;
    Icon icon = Icon::none;
    std::string title;
    bool operator==(const Shown&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const Shown& shown) {
    return out << "{\"" << shown.text << "\", " << static_cast<int>(shown.icon) << ", \""
               << shown.title << "\"}";
}

class ScriptedDesktop : public Desktop {
public:
    using Desktop::message;

    void message(const std::string& text, Icon icon, const std::string& title) override {
        messages.push_back({text, icon, title});
        if (onMessage) onMessage(messages.back());
    }
    std::vector<std::string> pickFiles() override {
        if (fileAnswers.empty()) {
            ADD_FAILURE() << "unexpected open-file dialog";
            return {};
        }
        auto answer = fileAnswers.front();
        fileAnswers.pop_front();
        return answer;
    }
    std::string pickFolder() override {
        if (folderAnswers.empty()) {
            ADD_FAILURE() << "unexpected folder dialog";
            return {};
        }
        auto answer = folderAnswers.front();
        folderAnswers.pop_front();
        return answer;
    }
    void showEncryptedFolders() override {
        if (!onEncryptedFolders) {
            ADD_FAILURE() << "unexpected encrypted-folders window";
            return;
        }
        onEncryptedFolders();
    }
    bool ask(const std::string& text, Icon icon, const std::string& title) override {
        questions.push_back({text, icon, title});
        if (answers.empty()) {
            ADD_FAILURE() << "unexpected question: " << text;
            return false;
        }
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    bool askPasswords(const std::string& title, const std::vector<std::string>& labels,
                      std::vector<std::string>& typed) override {
        passwordDialogs.push_back({title, labels});
        if (passwordAnswers.empty()) {
            ADD_FAILURE() << "unexpected password dialog: " << title;
            return false;
        }
        typed = passwordAnswers.front();
        passwordAnswers.pop_front();
        return !typed.empty();
    }
    void openAddress(const std::string& address) override { addresses.push_back(address); }
    void setBusy(bool busy) override { busyChanges.push_back(busy); }
    void progress(uint64_t done, uint64_t total, const std::string& current) override {
        lastProgress = {done, total};
        lastProgressFile = current;
        ++progressCalls;
    }
    void yield() override { ++yields; }

    std::vector<Shown> messages;
    std::function<void(const Shown&)> onMessage;
    std::deque<std::vector<std::string>> fileAnswers;
    std::deque<std::string> folderAnswers;
    std::vector<Shown> questions;
    std::deque<bool> answers;  // Yes (true) or No, one per question
    // Each password dialog: its title and the labels of its fields.
    std::vector<std::pair<std::string, std::vector<std::string>>> passwordDialogs;
    // What is typed in each password dialog's fields; none: cancelled.
    std::deque<std::vector<std::string>> passwordAnswers;
    std::function<void()> onEncryptedFolders;
    std::vector<std::string> addresses;
    std::vector<bool> busyChanges;
    std::pair<uint64_t, uint64_t> lastProgress{0, 0};
    std::string lastProgressFile;
    int progressCalls = 0;
    int yields = 0;
};

}  // namespace vellumar::test
