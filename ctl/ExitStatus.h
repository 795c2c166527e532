#pragma once

// zoltctl's exit statuses, one for each class of failure, so that a script can
// tell a typing mistake from a missing cable. kExitStatuses is the one place
// they are described: the help text prints it, and a test holds the README's
// and the manual page's tables to it. A new status is a new enumerator and a
// new row here.

#include <array>

namespace zoltctl {

enum class ExitStatus : int {
    Ok = 0,
    Usage = 2,
    Port = 3,
    NoModule = 4,
    NoReply = 5,
    Output = 6,
    Broker = 7,
};

struct ExitStatusMeaning {
    ExitStatus status;
    const char* meaning;
};

inline constexpr std::array kExitStatuses{
    ExitStatusMeaning{ExitStatus::Ok, "done (also a sampling run ended by Ctrl-C, SIGTERM or a closed pipe)"},
    ExitStatusMeaning{ExitStatus::Usage, "bad usage: unknown command or option, a value out of range"},
    ExitStatusMeaning{ExitStatus::Port, "the port: no such port, in use, not permitted, or lost while open"},
    ExitStatusMeaning{ExitStatus::NoModule, "no module: the port opened but DSR and CTS are not both held"},
    ExitStatusMeaning{ExitStatus::NoReply, "a reply never came (for sample: not a single row, every reply missed)"},
    ExitStatusMeaning{ExitStatus::Output, "the output file cannot be written"},
    ExitStatusMeaning{ExitStatus::Broker, "the MQTT broker cannot be reached or refuses the connection (at the start)"},
};

constexpr int code(ExitStatus status) { return static_cast<int>(status); }

} // namespace zoltctl
