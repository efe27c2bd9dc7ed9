// Decoding frames and checking them, and the round trip from the generation through every
// notation and back.
#include "rvx/decode.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "rvx/catalogue.h"
#include "rvx/frame.h"
#include "rvx/generator.h"
#include "rvx/memory_fields.h"
#include "rvx/number.h"

namespace {

using rvx::AddressKind;
using rvx::Check;
using rvx::Frame;
using rvx::Notation;
using rvx::ParameterField;

constexpr std::size_t rowUp = 0, rowDown = 1, rowGoToIp = 5, rowGoToPercent = 6, rowJogUp = 7,
                      rowLockUp = 9, rowLockCurrent = 11, rowLockAtIp = 12;

const Frame up123456{0xAB, 0xF1, 0xFF, 0xFF, 0xFF, 0xFF, 0x12,
                     0x34, 0x56, 0xFE, 0xFF, 0xFF, 0x09, 0x30};

// The fourteen frames the generation makes for these fields.
std::array<Frame, rvx::commandCount> generate(rvx::MemoryFields fields) {
    rvx::CommandStringEngine engine(fields);
    engine.getAddress();
    std::array<Frame, rvx::commandCount> frames{};
    for (std::size_t row = 0; row < rvx::commandCount; ++row) {
        const auto frame = rvx::readFrame(fields.outputs[row], Notation::Spaced);
        EXPECT_TRUE(frame) << rvx::commandCatalogue[row].name << ": " << fields.outputs[row];
        frames[row] = frame.value_or(Frame{});
    }
    return frames;
}

rvx::MemoryFields fieldsFor(const std::string& address, AddressKind kind) {
    rvx::MemoryFields fields;
    fields.kind = kind;
    fields.address[static_cast<std::size_t>(kind)] = address;
    return fields;
}

std::string hexAddress(std::uint32_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "%06X", static_cast<unsigned>(value & 0xFFFFFFU));
    return text;
}

// The checks that failed, in the order reported.
std::vector<Check> checksOf(const rvx::DecodedFrame& decoded) {
    std::vector<Check> checks;
    for (const auto& finding : decoded.findings) {
        checks.push_back(finding.check);
    }
    return checks;
}

std::string findingsText(const rvx::DecodedFrame& decoded) {
    std::string text;
    for (const auto& finding : decoded.findings) {
        text += finding.message + "\n";
    }
    return text;
}

Frame withChecksumFixed(Frame frame) {
    const std::uint16_t sum = rvx::checksumOf(std::span(frame).first(12));
    frame[12] = static_cast<std::uint8_t>(sum >> 8);
    frame[13] = static_cast<std::uint8_t>(sum & 0xFF);
    return frame;
}

// ---- Decoding ----

TEST(Decoding, UpForSingleMotor123456) {
    const auto decoded = rvx::decodeFrame(up123456);
    EXPECT_TRUE(decoded.madeByTool()) << findingsText(decoded);
    EXPECT_EQ(decoded.command, rowUp);
    EXPECT_EQ(decoded.address, (rvx::Address{0x12, 0x34, 0x56}));
    EXPECT_EQ(decoded.kind, AddressKind::Single);
    EXPECT_TRUE(decoded.parameters.empty());
    EXPECT_TRUE(decoded.notes.empty());
}

TEST(Decoding, WrongChecksumSaysWhatItShouldBe) {
    Frame frame = up123456;
    frame[13] = 0x31;
    const auto decoded = rvx::decodeFrame(frame);
    EXPECT_FALSE(decoded.madeByTool());
    ASSERT_EQ(checksOf(decoded), std::vector<Check>{Check::Checksum});
    EXPECT_EQ(decoded.findings[0].message,
              "bytes 13-14: checksum is 09 31, should be 09 30, the 16-bit sum of bytes 1 to 12");
    EXPECT_EQ(decoded.findings[0].firstByte, 13U);
    EXPECT_EQ(decoded.findings[0].lastByte, 14U);
    // What the frame says is still told.
    EXPECT_EQ(decoded.command, rowUp);
    EXPECT_EQ(decoded.address, (rvx::Address{0x12, 0x34, 0x56}));
}

