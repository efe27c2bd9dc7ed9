// The strings of single motor 123456 with the start values of the parameter fields, in
// catalogue order: the worked example that both the engine's and the window's tests check.
#pragma once

#include <array>

#include "rvx/catalogue.h"

inline constexpr std::array<const char*, rvx::commandCount> strings123456 = {
    "AB F1 FF FF FF FF 12 34 56 FE FF FF 09 30", "AB F1 FF FF FF FF 12 34 56 FD FF FF 09 2F",
    "AB F1 FF FF FF FF 12 34 56 FC FF FF 09 2E", "AB F1 FF FF FF FF 12 34 56 FA FF FF 09 2C",
    "AB F1 FF FF FF FF 12 34 56 F9 FF FF 09 2B", "AB F1 FF FF FF FF 12 34 56 FB FF FF 09 2D",
    "AB F1 FF FF FF FF 12 34 56 EF 80 FF 08 A2", "AB F1 FF FF FF FF 12 34 56 F5 F5 FF 09 1D",
    "AB F1 FF FF FF FF 12 34 56 F4 F5 FF 09 1C", "A4 F1 FF FF FF FF 12 34 56 FE FF FE 09 28",
    "A4 F1 FF FF FF FF 12 34 56 FD FF FE 09 27", "A4 F1 FF FF FF FF 12 34 56 FF FF FE 09 29",
    "A4 F1 FF FF FF FF 12 34 56 FB FE FE 09 24", "A4 F1 FF FF FF FF 12 34 56 FA FF FE 09 24",
};
