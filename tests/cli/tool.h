// Running rvx-strings as a process, as a user or a script would.
#pragma once

#include <gtest/gtest.h>

#include <QProcess>
#include <QStringList>
#include <string>
#include <vector>

namespace tool {

struct Result {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs the binary with these arguments and this standard input. Standard output goes to
// outputFile instead of being captured when one is named.
inline Result run(const QStringList& arguments, const std::string& input = {},
                  const QString& outputFile = {}) {
    QProcess process;
    if (!outputFile.isEmpty()) {
        process.setStandardOutputFile(outputFile);
    }
    process.start(QStringLiteral(RVX_STRINGS_PATH), arguments);
    if (!input.empty()) {
        process.write(input.data(), static_cast<qint64>(input.size()));
    }
    process.closeWriteChannel();
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit) {
        return {};
    }
    return {process.exitCode(), process.readAllStandardOutput().toStdString(),
            process.readAllStandardError().toStdString()};
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
    QStringList arguments;
    std::vector<std::string> messages;
};

inline void expectRefused(const std::vector<Refusal>& cases, const std::string& input = {}) {
    for (const auto& c : cases) {
        const auto result = run(c.arguments, input);
        const std::string args = c.arguments.join(' ').toStdString();
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
