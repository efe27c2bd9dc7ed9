// The batch's table of motors held in memory, as a window writes it, against the same motors
// read from a list on a stream, as --batch reads them; and a sink that stops taking bytes.
#include "rvx/batch_table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A list whose labels need each of the table's escapes: CSV quotes, a formula, a JSON escape,
// a line break, a label wider than the text format's label column, a group and no label.
const std::string list =
    "123456,single,\"Hall, \"\"east\"\"\"\n"
    "0A0B0C,group,\"=SUM(A1)\",Ground,a note\n"
    "654321,single,\"back\\\\slash\ttab\"\n"
    "ABCDEF,single,\"two\nlines\"\n"
    "111111,group,\"" +
    std::string(60, 'w') +
    "\"\n"
    "a1b2c3\n";

std::string fromStream(const rvx::BatchOptions& options) {
    rvx::TextSource first(list);
    const rvx::ListCheck check = rvx::checkList(first, options.format);
    EXPECT_TRUE(check.ok());
    std::string table;
    rvx::StringSink sink(table);
    rvx::BufferedWriter out(sink);
    rvx::TextSource second(list);
    EXPECT_EQ(rvx::writeTable(second, check, options, out), rvx::TableEnd::Written);
    EXPECT_TRUE(out.finish());
    return table;
}

std::string fromMemory(const rvx::BatchOptions& options) {
    const rvx::MotorListReading reading = rvx::readMotorList(list);
    EXPECT_TRUE(reading.ok());
    std::string table;
    rvx::StringSink sink(table);
    rvx::BufferedWriter out(sink, 64);  // a small buffer: many writes to the sink
    rvx::writeTable(reading.motors, options, out);
    EXPECT_TRUE(out.finish());
    return table;
}

TEST(BatchTable, MotorsInMemoryGiveTheTableOfTheListReadTwice) {
    struct Case {
        const char* name;
        rvx::Format format;
        rvx::Notation notation;
        std::vector<std::size_t> rows;
    };
    const Case cases[] = {
        {"csv, every command", rvx::Format::Csv, rvx::Notation::Spaced, rvx::allCommandRows()},
        {"json, escaped notation", rvx::Format::Json, rvx::Notation::Escaped,
         rvx::allCommandRows()},
        {"text, one command, a long label", rvx::Format::Text, rvx::Notation::Compact, {6}},
        {"csv, decimal bytes in quotes", rvx::Format::Csv, rvx::Notation::Decimal, {0, 13}},
    };
    for (const Case& c : cases) {
        rvx::BatchOptions options;
        options.format = c.format;
        options.notation = c.notation;
        options.rows = c.rows;
        options.values[static_cast<std::size_t>(rvx::ParameterField::Pct)] = 37;
        const std::string table = fromMemory(options);
        EXPECT_EQ(table, fromStream(options)) << c.name;
        EXPECT_GT(table.size(), 6 * c.rows.size() * 20) << c.name;
    }
}

// Takes the first bytes it is given, then no more.
class FillingSink final : public rvx::Sink {
public:
    explicit FillingSink(std::size_t room) : room_(room) {}
    bool write(std::string_view bytes) override {
        ++writes;
        if (bytes.size() > room_) {
            room_ = 0;
            return false;
        }
        room_ -= bytes.size();
        return true;
    }
    int writes = 0;

private:
    std::size_t room_;
};

TEST(BatchTable, AFullSinkEndsTheTableAtTheFirstWriteThatFails) {
    std::vector<rvx::Motor> motors(2000);
    for (std::size_t k = 0; k < motors.size(); ++k) {
        motors[k].address = {0x10, static_cast<std::uint8_t>(k >> 8), static_cast<std::uint8_t>(k)};
    }
    rvx::BatchOptions options;
    options.rows = rvx::allCommandRows();
    FillingSink sink(10000);
    rvx::BufferedWriter out(sink, 4096);
    rvx::writeTable(motors, options, out);
    EXPECT_TRUE(out.failed());
    EXPECT_FALSE(out.finish());
    // The bytes up to the first refusal, that refusal, and nothing after it.
    EXPECT_EQ(sink.writes, 10000 / 4096 + 1);
}

}  // namespace
