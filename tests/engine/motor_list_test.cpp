// Reading and writing a motor list: the parts of a line, the room and note after a quoted
// label, the lines skipped, the problems by line, and lines written reading back the same.
#include "rvx/motor_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "list_bytes.h"
#include "rvx/message.h"

namespace {

struct Parts {
    std::string address, kind, label, room, note;
};

Parts partsOf(const std::string& line) {
    rvx::MotorLineScan scan;
    rvx::scanMotorLine(line, true, scan);
    const auto at = [&scan](rvx::MotorPart part) {
        return std::string(scan.parts[static_cast<std::size_t>(part)]);
    };
    return {at(rvx::MotorPart::AddressPart), at(rvx::MotorPart::KindPart),
            at(rvx::MotorPart::LabelPart), at(rvx::MotorPart::RoomPart),
            at(rvx::MotorPart::NotePart)};
}

TEST(MotorLine, PartsAsCsvWritesThem) {
    struct Case {
        const char* name;
        std::string line;
        Parts parts;
    };
    const std::vector<Case> cases{
        {"address alone", "123456", {"123456", "", "", "", ""}},
        {"blanks around parts", "  123456 ,  group  ", {"123456", "group", "", "", ""}},
        {"unquoted label is the rest of the line, commas too",
         "123456,single,Hall, east, \"door\"",
         {"123456", "single", "Hall, east, \"door\"", "", ""}},
        {"quoted label, room and note",
         "123456,group,\"Hall, \"\"east\"\"\",Ground floor,left of the door",
         {"123456", "group", "Hall, \"east\"", "Ground floor", "left of the door"}},
        {"unquoted note is the rest of the line",
         "123456,,\"Hall\",Ground,left, by the stairs",
         {"123456", "", "Hall", "Ground", "left, by the stairs"}},
        {"quoted room with a comma",
         "123456,single,\"Hall\",\"Ground, west\"",
         {"123456", "single", "Hall", "Ground, west", ""}},
        {"empty room, a note",
         "123456,single,\"Hall\",,note",
         {"123456", "single", "Hall", "", "note"}},
    };
    for (const auto& c : cases) {
        const Parts parts = partsOf(c.line);
        EXPECT_EQ(parts.address, c.parts.address) << c.name;
        EXPECT_EQ(parts.kind, c.parts.kind) << c.name;
        EXPECT_EQ(parts.label, c.parts.label) << c.name;
        EXPECT_EQ(parts.room, c.parts.room) << c.name;
        EXPECT_EQ(parts.note, c.parts.note) << c.name;
    }
}

// A part ends at its first line break or comma wherever it stands: parts of every length from
// none to 40 characters, so that the end falls at each place of the words a scan looks at
// together, with each line end and a comma inside the last part.
TEST(MotorLine, PartsEndWhereverTheBreakStands) {
    const std::string text = "abcdefghijklmnopqrstuvwxyz0123456789ABCD";
    for (std::size_t length = 0; length <= text.size(); ++length) {
        const std::string part = text.substr(0, length);
        for (const std::string end : {"\n", "\r", "\r\n", "", "\nnext,line"}) {
            const std::string name =
                std::to_string(length) + " characters, end " + std::to_string(end.size());
            const Parts label = partsOf("123456,single," + part + end);
            EXPECT_EQ(label.label, part) << name;
            const Parts address = partsOf(part + ",group,x" + end);
            EXPECT_EQ(address.address, part) << name;
            EXPECT_EQ(address.kind, "group") << name;
            const Parts kind = partsOf("123456," + part + end + ",label");
            EXPECT_EQ(kind.kind, part) << name;
            EXPECT_EQ(kind.label, end.empty() ? "label" : "") << name;
            const Parts commas = partsOf("123456,single," + part + "," + part + end);
            EXPECT_EQ(commas.label, part + "," + part) << name;
        }
    }
}

// Everything a reading says of the first line of a list, in one text to compare.
std::string answerOf(rvx::MotorListReader::Step step, const rvx::MotorLineScan& scan) {
    if (step != rvx::MotorListReader::Step::Line) {
        return step == rvx::MotorListReader::Step::TooLong ? "too long" : "no line";
    }
    std::string answer;
    for (const std::string_view part : scan.parts) {
        answer += '[';
        answer += part;
        answer += ']';
    }
    answer += " end " + std::to_string(scan.end) + " breaks " + std::to_string(scan.breaks) +
              " quote " + (scan.badQuote ? std::to_string(static_cast<int>(*scan.badQuote)) : "-") +
              (scan.unclosed ? " unclosed" : "") + (scan.quoteBeyondLimit ? " beyond" : "");
    rvx::MotorLineView motor;
    std::string problems;
    if (!rvx::checkMotorLine(scan, motor, problems)) {
        return answer + " refused: " + problems;
    }
    return answer + " motor " + std::to_string(motor.address[0]) + "." +
           std::to_string(motor.address[1]) + "." + std::to_string(motor.address[2]) + " [" +
           std::string(motor.addressText) + "] " +
           (motor.kind == rvx::AddressKind::Group ? "group" : "single") + " [" +
           std::string(motor.label) + "][" + std::string(motor.room) + "][" +
           std::string(motor.note) + "]";
}

// A reader takes lines of the plain form in one walk: for any line, plain or not, at the end of
// the list or before more lines, with any line end, it reads and judges what the general scan
// and check read and judge, and goes on at the same next line.
TEST(MotorList, PlainLinesReadAsTheGeneralReadingReadsThem) {
    struct Case {
        std::string name;
        std::string line;
        bool plain;  // read by the one walk
    };
    std::vector<Case> cases{
        {"single", "12ab3F,single,Motor 1", true},
        {"group", "ABCDEF,group,Stairs west", true},
        {"no label", "ABCDEF,single,", true},
        {"commas in the label", "ABCDEF,group,Hall, east, 2", true},
        {"quotes inside the label", "ABCDEF,single,Hall \"east\" x\"", true},
        {"a formula, a hash", "000000,group,=SUM(A1) #1", true},
        {"every printable character", "FFFFFF,single,! #$%&'()*+,-./09:;<=>?@AZ[\\]^_`az{|}~",
         true},
        {"a blank after the label", "ABCDEF,single,Hall  ", false},
        {"a blank before the label", "ABCDEF,single, Hall", false},
        {"a tab in the label", "ABCDEF,single,Hall\teast", false},
        {"a tab after the label", "ABCDEF,single,Hall\t", false},
        {"a quoted label", "ABCDEF,single,\"Hall, east\"", false},
        {"a room and a note", "ABCDEF,group,\"Hall\",Ground,by the door", false},
        {"doubled quotes", "ABCDEF,single,\"Hall \"\"east\"\"\",\"Room, 2\"", false},
        {"a label on two lines", "ABCDEF,single,\"two\nlines\",Hall", false},
        {"an unclosed quote", "ABCDEF,single,\"Hall", false},
        {"text after the quote", "ABCDEF,single,\"Hall\" west", false},
        {"an upper-case kind", "ABCDEF,SINGLE,x", false},
        {"blanks around the kind", "ABCDEF, group ,x", false},
        {"an empty kind", "ABCDEF,,x", false},
        {"a wrong kind", "ABCDEF,both,x", false},
        {"a kind run on", "ABCDEF,singles,x", false},
        {"only the address", "ABCDEF", false},
        {"the address and a comma", "ABCDEF,", false},
        {"no comma after the kind", "ABCDEF,single", false},
        {"five digits", "ABCDE,single,x", false},
        {"seven digits", "ABCDEF0,single,x", false},
        {"a letter past F", "ABCDEG,single,x", false},
        {"a blank before the address", " ABCDEF,single,x", false},
        {"a blank after the address", "ABCDEF ,single,x", false},
        {"full-width digits",
         "\xEF\xBC\xA1\xEF\xBC\xA2\xEF\xBC\xA3\xEF\xBC\xA4\xEF\xBC\xA5"
         "\xEF\xBC\xA6,single,x",
         false},
        {"a UTF-8 label",
         "ABCDEF,single,K\xC3\xBC"
         "che",
         false},
        {"a Latin-1 label",
         "ABCDEF,single,K\xFC"
         "che",
         false},
        {"a control character", "ABCDEF,single,Hall\x01", false},
        {"a DEL", "ABCDEF,single,Hall\x7F", false},
        {"a quoted address", "\"ABCDEF\",single,x", false},
        {"the longest line", "ABCDEF,single," + std::string(rvx::maxMotorLineBytes - 14, 'x'),
         true},
        {"a line too long", "ABCDEF,single," + std::string(rvx::maxMotorLineBytes - 13, 'x'),
         false},
    };
    // A label of each length to 24 characters, and a character the one walk does not take at
    // the end of each: wherever it stands among the characters looked at together.
    for (std::size_t length = 0; length <= 24; ++length) {
        const std::string label(length, 'm');
        const std::string n = std::to_string(length);
        cases.push_back({n + " characters", "123456,group," + label, true});
        for (const char* odd : {"\x01", "\x1F", "\x7F", "\x80", "\xFF", "\t"}) {
            cases.push_back({n + " characters and " + rvx::escaped(odd),
                             "123456,group," + label + odd + "x", false});
        }
        // A blank inside the label is plain; one that starts or ends it is trimmed.
        cases.push_back(
            {n + " characters and a blank", "123456,group," + label + " x", length > 0});
        cases.push_back({n + " characters, a blank last", "123456,group," + label + " ", false});
    }
    const std::string more = "654321,single,next\n";
    std::string after;  // enough lines after a line for the list not to end in one reading
    while (after.size() < (std::size_t{1} << 17)) {
        after += more;
    }
    for (const Case& c : cases) {
        for (const std::string end : {"\n", "\r", "\r\n", ""}) {
            for (const bool listEnds : {true, false}) {
                if (end.empty() && !listEnds) {
                    continue;
                }
                const std::string list = c.line + end + (listEnds ? "" : after);
                const std::string name =
                    c.name + ", end " + rvx::escaped(end) + (listEnds ? "" : ", more lines after");
                rvx::TextSource source(list);
                rvx::MotorListReader reader(source);
                const auto step = reader.next();
                rvx::MotorLineScan general;
                rvx::scanMotorLine(list, true, general);
                const auto generalStep = general.tooLong ? rvx::MotorListReader::Step::TooLong
                                                         : rvx::MotorListReader::Step::Line;
                EXPECT_EQ(answerOf(step, reader.scan()), answerOf(generalStep, general)) << name;
                EXPECT_EQ(
                    step == rvx::MotorListReader::Step::Line && reader.scan().plain.has_value(),
                    c.plain)
                    << name;
                if (step != rvx::MotorListReader::Step::Line || listEnds) {
                    continue;
                }
                // The reading goes on at the line after it.
                const std::size_t lines =
                    1 + static_cast<std::size_t>(std::count(c.line.begin(), c.line.end(), '\n'));
                ASSERT_EQ(reader.next(), rvx::MotorListReader::Step::Line) << name;
                EXPECT_EQ(reader.lineNumber(), lines + 1) << name;
                EXPECT_EQ(reader.scan().parts[2], "next") << name;
            }
        }
    }
}

TEST(MotorList, SaysWhatIsWrongLineByLine) {
    const auto reading = rvx::readMotorList(
        "\xEF\xBB\xBF# site\r\n"
        "123456,single,\"Office\"\r\n"
        "\r\n"
        "12345G,both\n"
        "0A0B0C,group,\"Stairs\" west\n"
        "654321,,\"two\nlines\",Hall\n"
        "ABCDEF,single,\"Hall\",\"Ground\" x\n"
        "111111,group,Lobby");
    ASSERT_EQ(reading.motors.size(), 3u);
    EXPECT_EQ(reading.motors[0].addressText, "123456");
    EXPECT_EQ(reading.motors[0].label, "Office");
    EXPECT_EQ(reading.motors[1].label, "two\nlines");
    EXPECT_EQ(reading.motors[1].room, "Hall");
    EXPECT_EQ(reading.motors[2].kind, rvx::AddressKind::Group);
    EXPECT_EQ(reading.motors[2].address, (rvx::Address{0x11, 0x11, 0x11}));
    const std::vector<std::string> problems{
        "line 4: address \"12345G\": must be six hexadecimal digits; character 6, \"G\", is "
        "not one; kind \"both\": must be single or group",
        "line 5: the label starts with a quote, and text follows its closing quote (\"Stairs\" "
        "west)",
        "line 8: the room starts with a quote, and text follows its closing quote (\"Ground\" x)",
    };
    EXPECT_EQ(reading.problems, problems);
}

// The message shows the list's own text from the quote to the end of its line, escaped and cut
// as any text a user typed, and says that the closing quote is missing; the lines after it are
// read as if the quote were not there.
TEST(MotorList, AnUnclosedQuoteIsReportedWithItsTextAndReadingGoesOn) {
    const struct {
        const char* name;
        std::string list;
        std::string problem;
    } cases[] = {
        {"a label", "123456,single,\"Office\n654321\n",
         "line 1: the label starts with a quote, and its closing quote is missing (\"Office)"},
        {"a long room, cut",
         "ABCDEF,group,\"Hall\",\"Ground floor, a room whose name runs on and on\r\n654321",
         "line 1: the room starts with a quote, and its closing quote is missing (\"Ground "
         "floor, a room whose name runs on...)"},
        {"an address with a tab", "\"12\t34\n654321\n",
         "line 1: the address starts with a quote, and its closing quote is missing "
         "(\"12\\t34)"},
    };
    for (const auto& c : cases) {
        const auto reading = rvx::readMotorList(c.list);
        EXPECT_EQ(reading.problems, std::vector<std::string>{c.problem}) << c.name;
        ASSERT_EQ(reading.motors.size(), 1u) << c.name;
        EXPECT_EQ(reading.motors[0].addressText, "654321") << c.name;
    }
}

TEST(MotorList, AVeryLongLineEndsTheReading) {
    const auto reading =
        rvx::readMotorList("123456\n" + std::string(rvx::maxMotorLineBytes + 1, 'x') + "\n654321");
    ASSERT_EQ(reading.problems.size(), 1u);
    EXPECT_EQ(reading.problems[0], "line 2: longer than 4096 bytes; nothing after it was read");
    EXPECT_EQ(reading.motors.size(), 1u);
}

TEST(MotorList, WrittenLinesReadBackTheSame) {
    const std::vector<rvx::Motor> motors{
        {{0x12, 0x34, 0x56}, "123456", rvx::AddressKind::Single, "Office", "", ""},
        {{0x0A, 0x0B, 0x0C}, "0a0b0c", rvx::AddressKind::Group, "Hall, \"east\"", "Ground", ""},
        {{0x65, 0x43, 0x21}, "654321", rvx::AddressKind::Single, "", "", "by the door, left"},
        {{0x11, 0x11, 0x11}, "111111", rvx::AddressKind::Single, "a", " padded ", "\"quoted\""},
        {{0x22, 0x22, 0x22}, "222222", rvx::AddressKind::Group, "two\nlines", "x,y", "# not"},
    };
    std::string text;
    for (const auto& motor : motors) {
        text += rvx::writeMotorLine(motor) + "\n";
    }
    EXPECT_EQ(rvx::writeMotorLine(motors[0]), "123456,single,\"Office\"");
    EXPECT_EQ(rvx::writeMotorLine(motors[1]), "0a0b0c,group,\"Hall, \"\"east\"\"\",Ground");
    EXPECT_EQ(rvx::writeMotorLine(motors[2]), "654321,single,\"\",,\"by the door, left\"");
    const auto reading = rvx::readMotorList(text);
    ASSERT_TRUE(reading.ok()) << reading.problems.front();
    ASSERT_EQ(reading.motors.size(), motors.size());
    for (std::size_t k = 0; k < motors.size(); ++k) {
        EXPECT_EQ(reading.motors[k].addressText, motors[k].addressText) << k;
        EXPECT_EQ(reading.motors[k].address, motors[k].address) << k;
        EXPECT_EQ(reading.motors[k].kind, motors[k].kind) << k;
        EXPECT_EQ(reading.motors[k].label, motors[k].label) << k;
        EXPECT_EQ(reading.motors[k].room, motors[k].room) << k;
        EXPECT_EQ(reading.motors[k].note, motors[k].note) << k;
    }
}

}  // namespace

