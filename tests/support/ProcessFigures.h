#pragma once

// This process's own figures, for tests that bound what waiting costs and for
// the benchmarks.

#include <chrono>

// Processor time used so far, user and system.
std::chrono::milliseconds cpuTime();

// AddressSanitizer keeps freed memory in quarantine and maps shadow memory as
// it goes, so under it resident memory says nothing about the program's own.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kResidentMemoryIsTheProgramsOwn = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kResidentMemoryIsTheProgramsOwn = false;
#else
inline constexpr bool kResidentMemoryIsTheProgramsOwn = true;
#endif
#else
inline constexpr bool kResidentMemoryIsTheProgramsOwn = true;
#endif

// A figure of /proc/self/status in KiB, by its field ("VmRSS:", "VmHWM:");
// -1 where the system does not tell.
long statusKiB(const char* field);
// Resident memory, KiB; -1 where the system does not tell.
inline long residentKiB() { return statusKiB("VmRSS:"); }
