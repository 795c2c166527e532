#pragma once

// How long a read request may wait for its reply before it counts as missed:
// twice the exchange's time on the wire (command and reply bytes, 10 bits a
// byte with start and stop bit) plus a fixed margin for the adapter, the
// module's own turnaround and a busy machine.

namespace replydeadline {

inline constexpr int kBitsPerByte = 10;       // start bit, 8 data bits, stop bit
inline constexpr int kWireTimeFactor = 2;
inline constexpr int kMarginMs = 100;

// Milliseconds, rounded up. baud must be positive.
constexpr int deadlineMs(int commandBytes, int replyBytes, int baud)
{
    const long long bits = static_cast<long long>(commandBytes + replyBytes) * kBitsPerByte;
    const long long wireMs = (bits * 1000 + baud - 1) / baud;
    return static_cast<int>(kWireTimeFactor * wireMs + kMarginMs);
}

// The exchange's own time on the wire, ns: when its reply should be complete,
// counted from the request's first byte.
constexpr long long wireNs(int commandBytes, int replyBytes, int baud)
{
    return static_cast<long long>(commandBytes + replyBytes) * kBitsPerByte * 1'000'000'000LL / baud;
}

static_assert(deadlineMs(5, 2, 9600) == 2 * 8 + 100);     // 70 bits: 7.3 ms, rounded up
static_assert(deadlineMs(5, 14, 2400) == 2 * 80 + 100);   // 190 bits: 79.2 ms, rounded up

} // namespace replydeadline