// A motor that repeats the address and kind of one before it points to that first one; the
// same address of the other kind is another target.
TEST(MotorList, EachMotorPointsToTheFirstOfItsAddress) {
    const auto list = rvx::readMotorList(
        "123456,single,\"Hall\"\n"
        "654321,single,\"Office\"\n"
        "123456,group,\"Hall group\"\n"
        "123456,single,\"Hall again\"\n"
        "abcdef,single,\"Lower\"\n"
        "ABCDEF,single,\"Upper\"\n"
        "123456,single,\"Hall third\"\n");
    ASSERT_TRUE(list.ok());
    EXPECT_EQ(rvx::firstOfAddress(list.motors), (std::vector<std::size_t>{0, 1, 2, 0, 4, 4, 0}));
    EXPECT_TRUE(rvx::firstOfAddress({}).empty());
}

// A list that is no UTF-8 text is named for what it likely is, on its real bytes, and read no
// further; a text with a byte that is no UTF-8 is judged line by line.
TEST(MotorList, AListThatIsNoTextSaysWhatItLikelyIs) {
    struct Case {
        const char* name;
        std::string bytes;
        std::vector<std::string> problems;
    };
    const std::string utf16le = list_bytes::utf16("123456,single\n");
    const std::string utf16be = list_bytes::utf16("123456\n", true);
    const std::string binary = list_bytes::binary(512);
    const std::vector<Case> cases{
        {"UTF-16 with its mark",
         "\xFF\xFE" + utf16le,
         {"saved as UTF-16 (with a byte order mark): save it as UTF-8"}},
        {"UTF-16 big-endian with its mark",
         "\xFE\xFF" + utf16be,
         {"saved as UTF-16 (with a byte order mark): save it as UTF-8"}},
        {"UTF-16 little-endian, no mark", utf16le, {"saved as UTF-16: save it as UTF-8"}},
        {"UTF-16 big-endian, no mark", utf16be, {"saved as UTF-16: save it as UTF-8"}},
        {"binary",
         binary,
         {"not a text file: it holds zero bytes or control characters; a site is a list of "
          "motors in UTF-8 text"}},
        {"a text padded with zero bytes",
         "123456,single,\"Hall\"\n" + std::string(8, '\0'),
         {"not a text file: it holds zero bytes or control characters; a site is a list of "
          "motors in UTF-8 text"}},
        {"a stray zero byte in a text",
         std::string("123456,single,\"Hall\"\n\0\n", 23),
         {"line 2: address \"\\x00\": must be six hexadecimal digits, not 1 character"}},
        {"Latin-1",
         "123456,single,\"K\xFC"
         "che\"\n654321,single,\"Hall\"\n",
         {"line 1: the label is not valid UTF-8 (saved as Latin-1 or Windows-1252?): save the "
          "list as UTF-8"}},
        {"Windows-1252 quotes",
         "123456,single,\"\x93Hall\x94\"\n",
         {"line 1: the label is not valid UTF-8 (saved as Latin-1 or Windows-1252?): save the "
          "list as UTF-8"}},
        {"UTF-8 with its mark and a bell",
         "\xEF\xBB\xBF"
         "123456,single,\"K\xC3\xBC"
         "che\"\n",
         {}},
    };
    for (const Case& c : cases) {
        const auto reading = rvx::readMotorList(c.bytes);
        EXPECT_EQ(reading.problems, c.problems) << c.name;
        if (!c.problems.empty() && c.problems[0].rfind("line", 0) != 0) {
            EXPECT_TRUE(reading.motors.empty()) << c.name;
        }
    }
}
