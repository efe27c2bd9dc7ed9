// The sends a front end makes of several frames: the steps they go out in and the pauses
// between them. Each step's frames go out one after the other with the bus gap (rvx/line.h)
// between them; a step waits its pause after the end of the step before.
#pragma once

#include <array>
#include <chrono>

#include "rvx/catalogue.h"

namespace rvx {

struct SendStep {
    CommandId command;
    std::chrono::milliseconds pauseBefore{0};  // after the end of the step before
};

// The pause of Identify between Jog Up and Jog Down.
inline constexpr std::chrono::milliseconds identifyPause{600};

// Identify: every chosen motor jogs up, then after the pause all jog down again, so that the
// blind wiggles.
inline constexpr std::array<SendStep, 2> identifySteps{{
    {CommandId::JogUp, std::chrono::milliseconds{0}},
    {CommandId::JogDown, identifyPause},
}};

}  // namespace rvx
