#pragma once

// Commands a bench takes from its broker, PREFIX/set/dac/N (millivolts) and
// PREFIX/set/dout (on or off), read from the topic below the prefix and the
// payload. Anything else is refused with a reason short and plain enough to
// publish back on PREFIX/error, whatever the payload held.

#include <optional>
#include <string>
#include <string_view>

namespace mqtt {

inline constexpr int kAnalogOutputs = 4;          // outputs 0..3
inline constexpr int kMaxOutputMillivolts = 4300;
// A longer payload is refused unread: no valid one comes near this.
inline constexpr std::size_t kMaxControlPayload = 32;
// Longest reason given, so that an error message stays small.
inline constexpr std::size_t kMaxReasonBytes = 160;

struct ControlCommand {
    enum class Kind { AnalogOutput, DigitalOutput };
    Kind kind = Kind::AnalogOutput;
    int channel = 0;      // AnalogOutput: 0..3
    int millivolts = 0;   // AnalogOutput: 0..4300
    bool high = false;    // DigitalOutput

    bool operator==(const ControlCommand&) const = default;
};

struct ControlParse {
    std::optional<ControlCommand> command;
    std::string error;   // when command is empty: printable ASCII, at most kMaxReasonBytes
};

// subtopic: the topic after "PREFIX/", for example "set/dac/2".
ControlParse parseControl(std::string_view subtopic, std::string_view payload);

// The command as topic below the prefix and payload: "set/dac/2" and "1500".
std::string commandTopic(const ControlCommand& command);
std::string commandPayload(const ControlCommand& command);

} // namespace mqtt