TEST(Decoding, GroupFramesAndAddressFFFFFF) {
    auto group = rvx::decodeFrame(generate(fieldsFor("0a0b0c", AddressKind::Group))[rowUp]);
    EXPECT_TRUE(group.madeByTool()) << findingsText(group);
    EXPECT_EQ(group.address, (rvx::Address{0x0A, 0x0B, 0x0C}));
    EXPECT_EQ(group.kind, AddressKind::Group);

    for (const auto kind : {AddressKind::Single, AddressKind::Group}) {
        const auto decoded = rvx::decodeFrame(generate(fieldsFor("FFFFFF", kind))[rowLockUp]);
        EXPECT_TRUE(decoded.madeByTool()) << findingsText(decoded);
        EXPECT_EQ(decoded.address, (rvx::Address{0xFF, 0xFF, 0xFF}));
        EXPECT_FALSE(decoded.kind);
        ASSERT_EQ(decoded.notes.size(), 1U);
        EXPECT_NE(decoded.notes[0].find("its kind cannot be told"), std::string::npos);
    }
}

TEST(Decoding, ParametersInTheUsersTerms) {
    auto fields = fieldsFor("123456", AddressKind::Single);
    fields.parameter(ParameterField::RU) = "250";
    fields.parameter(ParameterField::IP) = "3";
    fields.parameter(ParameterField::Pct) = "0.4";  // position 1, which no whole percentage gives
    fields.parameter(ParameterField::MSU) = "12";
    fields.parameter(ParameterField::L) = "100";
    fields.parameter(ParameterField::IPL) = "16";
    const auto frames = generate(fields);
    const auto describe = [&frames](std::size_t row) {
        std::vector<std::string> texts;
        for (const auto& parameter : rvx::decodeFrame(frames[row]).parameters) {
            texts.push_back(parameter.description);
        }
        return texts;
    };
    using Texts = std::vector<std::string>;
    EXPECT_EQ(describe(rowDown), Texts{"Down value 250"});
    EXPECT_EQ(describe(rowGoToIp), Texts{"IP number 3"});
    EXPECT_EQ(describe(rowGoToPercent),
              Texts{"position 1 of 255, which no whole percentage gives (between 0 % and 1 %)"});
    EXPECT_EQ(describe(rowJogUp), Texts{"jog up count 12 (120 ms)"});
    EXPECT_EQ(describe(rowLockCurrent), Texts{"lock priority 100"});
    EXPECT_EQ(describe(rowLockAtIp), (Texts{"lock priority 100", "lock IP number 16"}));

    const auto percent = rvx::decodeFrame(frames[rowGoToPercent]);
    EXPECT_TRUE(percent.madeByTool()) << findingsText(percent);
    EXPECT_FALSE(percent.parameters[0].whole);
    EXPECT_TRUE(percent.parameters[0].admitted);

    fields.parameter(ParameterField::Pct) = "50";
    const auto half = rvx::decodeFrame(generate(fields)[rowGoToPercent]);
    EXPECT_EQ(half.parameters[0].description, "percentage 50 %");
    EXPECT_EQ(half.parameters[0].whole, 50);
    EXPECT_EQ(half.parameters[0].written, 0x80);
    EXPECT_EQ(half.parameters[0].byte, 11U);
}

