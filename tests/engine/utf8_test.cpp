// The one reading of UTF-8: every byte belongs to one character, and a byte that starts no
// valid one is replaced where a file must hold text.
#include <gtest/gtest.h>

#include <string>

#include "rvx/ascii.h"

namespace {

TEST(Utf8, EachByteThatStartsNoCharacterIsReplaced) {
    const std::string replacement = "\xEF\xBF\xBD";
    struct Case {
        const char* name;
        std::string text;
        std::string valid;
    };
    const Case cases[] = {
        {"ASCII", "Hall east", "Hall east"},
        {"two, three and four bytes",
         "K\xC3\xBC"
         "che \xE2\x80\x93 \xF0\x9F\x98\x80",
         "K\xC3\xBC"
         "che \xE2\x80\x93 \xF0\x9F\x98\x80"},
        {"a lone continuation byte", "a\x80z", "a" + replacement + "z"},
        {"a sequence cut short", "\xE2\x80", replacement + replacement},
        {"an overlong form of /", "\xC0\xAF", replacement + replacement},
        {"a surrogate", "\xED\xA0\x80", replacement + replacement + replacement},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80",
         replacement + replacement + replacement + replacement},
        {"a lead byte at the end", "ok\xC3", "ok" + replacement},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(rvx::ascii::validUtf8(c.text), c.valid) << c.name;
        EXPECT_TRUE(rvx::ascii::isValidUtf8(rvx::ascii::validUtf8(c.text))) << c.name;
        EXPECT_EQ(rvx::ascii::isValidUtf8(c.text), c.text == c.valid) << c.name;
    }
}

}  // namespace
