// Showing what a user typed inside a message: escaped, on one line, cut when long.
#include "rvx/message.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(Quoted, ControlCharactersAreEscapedAndLongTextsCut) {
    EXPECT_EQ(rvx::quoted("5\n0"), "\"5\\n0\"");
    EXPECT_EQ(rvx::quoted(std::string("a\0b\x7F\t\r", 6)), "\"a\\x00b\\x7F\\t\\r\"");
    EXPECT_EQ(rvx::quoted("bad \xC3\x28"), "\"bad \\xC3(\"");
    EXPECT_EQ(rvx::quoted("K\xC3\xBC"
                          "che"),
              "\"K\xC3\xBC"
              "che\"");
    const std::string longText(100001, '7');
    EXPECT_EQ(rvx::quoted(longText),
              "\"" + std::string(rvx::quotedCharacters, '7') + "\"... (100001 characters)");
}

}  // namespace