// Frames with one thing wrong each (the checksum made right again unless it is the fault):
// exactly the expected checks fail.
TEST(Decoding, EachFindingOnACorruptedFrame) {
    struct Case {
        const char* name;
        Frame frame;
        std::vector<Check> checks;
        std::string message;
    };
    const auto change = [](std::size_t row, std::vector<std::pair<std::size_t, std::uint8_t>> bytes,
                           AddressKind kind = AddressKind::Single) {
        Frame frame = generate(fieldsFor("123456", kind))[row];
        for (const auto& [number, value] : bytes) {
            frame[number - 1] = value;
        }
        return withChecksumFixed(frame);
    };
    const Case cases[] = {
        {"length byte",
         change(rowUp, {{2, 0xF0}}),
         {Check::LengthByte},
         "byte 2: length byte is F0, should be F1 (fourteen bytes, inverted)"},
        {"fixed byte",
         change(rowUp, {{3, 0x00}}),
         {Check::FixedByte},
         "byte 3: fixed byte is 00, should be FF"},
        {"unknown message code, command told by its code",
         change(rowGoToPercent, {{1, 0x54}}),
         {Check::MessageCode},
         "byte 1: message code 54 is neither AB (motion commands) nor A4 (lock commands); "
         "command code EF is Go to %, whose message code is AB"},
        {"unknown message code and a code both families use",
         change(rowUp, {{1, 0x00}}),
         {Check::MessageCode},
         "byte 1: message code 00 is neither AB"},
        {"unknown message code and command code",
         change(rowUp, {{1, 0x00}, {10, 0x00}}),
         {Check::MessageCode, Check::CommandCode},
         "byte 10: command code 00 is no command of either family"},
        {"lock code in a motion frame",
         change(rowUp, {{10, 0xFF}}),
         {Check::CommandCode},
         "byte 10: command code FF is no motion command; it is the code of Lock Current, a lock "
         "command with message code A4"},
        {"motion code in a lock frame",
         change(rowLockUp, {{10, 0xEF}}),
         {Check::CommandCode},
         "byte 10: command code EF is no lock command; it is the code of Go to %"},
        {"motion frame with a lock message code",
         change(rowJogUp, {{1, 0xA4}}),
         {Check::CommandCode},
         "command code F5 is no lock command"},
        {"unused first parameter byte",
         change(rowLockUp, {{11, 0x00}}),
         {Check::UnusedParameter},
         "byte 11: holds 00, should be FF: Lock Up carries no parameter in this byte"},
        {"unused second parameter byte",
         change(rowGoToIp, {{12, 0xFE}}),
         {Check::UnusedParameter},
         "byte 12: holds FE, should be FF: Go to IP # carries no"},
        {"both address fields hold an address",
         change(rowUp, {{4, 0x65}, {5, 0x43}}),
         {Check::AddressFields},
         "bytes 4-9: neither address field is FF FF FF (they hold 65 43 FF and 12 34 56); a "
         "single motor frame has FF FF FF in bytes 4-6, a group frame in bytes 7-9"},
        {"Down value between 0 and 10",
         change(rowDown, {{11, 0xFA}}),
         {Check::ParameterValue},
         "byte 11: FA is Down value 5, outside the admitted values (0, or 10 to 255)"},
        {"IP number 17",
         change(rowGoToIp, {{11, 0xEF}}),
         {Check::ParameterValue},
         "byte 11: EF is IP number 17, outside the admitted values (1 to 16)"},
        {"IP number 256",
         change(rowGoToIp, {{11, 0x00}}),
         {Check::ParameterValue},
         "IP number 256, outside"},
        {"priority 0",
         change(rowLockUp, {{12, 0xFF}}),
         {Check::ParameterValue},
         "byte 12: FF is lock priority 0, outside the admitted values (1 to 100)"},
        {"priority 101",
         change(rowLockCurrent, {{12, 0x9A}}),
         {Check::ParameterValue},
         "lock priority 101"},
        {"lock IP number 0",
         change(rowLockAtIp, {{11, 0xFF}}),
         {Check::ParameterValue},
         "byte 11: FF is lock IP number 0, outside the admitted values (1 to 16)"},
        {"unknown message code, parameters of the command its code names still checked",
         change(rowLockCurrent, {{1, 0x00}, {12, 0xFF}}),
         {Check::MessageCode, Check::ParameterValue},
         "byte 12: FF is lock priority 0"},
        {"both parameters outside, in byte order",
         change(rowLockAtIp, {{11, 0xFF}, {12, 0xFF}}),
         {Check::ParameterValue, Check::ParameterValue},
         "byte 11: FF is lock IP number 0"},
        {"lock IP number 17",
         change(rowLockAtIp, {{11, 0xEE}}),
         {Check::ParameterValue},
         "lock IP number 17"},
        {"checksum off by one",
         [] {
             Frame f = up123456;
             f[12] = 0x08;
             return f;
         }(),
         {Check::Checksum},
         "checksum is 08 30, should be 09 30"},
        {"several at once, in byte order",
         [] {
             Frame f = up123456;
             f[1] = 0xF2;
             f[2] = 0xFE;
             f[10] = 0x00;
             f[13] = 0x00;
             return f;
         }(),
         {Check::LengthByte, Check::FixedByte, Check::UnusedParameter, Check::Checksum},
         "byte 2: length byte is F2"},
    };
    for (const auto& c : cases) {
        const auto decoded = rvx::decodeFrame(c.frame);
        EXPECT_EQ(checksOf(decoded), c.checks) << c.name << "\n" << findingsText(decoded);
        EXPECT_FALSE(decoded.madeByTool()) << c.name;
        EXPECT_TRUE(
            std::is_sorted(decoded.findings.begin(), decoded.findings.end(),
                           [](const auto& a, const auto& b) { return a.firstByte < b.firstByte; }))
            << c.name << ": " << findingsText(decoded);
        const bool mentioned = std::any_of(
            decoded.findings.begin(), decoded.findings.end(), [&c](const auto& finding) {
                return finding.message.find(c.message) != std::string::npos;
            });
        EXPECT_TRUE(mentioned) << c.name << ": " << findingsText(decoded);
    }
}

