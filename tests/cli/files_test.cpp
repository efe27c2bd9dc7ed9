// rvx-strings and the files and streams of the system it runs on: bytes passed unchanged,
// names in UTF-8, temporary copies in the user's temporary folder, and --output written whole
// or not at all.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "rvx/message.h"
#include "tool.h"

namespace {

using tool::Arguments;
using tool::operator+;
using tool::lines;

const std::string upRow = "AB F1 FF FF FF FF 12 34 56 FE FF FF 09 30";

// The names in a folder.
std::vector<std::string> namesIn(const process::TempDir& directory) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory.path())) {
        const auto name = entry.path().filename().u8string();
        names.emplace_back(name.begin(), name.end());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Sets an environment variable for the programs the test starts, and puts it back after.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const std::string& value) : name_(name) {
        if (const char* was = std::getenv(name)) {
            was_ = was;
        }
        set(value);
    }
    ~ScopedVariable() {
        if (was_) {
            set(*was_);
        } else {
#ifdef _WIN32
            _putenv_s(name_, "");
#else
            unsetenv(name_);
#endif
        }
    }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    void set(const std::string& value) {
#ifdef _WIN32
        _putenv_s(name_, value.c_str());
#else
        setenv(name_, value.c_str(), 1);
#endif
    }
    const char* name_;
    std::optional<std::string> was_;
};

// Every line ends in a line feed alone, whatever the system: a file made by a redirection is
// the same on every system.
TEST(Streams, LinesEndInALineFeedAlone) {
    const struct {
        const char* name;
        Arguments arguments;
        std::string input;
    } cases[] = {
        {"the strings", {"123456"}, ""},
        {"a batch as JSON", {"--batch", "-", "--format", "json"}, "123456\nA1B2C3,group\n"},
        {"a Node-RED flow",
         {"--batch", "-", "--export", "node-red", "--target", "COM3"},
         "123456,single,Kitchen\n"},
        {"a report", {"--decode", upRow}, ""},
        {"a message", {"12345"}, ""},
    };
    for (const auto& c : cases) {
        const auto result = tool::run(c.arguments, c.input);
        const std::string both = result.out + result.err;
        EXPECT_FALSE(both.empty()) << c.name;
        EXPECT_EQ(both.find('\r'), std::string::npos) << c.name;
        EXPECT_EQ(result.out.empty() || result.out.back() == '\n', true) << c.name;
    }
}

// Standard input is read as bytes: a Ctrl-Z byte is a character of a bad line, not the end of
// the list.
TEST(Streams, StandardInputIsReadToItsEnd) {
    const auto result = tool::run({"--batch", "-", "--command", "up"}, "123456\n\x1A\n654321\n");
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(lines(result.err).size(), 1U) << result.err;
    EXPECT_TRUE(tool::contains(result.err, "(standard input):2: ")) << result.err;

    const auto crlf = tool::run({"--batch", "-", "--command", "up"}, "123456\r\n654321\r\n");
    EXPECT_EQ(crlf.exitCode, 0) << crlf.err;
    EXPECT_EQ(lines(crlf.out).size(), 3U);
}

// A file named in characters beyond ASCII is read and written by its name.
TEST(Files, NamesBeyondAsciiAreOpened) {
    const process::TempDir directory;
    const std::string list = directory.filePath(
        "\xC5\x81\xC3\xB3"
        "d\xC5\xBA.txt");  // Łódź.txt
    ASSERT_TRUE(process::writeFile(list,
                                   "123456,single,K\xC3\xBC"
                                   "che\n"));
    const auto read = tool::run({"--batch", list, "--command", "up", "--format", "text"});
    EXPECT_EQ(read.exitCode, 0) << read.err;
    EXPECT_EQ(read.out,
              "K\xC3\xBC"
              "che  single  123456  Up  " +
                  upRow + "\n");

    const std::string output = directory.filePath("\xE6\x9D\xB1-flow.json");  // 東-flow.json
    const auto written = tool::run(
        {"--batch", list, "--export", "node-red", "--target", "COM3", "--output", output});
    EXPECT_EQ(written.exitCode, 0) << written.err;
    EXPECT_EQ(written.out, "");
    EXPECT_TRUE(tool::contains(process::readFile(output), "\"serialport\": \"COM3\""))
        << process::readFile(output);

    const std::string missing = directory.filePath(
        "\xC5\x81\xC3\xB3"
        "d\xC5\xBA-missing.txt");
    const auto absent = tool::run({"--batch", missing});
    EXPECT_EQ(absent.exitCode, 2);
    EXPECT_EQ(absent.err, "rvx-strings: --batch \"" + rvx::escaped(missing) +
                              "\": cannot read: No such file or directory\n");
}

