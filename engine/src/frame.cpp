#include "rvx/frame.h"

#include <cassert>
#include <numeric>

#include "rvx/number.h"

namespace rvx {

std::uint16_t checksumOf(std::span<const std::uint8_t> firstTwelve) {
    return static_cast<std::uint16_t>(std::accumulate(firstTwelve.begin(), firstTwelve.end(), 0U) &
                                      0xFFFFU);
}

bool checksumHolds(std::span<const std::uint8_t> frame) {
    if (frame.size() != frameLength) {
        return false;
    }
    const std::uint16_t sum = checksumOf(frame.first(byteAt::checksumHigh));
    return frame[byteAt::checksumHigh] == (sum >> 8) && frame[byteAt::checksumLow] == (sum & 0xFF);
}

ComposedFrame composeFrame(const Command& command, AddressKind kind, const Address& address,
                           std::span<const std::int16_t> written) {
    ComposedFrame result;
    const auto parameters = command.parameterBytes();

    // The frame sum, as the generation forms it: the address bytes and the constant part
    // first, then each written parameter value, every step within 16 bits.
    int sum = address[0] + address[1] + address[2] + command.constantSum;
    for (std::size_t k = 0; k < parameters.size(); ++k) {
        sum += written[k];
        if (sum < -32768 || sum > 32767) {
            result.status = ComposedFrame::Status::Overflow;
            result.overflowAt = k;
            return result;
        }
    }
    result.sum = static_cast<std::int16_t>(sum);

    Frame& frame = result.frame;
    frame[byteAt::message] = command.messageCode;
    frame[byteAt::length] = lengthByte;
    frame[byteAt::fixed] = fixedByte;
    const std::size_t addressAt =
        kind == AddressKind::Group ? byteAt::firstAddress : byteAt::secondAddress;
    const std::size_t emptyAt =
        kind == AddressKind::Group ? byteAt::secondAddress : byteAt::firstAddress;
    for (std::size_t k = 0; k < 3; ++k) {
        frame[addressAt + k] = address[k];
        frame[emptyAt + k] = fixedByte;
    }
    frame[byteAt::command] = command.commandCode;
    frame[byteAt::parameter1] = fixedByte;
    frame[byteAt::parameter2] = fixedByte;
    for (std::size_t k = 0; k < parameters.size(); ++k) {
        if (written[k] < 0 || written[k] > 0xFF) {
            result.status = ComposedFrame::Status::NoByteForm;
            return result;
        }
        frame[parameters[k].frameByte - 1U] = static_cast<std::uint8_t>(written[k]);
    }
    const std::uint16_t checksum = checksumOf(std::span(frame).first(byteAt::checksumHigh));
    // With every byte in 00..FF the frame sum is the checksum itself.
    assert(checksum == static_cast<std::uint16_t>(result.sum));
    frame[byteAt::checksumHigh] = static_cast<std::uint8_t>(checksum >> 8);
    frame[byteAt::checksumLow] = static_cast<std::uint8_t>(checksum & 0xFF);
    return result;
}

ParameterValues startValues() {
    ParameterValues values{};
    for (const ParameterInfo& info : parameterCatalogue) {
        values[static_cast<std::size_t>(info.field)] = readNumber(info.startText).value_or(0.0);
    }
    return values;
}

std::optional<Frame> frameFor(const Command& command, AddressKind kind, const Address& address,
                              const ParameterValues& values) {
    std::array<std::int16_t, 2> written{};
    const auto parameters = command.parameterBytes();
    for (std::size_t k = 0; k < parameters.size(); ++k) {
        const auto value = convertParameter(parameters[k].conversion,
                                            values[static_cast<std::size_t>(parameters[k].field)]);
        if (!value) {
            return std::nullopt;
        }
        written[k] = *value;
    }
    const ComposedFrame composed =
        composeFrame(command, kind, address, std::span(written).first(parameters.size()));
    if (!composed.made()) {
        return std::nullopt;
    }
    return composed.frame;
}

FramesForAddresses::FramesForAddresses(const Command& command, AddressKind kind,
                                       const ParameterValues& values)
    : base_(frameFor(command, kind, Address{}, values)) {
    const std::size_t at =
        kind == AddressKind::Group ? byteAt::firstAddress : byteAt::secondAddress;
    varying_ = {at, at + 1, at + 2, byteAt::checksumHigh, byteAt::checksumLow};
    if (base_) {
        baseChecksum_ = checksumOf(std::span(*base_).first(byteAt::checksumHigh));
    }
}

Frame FramesForAddresses::forAddress(const Address& address) const {
    Frame frame = base_.value();
    for (std::size_t k = 0; k < address.size(); ++k) {
        frame[varying_[k]] = address[k];
    }
    const std::uint16_t checksum = checksumFor(address);
    frame[byteAt::checksumHigh] = static_cast<std::uint8_t>(checksum >> 8);
    frame[byteAt::checksumLow] = static_cast<std::uint8_t>(checksum & 0xFF);
    return frame;
}

}  // namespace rvx
