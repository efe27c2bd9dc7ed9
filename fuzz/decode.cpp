// Fuzz target: the frame reader and decoder of rvx-strings --decode, on any text.
//
// Invariants:
//   - reading and decoding never crash, whatever the text, in every notation or none;
//   - bytes that are read as a frame write back, in the notation they were read in, to a text
//     that reads as the same bytes;
//   - a frame the decoder calls one the tool makes is exactly the frame the generation makes
//     from what the decoder read out of it: command, address, kind and parameter values.
#include "rvx/decode.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "rvx/frame.h"
#include "rvx/generator.h"
#include "rvx/memory_fields.h"
#include "rvx/number.h"

namespace {

void checkMadeByTool(const rvx::Frame& frame, const rvx::DecodedFrame& decoded) {
    RVX_FUZZ_CHECK(decoded.command.has_value());
    RVX_FUZZ_CHECK(decoded.address.has_value());
    rvx::MemoryFields fields;
    // Address FFFFFF makes the same frame for both kinds.
    fields.kind = decoded.kind.value_or(rvx::AddressKind::Single);
    fields.address[static_cast<std::size_t>(fields.kind)] = rvx::addressText(*decoded.address);
    for (const auto& parameter : decoded.parameters) {
        RVX_FUZZ_CHECK(parameter.admitted);
        fields.parameter(parameter.field) = rvx::plainDecimal(parameter.value);
    }
    rvx::CommandStringEngine engine(fields);
    engine.getAddress();  // every value is admitted: no failure may leave it
    RVX_FUZZ_CHECK(fields.outputs[*decoded.command] == rvx::writeFrame(frame));
}

void checkText(std::string_view text, std::optional<rvx::Notation> notation) {
    const rvx::FrameText read = rvx::readFrameText(text, notation);
    if (!read.read()) {
        RVX_FUZZ_CHECK(read.bytes.empty());
        return;
    }
    RVX_FUZZ_CHECK(!read.bytes.empty());
    if (notation) {
        RVX_FUZZ_CHECK(read.notation == *notation);
    }
    const rvx::DecodedFrame decoded = rvx::decodeFrame(read.bytes);
    if (read.bytes.size() != rvx::frameLength) {
        RVX_FUZZ_CHECK(!decoded.madeByTool());
        return;
    }
    rvx::Frame frame{};
    std::copy(read.bytes.begin(), read.bytes.end(), frame.begin());
    const std::string written = rvx::writeFrame(frame, read.notation);
    RVX_FUZZ_CHECK(rvx::readFrame(written, read.notation) == frame);
    if (read.notation != rvx::Notation::Decimal) {
        RVX_FUZZ_CHECK(rvx::readFrame(written) == frame);  // its notation is told from the text
    }
    if (decoded.madeByTool()) {
        checkMadeByTool(frame, decoded);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    checkText(text, std::nullopt);
    for (const auto& info : rvx::notationCatalogue) {
        checkText(text, info.notation);
    }
    // The input's own bytes as a frame of any length.
    const rvx::DecodedFrame raw = rvx::decodeFrame({data, size});
    if (size == rvx::frameLength && raw.madeByTool()) {
        rvx::Frame frame{};
        std::copy(data, data + size, frame.begin());
        checkMadeByTool(frame, raw);
    }
    return 0;
}
