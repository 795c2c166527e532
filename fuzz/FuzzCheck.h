#pragma once

// A broken property ends the fuzz run at once, with a line that says which.

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition, ...)                                                    \
    do {                                                                              \
        if (!(condition)) {                                                           \
            std::fprintf(stderr, "%s:%d: property broken: %s\n  ", __FILE__, __LINE__, \
                         #condition);                                                 \
            std::fprintf(stderr, __VA_ARGS__);                                        \
            std::fputc('\n', stderr);                                                 \
            std::abort();                                                             \
        }                                                                             \
    } while (false)
