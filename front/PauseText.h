#pragma once

// The pause between sampling cycles as a command line or a typed field gives
// it: one of the named pauses' words ("max", "0.5s", "1s", "10s", in any
// case) or a whole number of milliseconds in the range the cycle takes.

#include <QString>
#include <optional>

namespace front {

// The pause in ms, or nothing when the text is none of the above.
std::optional<int> parsePause(const QString& text);
// The named pauses' words, for help and messages: "max, 0.5s, 1s, 10s".
QString pauseWords();
// One line for a refused pause: "OPTION must be max, 0.5s, 1s, 10s or 0 to
// 3600000 ms, not 'TEXT'".
QString pauseRefused(const QString& option, const QString& text);

} // namespace front