TEST(Decoding, AWrongByteCountIsTheOnlyFinding) {
    for (const std::size_t count : {0, 1, 13, 15, 28}) {
        std::vector<std::uint8_t> bytes(count, 0x00);
        const auto decoded = rvx::decodeFrame(bytes);
        ASSERT_EQ(checksOf(decoded), std::vector<Check>{Check::ByteCount}) << count;
        EXPECT_EQ(decoded.findings[0].message, "the text holds " + std::to_string(count) +
                                                   (count == 1 ? " byte" : " bytes") +
                                                   "; a frame has 14");
        EXPECT_FALSE(decoded.command);
        EXPECT_FALSE(decoded.address);
    }
}

// Changing any one byte of any frame breaks its checksum, and the decoder says what the
// checksum of the changed bytes would be.
TEST(Decoding, EveryChangedByteIsCaught) {
    for (const auto kind : {AddressKind::Single, AddressKind::Group}) {
        const auto frames = generate(fieldsFor("9E0371", kind));
        for (const Frame& original : frames) {
            for (std::size_t position = 0; position < rvx::frameLength; ++position) {
                for (int value = 0; value < 256; ++value) {
                    if (value == original[position]) {
                        continue;
                    }
                    Frame frame = original;
                    frame[position] = static_cast<std::uint8_t>(value);
                    const auto decoded = rvx::decodeFrame(frame);
                    const auto checks = checksOf(decoded);
                    ASSERT_FALSE(checks.empty()) << rvx::writeFrame(frame);
                    ASSERT_EQ(checks.back(), Check::Checksum) << rvx::writeFrame(frame);
                    const std::string expected = rvx::writeFrame(withChecksumFixed(frame));
                    ASSERT_NE(
                        decoded.findings.back().message.find("should be " + expected.substr(36, 5)),
                        std::string::npos)
                        << decoded.findings.back().message;
                }
            }
        }
    }
}

