#pragma once

#include <functional>

// Runs onSignal from the event loop when the process is sent SIGTERM or SIGINT,
// so that a program started by a script, a service manager or a terminal's
// Ctrl-C ends the way its own Exit does, with exit status 0. The signal handler
// only wakes the event loop; onSignal runs later, like any other event. Call it
// once, after the application object exists. Where there are no such signals it
// does nothing and returns false.
bool endOnTerminationSignals(std::function<void()> onSignal);
