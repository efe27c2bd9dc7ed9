// Finding frames in the bytes read from the bus, as a monitor receives them: in pieces of any
// size, with noise, cut-off frames and corrupted ones among them.
//
// A frame is fourteen bytes that start with a message code (AB or A4), the length byte F1 and
// the fixed byte FF. A frame whose checksum is wrong is still reported as a frame, so that
// decodeFrame (rvx/decode.h) can say what is wrong with it; but a candidate whose checksum is
// wrong and that holds the start of another frame inside is taken for a cut-off frame: its
// leading bytes are given up as noise and the search goes on at that start. So a frame cut off
// by a reset, followed by a whole one, gives noise and the whole frame.
//
// Every byte fed comes out exactly once, in order, either in a frame or in a run of noise, and
// what comes out does not depend on how the bytes were cut into pieces. The cost is linear in
// the bytes fed, whatever their mix and however large the pieces. Noise is held back
// until a frame ends the run, the run reaches maxNoiseRun bytes, or the caller flushes; a
// monitor flushes after a silence, so that a lone cut-off frame shows up as noise.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace rvx {

struct ScannedRun {
    enum class Kind : std::uint8_t {
        Framed,  // fourteen bytes from a start sequence, a frame; the checksum may be wrong
        Noise,   // bytes that belong to no frame
    };
    Kind kind = Kind::Noise;
    std::uint64_t offset = 0;         // the place of the first byte in the stream, counted from 0
    std::vector<std::uint8_t> bytes;  // never empty

    [[nodiscard]] bool isFrame() const { return kind == Kind::Framed; }
};

// How far these bytes agree with the start of a frame (AB or A4, then F1, then FF).
enum class StartMatch : std::uint8_t {
    No,       // they cannot start a frame
    Partial,  // fewer than three bytes, all as a start would have them
    Full,     // the three bytes of a start
};
[[nodiscard]] StartMatch matchStart(std::span<const std::uint8_t> bytes);

class FrameScanner {
public:
    static constexpr std::size_t defaultMaxNoiseRun = 256;

    // maxNoiseRun: the longest run of noise held back before it is reported (at least 1), so
    // that a stream of garbage shows up in pieces instead of waiting for a frame.
    explicit FrameScanner(std::size_t maxNoiseRun = defaultMaxNoiseRun);

    // The frames and runs of noise that these bytes complete, in stream order.
    [[nodiscard]] std::vector<ScannedRun> feed(std::span<const std::uint8_t> bytes);

    // Ends the input: everything held back is reported. A frame still waiting for its last
    // bytes comes out as noise; a whole frame with a wrong checksum that waited to see whether
    // a frame starts at its end comes out as a frame.
    [[nodiscard]] std::vector<ScannedRun> flush();

    // The number of bytes fed but not reported yet.
    [[nodiscard]] std::size_t pending() const { return held_.size() - front_; }

private:
    void scan(bool final, std::vector<ScannedRun>& out);
    // Where a candidate at the start of held_ with a wrong checksum restarts: 1 to 13, 0 for
    // nowhere (it is a frame), or -1 when the bytes so far cannot tell.
    [[nodiscard]] int restartOf(std::size_t candidate, bool final) const;
    void report(ScannedRun::Kind kind, std::size_t count, std::vector<ScannedRun>& out);

    std::vector<std::uint8_t> held_;  // bytes not reported yet, from front_ on
    std::size_t front_ = 0;           // the first of them; those before were reported
    std::size_t noise_ = 0;           // how many of them, from front_, are known to be noise
    std::uint64_t offset_ = 0;        // the place of held_[front_] in the stream
    std::size_t maxNoiseRun_;
};

}  // namespace rvx