// All frames the generation makes for one address and kind, from every whole admitted value
// and every Go to % position (reached through fractional percentages).
std::set<Frame> everyFrameFor(const std::string& address, AddressKind kind) {
    std::set<Frame> made;
    const auto add = [&made](const rvx::MemoryFields& fields) {
        for (const Frame& frame : generate(fields)) {
            made.insert(frame);
        }
    };
    const auto wholeValues = [](ParameterField field) {
        std::vector<int> values;
        for (int v = -1; v <= 256; ++v) {
            if (rvx::isAdmitted(field, v)) {
                values.push_back(v);
            }
        }
        return values;
    };
    for (const auto& info : rvx::parameterCatalogue) {
        for (const int value : wholeValues(info.field)) {
            auto fields = fieldsFor(address, kind);
            fields.parameter(info.field) = std::to_string(value);
            add(fields);
        }
    }
    for (int position = 0; position <= 255; ++position) {
        auto fields = fieldsFor(address, kind);
        fields.parameter(ParameterField::Pct) = rvx::plainDecimal(position / 2.55);
        add(fields);
    }
    for (const int priority : wholeValues(ParameterField::L)) {
        for (const int ip : wholeValues(ParameterField::IPL)) {
            auto fields = fieldsFor(address, kind);
            fields.parameter(ParameterField::L) = std::to_string(priority);
            fields.parameter(ParameterField::IPL) = std::to_string(ip);
            add(fields);
        }
    }
    return made;
}

// With the checksum right, a changed code or parameter byte passes exactly when the result is
// a frame that the generation makes.
TEST(Decoding, PassesExactlyTheFramesTheGenerationMakes) {
    const std::string address = "4D2A00";
    for (const auto kind : {AddressKind::Single, AddressKind::Group}) {
        const auto made = everyFrameFor(address, kind);
        // Every Go to % byte is reachable from an admitted percentage.
        std::set<std::uint8_t> percentBytes;
        for (const Frame& frame : made) {
            if (frame[0] == 0xAB && frame[9] == 0xEF) {
                percentBytes.insert(frame[10]);
            }
        }
        EXPECT_EQ(percentBytes.size(), 256U);

        for (const Frame& original : generate(fieldsFor(address, kind))) {
            for (const std::size_t position : {0, 1, 2, 9, 10, 11}) {
                for (int value = 0; value < 256; ++value) {
                    Frame frame = original;
                    frame[position] = static_cast<std::uint8_t>(value);
                    frame = withChecksumFixed(frame);
                    const auto decoded = rvx::decodeFrame(frame);
                    ASSERT_EQ(decoded.madeByTool(), made.contains(frame))
                        << rvx::writeFrame(frame) << "\n"
                        << findingsText(decoded);
                }
            }
        }
    }
}

// ---- Round trips ----

// A random admitted value of a parameter, a fraction one time in four.
std::string randomAdmitted(ParameterField field, std::mt19937& random) {
    const auto& info = rvx::parameterInfo(field);
    const auto intervals = info.admittedIntervals();
    std::uniform_int_distribution<std::size_t> which(0, intervals.size() - 1);
    const auto interval = intervals[which(random)];
    std::uniform_real_distribution<double> within(interval.low, interval.high);
    double value = within(random);
    if (random() % 4 != 0) {
        value = std::clamp(std::round(value), interval.low, interval.high);
    }
    return rvx::plainDecimal(value);
}

