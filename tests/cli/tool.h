// Running rvx-strings as a process, as a user or a script would. The program's path comes from
// the build (RVX_STRINGS_PATH); built for Windows, the tests run under the same emulator as the
// program and start it as Windows starts any program.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "run_program.h"

namespace tool {

using Arguments = std::vector<std::string>;
using process::Result;

inline std::string programPath() {
    return RVX_STRINGS_PATH;
}

// Runs the binary with these arguments and this standard input. Standard output goes to
// outputFile instead of being captured when one is named.
inline Result run(const Arguments& arguments, const std::string& input = {},
                  const std::string& outputFile = {}) {
    return process::run(programPath(), arguments, input, outputFile);
}

inline Arguments operator+(Arguments a, const Arguments& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

inline std::string joined(const Arguments& arguments) {
    std::string text;
    for (const auto& argument : arguments) {
        text += (text.empty() ? "" : " ") + argument;
    }
    return text;
}

inline std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::size_t start = 0;
    while (start < text.size()) {
        const auto end = text.find('\n', start);
        result.push_back(text.substr(start, end - start));
        start = end == std::string::npos ? text.size() : end + 1;
    }
    return result;
}

// A refusal: exit status 2, nothing on standard output, and exactly these messages on standard
// error, each line starting with its expected text.
struct Refusal {
    Arguments arguments;
    std::vector<std::string> messages;
};

inline void expectRefused(const std::vector<Refusal>& cases, const std::string& input = {}) {
    for (const auto& c : cases) {
        const auto result = run(c.arguments, input);
        const std::string args = joined(c.arguments);
        EXPECT_EQ(result.exitCode, 2) << args;
        EXPECT_EQ(result.out, "") << args;
        const auto messages = lines(result.err);
        ASSERT_EQ(messages.size(), c.messages.size()) << args << ": " << result.err;
        for (std::size_t k = 0; k < messages.size(); ++k) {
            EXPECT_EQ(messages[k].rfind(c.messages[k], 0), 0U) << args << ": " << result.err;
        }
    }
}

inline bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

}  // namespace tool
