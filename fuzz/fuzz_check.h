// What a fuzz target does when an invariant breaks: says which, and aborts, so that libFuzzer
// (or the seed replay) stops there with the input that broke it.
#pragma once

#include <cstdio>
#include <cstdlib>

#define RVX_FUZZ_CHECK(condition)                                                                  \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)