// Random addresses, kinds and admitted parameters; each frame written in every notation reads
// back (in lower case too, with blanks and line breaks around) and decodes to what was asked.
TEST(RoundTrip, EveryNotationWritesAndDecodesBack) {
    std::mt19937 random(20240611);
    std::uniform_int_distribution<std::uint32_t> addresses(0, 0xFFFFFF);
    for (int run = 0; run < 300; ++run) {
        const std::string address = hexAddress(addresses(random));
        const AddressKind kind = run % 2 == 0 ? AddressKind::Single : AddressKind::Group;
        auto fields = fieldsFor(address, kind);
        for (const auto& info : rvx::parameterCatalogue) {
            fields.parameter(info.field) = randomAdmitted(info.field, random);
        }
        const auto frames = generate(fields);
        for (std::size_t row = 0; row < rvx::commandCount; ++row) {
            const auto& command = rvx::commandCatalogue[row];
            for (const auto& info : rvx::notationCatalogue) {
                std::string text = rvx::writeFrame(frames[row], info.notation);
                if (run % 3 == 0) {
                    std::transform(text.begin(), text.end(), text.begin(), [](char c) {
                        return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
                    });
                    text = " \r\n" + text + "\n";
                }
                const auto asked = info.notation == Notation::Decimal
                                       ? std::optional<Notation>(Notation::Decimal)
                                       : std::nullopt;
                const auto read = rvx::readFrameText(text, asked);
                ASSERT_TRUE(read.read()) << text << ": " << read.error;
                // Notations that write the same text read as the first of them.
                ASSERT_EQ(rvx::writeFrame(frames[row], read.notation),
                          rvx::writeFrame(frames[row], info.notation))
                    << text;
                ASSERT_TRUE(std::equal(read.bytes.begin(), read.bytes.end(), frames[row].begin(),
                                       frames[row].end()))
                    << text;

                const auto decoded = rvx::decodeFrame(read.bytes);
                ASSERT_TRUE(decoded.madeByTool()) << text << "\n" << findingsText(decoded);
                EXPECT_EQ(decoded.command, row);
                EXPECT_EQ(decoded.address, rvx::readAddress(address).bytes);
                EXPECT_EQ(decoded.kind, address == "FFFFFF" ? std::nullopt : std::optional(kind));
                ASSERT_EQ(decoded.parameters.size(), command.parameterCount);
                for (std::size_t k = 0; k < command.parameterCount; ++k) {
                    const auto& parameter = command.parameterBytes()[k];
                    EXPECT_EQ(decoded.parameters[k].field, parameter.field);
                    EXPECT_EQ(decoded.parameters[k].written, frames[row][parameter.frameByte - 1]);
                }
            }
        }
    }
}

// For every kind, command and admitted whole value (and many random addresses), decoding the
// generated frame gives back the command, the address, the kind and the value.
TEST(RoundTrip, EveryAdmittedWholeValueDecodesToItself) {
    std::mt19937 random(77);
    std::uniform_int_distribution<std::uint32_t> addresses(0, 0xFFFFFF);
    std::vector<std::string> addressList = {"000000", "FFFFFF", "123456", "00000F"};
    while (addressList.size() < 12) {
        addressList.push_back(hexAddress(addresses(random)));
    }
    for (const auto& info : rvx::parameterCatalogue) {
        for (int value = -1; value <= 256; ++value) {
            if (!rvx::isAdmitted(info.field, value)) {
                continue;
            }
            const std::string address =
                addressList[static_cast<std::size_t>(value + 1) % addressList.size()];
            for (const auto kind : {AddressKind::Single, AddressKind::Group}) {
                auto fields = fieldsFor(address, kind);
                fields.parameter(info.field) = std::to_string(value);
                const auto frames = generate(fields);
                for (std::size_t row = 0; row < rvx::commandCount; ++row) {
                    const auto decoded = rvx::decodeFrame(frames[row]);
                    ASSERT_TRUE(decoded.madeByTool()) << findingsText(decoded);
                    ASSERT_EQ(decoded.command, row);
                    ASSERT_EQ(decoded.address, rvx::readAddress(address).bytes);
                    if (address != "FFFFFF") {
                        ASSERT_EQ(decoded.kind, kind);
                    }
                    for (const auto& parameter : decoded.parameters) {
                        if (parameter.field == info.field) {
                            ASSERT_EQ(parameter.whole, value)
                                << rvx::commandCatalogue[row].name << " " << value;
                        } else {
                            ASSERT_EQ(rvx::plainDecimal(parameter.value),
                                      rvx::parameterInfo(parameter.field).startText);
                        }
                    }
                }
            }
        }
    }
}

}  // namespace
