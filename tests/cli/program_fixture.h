#pragma once
// tessarin-cli run as a child process in a test's temporary folder, with its
// own settings; standard input, output and error go through files.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "engine/platform/paths.h"
#include "engine/platform/platform.h"
#include "tests/engine/formats/lock_fixture.h"
#include "tests/support/temp_folder.h"

namespace vellumar::test {

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

inline std::string quoted(const std::string& text) {
    std::string result = "'";
    for (char c : text) result += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return result + "'";
}

class Cli : public ::testing::Test {
  protected:
    // Runs the program in the temporary folder, with its own settings.
    Result run(const std::vector<std::string>& arguments, const std::string& input = {}) {
        temp.write("io/stdin", input);
        std::string command = "cd " + quoted(temp.path()) + " && " + environment +
                              " XDG_CONFIG_HOME=" + quoted(temp / "config") + " " +
                              test::quoted(program);
        for (const std::string& argument : arguments) command += " " + quoted(argument);
        command += " <" + quoted(temp / "io/stdin") + " >" + quoted(temp / "io/out") + " 2>" +
                   quoted(temp / "io/err");
        const int status = std::system(command.c_str());
        Result result;
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        result.out = readFile(temp / "io/out");
        result.err = readFile(temp / "io/err");
        return result;
    }
    void setPassword() {
        ASSERT_EQ(run({"--password-stdin", "set-password"}, "pw\npw\n").status, 0);
    }
    std::string listed() const {
        const std::string text = readFile(applicationFile("files"));
        return text == "<missing>" ? std::string() : text;
    }

    TempFolder temp;
    // Put before the program's name: variables, or "umask 0;" and the like.
    std::string environment;
    std::string program = TESSARIN_CLI;
};

}  // namespace vellumar::test
