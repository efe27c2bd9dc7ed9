#include "rvx/catalogue.h"

#include <algorithm>
#include <cmath>

#include "rvx/ascii.h"

namespace rvx {

namespace {

// The integer nearest to x, an exact half going to the even neighbour, if it fits 16 bits.
std::optional<std::int16_t> nearest(double x) {
    if (!(x >= -32768.5 && x <= 32767.5)) {  // also refuses NaN
        return std::nullopt;
    }
    double r = std::floor(x);
    const double fraction = x - r;  // exact for doubles of this size
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(r, 2.0) != 0.0)) {
        r += 1.0;
    }
    if (r < -32768.0 || r > 32767.0) {
        return std::nullopt;
    }
    return static_cast<std::int16_t>(r);
}

// The double nearest to 2.55, which lies a little below it: 50 % gives 127, not 128.
constexpr double percentScale = 2.55;

}  // namespace

bool isAdmitted(ParameterField field, double value) {
    return parameterInfo(field).admitted.contains(value);
}

std::optional<std::size_t> findCommand(std::string_view name) {
    for (std::size_t row = 0; row < commandCatalogue.size(); ++row) {
        const Command& command = commandCatalogue[row];
        if (ascii::equalIgnoringCase(command.name, name) ||
            ascii::equalIgnoringCase(command.plainName, name)) {
            return row;
        }
    }
    return std::nullopt;
}

std::optional<std::int16_t> convertParameter(Conversion conversion, double value) {
    switch (conversion) {
        case Conversion::Inverted:
            return nearest(255.0 - value);
        case Conversion::IpNumber:
            return nearest(256.0 - value);
        case Conversion::Percentage: {
            const auto scaled = nearest(value * percentScale);
            if (!scaled) {
                return std::nullopt;
            }
            const int written = 255 - *scaled;
            if (written < -32768 || written > 32767) {
                return std::nullopt;
            }
            return static_cast<std::int16_t>(written);
        }
    }
    return std::nullopt;
}

double parameterValueOf(Conversion conversion, std::uint8_t written) {
    switch (conversion) {
        case Conversion::Inverted:
            return 255.0 - written;
        case Conversion::IpNumber:
            return 256.0 - written;
        case Conversion::Percentage:
            // Whole percentages lie 2.55 positions apart, so at most one of them fits.
            for (int percent = 0; percent <= 100; ++percent) {
                if (convertParameter(Conversion::Percentage, percent) == written) {
                    return percent;
                }
            }
            return (255.0 - written) / percentScale;
    }
    return 0.0;
}

}  // namespace rvx