#ifdef _WIN32
// The copy of a list read once is made in the user's temporary folder (TMP), not in the root
// of the drive, where a user may not write.
TEST(Files, TheCopyOfAListIsMadeInTheTemporaryFolder) {
    const process::TempDir directory;
    const std::string list = "123456\nA1B2C3,group\n";
    {
        const ScopedVariable tmp("TMP", directory.text());
        const auto result = tool::run({"--batch", "-", "--command", "up"}, list);
        EXPECT_EQ(result.exitCode, 0) << result.err;
        EXPECT_EQ(lines(result.out).size(), 3U);
        EXPECT_EQ(namesIn(directory), std::vector<std::string>{}) << "the copy is removed";
    }
    {
        const ScopedVariable tmp("TMP", directory.filePath("absent"));
        const auto result = tool::run({"--batch", "-", "--command", "up"}, list);
        EXPECT_EQ(result.exitCode, 2);
        EXPECT_EQ(result.out, "");
        EXPECT_TRUE(tool::contains(result.err, "rvx-strings: --batch \"-\": cannot keep a copy"))
            << result.err;
    }
}
#endif

// --output FILE holds what standard output would, and takes FILE's place only once it is
// whole: a refusal or a failure leaves FILE as it was, and no other file behind.
TEST(Output, TheFileOfOutputIsWrittenWholeOrNotAtAll) {
    const process::TempDir directory;
    const std::string file = directory.filePath("strings.csv");
    ASSERT_TRUE(process::writeFile(file, "what was there\n"));

    const struct {
        const char* name;
        Arguments arguments;
        std::string input;
        int exitCode;
        bool written;
    } cases[] = {
        {"the strings", {"123456", "--format", "csv"}, "", 0, true},
        {"a batch", {"--batch", "-", "--format", "json"}, "123456\n", 0, true},
        {"a report with findings",
         {"--decode", "AB F1 FF FF FF FF 12 34 56 FE FF FF 09 31"},
         "",
         1,
         true},
        {"a bad argument", {"123456", "--ip", "99"}, "", 2, false},
        {"a bad line in the list", {"--batch", "-"}, "123456\n12345G\n", 2, false},
        {"a list without motors to export",
         {"--batch", "-", "--export", "node-red", "--target", "COM3"},
         "# none\n",
         2,
         false},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(process::writeFile(file, "what was there\n"));
        const auto plain = tool::run(c.arguments, c.input);
        const auto result = tool::run(c.arguments + Arguments{"--output", file}, c.input);
        EXPECT_EQ(result.exitCode, c.exitCode) << c.name << ": " << result.err;
        EXPECT_EQ(result.out, "") << c.name;
        EXPECT_EQ(result.err, plain.err) << c.name;
        EXPECT_EQ(process::readFile(file), c.written ? plain.out : "what was there\n") << c.name;
        EXPECT_EQ(namesIn(directory), std::vector<std::string>{"strings.csv"}) << c.name;
    }

    // A new file is made; one that cannot be made is said so, and nothing is written.
    const std::string fresh = directory.filePath("new.txt");
    EXPECT_EQ(tool::run({"123456", "--command", "up", "--output=" + fresh}).exitCode, 0);
    EXPECT_EQ(process::readFile(fresh), upRow + "\n");
    const std::string inAbsentFolder = directory.filePath("absent/strings.csv");
    const auto absent = tool::run({"123456", "--output", inAbsentFolder});
    EXPECT_EQ(absent.exitCode, 3);
    EXPECT_EQ(absent.out, "");
    EXPECT_EQ(absent.err, "rvx-strings: --output \"" + rvx::escaped(inAbsentFolder) +
                              "\": cannot write: No such file or directory\n");
    const auto folder = tool::run({"123456", "--output", directory.text()});
    EXPECT_EQ(folder.exitCode, 3);
    EXPECT_EQ(folder.err, "rvx-strings: --output \"" + rvx::escaped(directory.text()) +
                              "\": cannot write: Is a directory\n");
    EXPECT_EQ(namesIn(directory), (std::vector<std::string>{"new.txt", "strings.csv"}));

    tool::expectRefused({
        {{"123456", "--output", ""}, {"rvx-strings: --output \"\": no file name"}},
        {{"123456", "--output", file, "--output", file},
         {"rvx-strings: --output is given more than once"}},
        {{"123456", "--output"}, {"rvx-strings: --output: a value must follow"}},
    });
    EXPECT_EQ(process::readFile(file), "what was there\n");
}

}  // namespace
