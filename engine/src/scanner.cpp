#include "rvx/scanner.h"

#include <algorithm>

#include "rvx/catalogue.h"
#include "rvx/frame.h"

namespace rvx {

namespace {

constexpr std::size_t startLength = 3;

}  // namespace

StartMatch matchStart(std::span<const std::uint8_t> bytes) {
    const std::size_t n = std::min(bytes.size(), startLength);
    if (n == 0) {
        return StartMatch::Partial;
    }
    if (bytes[0] != motionMessageCode && bytes[0] != lockMessageCode) {
        return StartMatch::No;
    }
    if (n > 1 && bytes[1] != lengthByte) {
        return StartMatch::No;
    }
    if (n > 2 && bytes[2] != fixedByte) {
        return StartMatch::No;
    }
    return n == startLength ? StartMatch::Full : StartMatch::Partial;
}

FrameScanner::FrameScanner(std::size_t maxNoiseRun)
    : maxNoiseRun_(std::max<std::size_t>(1, maxNoiseRun)) {}

std::vector<ScannedRun> FrameScanner::feed(std::span<const std::uint8_t> bytes) {
    std::vector<ScannedRun> out;
    held_.insert(held_.end(), bytes.begin(), bytes.end());
    scan(false, out);
    return out;
}

std::vector<ScannedRun> FrameScanner::flush() {
    std::vector<ScannedRun> out;
    scan(true, out);
    return out;
}

void FrameScanner::report(ScannedRun::Kind kind, std::size_t count, std::vector<ScannedRun>& out) {
    ScannedRun run;
    run.kind = kind;
    run.offset = offset_;
    const auto first = held_.begin() + static_cast<std::ptrdiff_t>(front_);
    run.bytes.assign(first, first + static_cast<std::ptrdiff_t>(count));
    out.push_back(std::move(run));
    // The reported bytes stay in held_ until the scan ends: taking them off the front one run
    // at a time would move the rest of a large read for every run.
    front_ += count;
    offset_ += count;
    noise_ -= std::min(noise_, count);
}

int FrameScanner::restartOf(std::size_t candidate, bool final) const {
    for (std::size_t k = 1; k < frameLength; ++k) {
        const std::size_t at = candidate + k;
        const auto rest = std::span(held_).subspan(at, std::min(startLength, held_.size() - at));
        switch (matchStart(rest)) {
            case StartMatch::Full:
                return static_cast<int>(k);
            case StartMatch::Partial:
                // A start that runs past the bytes so far: only the next bytes can tell, and
                // once the input has ended they never will.
                if (!final) {
                    return -1;
                }
                break;
            case StartMatch::No:
                break;
        }
    }
    return 0;
}

void FrameScanner::scan(bool final, std::vector<ScannedRun>& out) {
    for (;;) {
        // A run of noise that reached its length is reported without waiting for its end.
        while (noise_ >= maxNoiseRun_) {
            report(ScannedRun::Kind::Noise, maxNoiseRun_, out);
        }
        const std::size_t candidate = front_ + noise_;
        const std::size_t available = held_.size() - candidate;
        if (available == 0) {
            break;
        }
        const auto start = std::span(held_).subspan(candidate, std::min(startLength, available));
        const StartMatch match = matchStart(start);
        if (match == StartMatch::No) {
            // No frame starts before the next message code: the bytes up to it are noise, as
            // far as the longest run goes.
            const auto from = held_.begin() + static_cast<std::ptrdiff_t>(candidate) + 1;
            const auto limit =
                held_.begin() + static_cast<std::ptrdiff_t>(
                                    std::min(held_.size(), candidate + (maxNoiseRun_ - noise_)));
            const auto next = std::find_if(from, limit, [](std::uint8_t byte) {
                return byte == motionMessageCode || byte == lockMessageCode;
            });
            noise_ += static_cast<std::size_t>(next - from) + 1;
            continue;
        }
        if (available < frameLength) {
            if (!final) {
                break;  // a frame may still be coming
            }
            noise_ = held_.size() - front_;  // the input ended inside it
            continue;
        }
        const auto frame = std::span(held_).subspan(candidate, frameLength);
        if (!checksumHolds(frame)) {
            const int restart = restartOf(candidate, final);
            if (restart < 0) {
                break;
            }
            if (restart > 0) {
                noise_ += static_cast<std::size_t>(restart);
                continue;
            }
        }
        if (noise_ > 0) {
            report(ScannedRun::Kind::Noise, noise_, out);
        }
        report(ScannedRun::Kind::Framed, frameLength, out);
    }
    if (final && noise_ > 0) {
        report(ScannedRun::Kind::Noise, noise_, out);
    }
    // Only what is not reported yet is kept: at most a run of noise and a frame or two.
    held_.erase(held_.begin(), held_.begin() + static_cast<std::ptrdiff_t>(front_));
    front_ = 0;
}

}  // namespace rvx
