#pragma once

// zoltctl's exit statuses, one for each class of failure, so that a script can
// tell a typing mistake from a missing cable. The README lists them.
namespace zoltctl {

enum class ExitStatus : int {
    Ok = 0,
    Usage = 2,        // unknown command or option, a value out of range
    Port = 3,         // no such port, in use, not permitted, or lost while open
    NoModule = 4,     // the port opened but DSR and CTS are not both held
    NoReply = 5,      // a reply never came within its deadline
    Output = 6,       // the output file cannot be written
    Broker = 7,       // the MQTT broker cannot be reached or refuses, at the start
};

inline int code(ExitStatus status) { return static_cast<int>(status); }

} // namespace zoltctl
