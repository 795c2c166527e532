#pragma once

// Asks for the program's timers to fire on time; call it before the
// application object is made. "Max Speed" is a 1 ms pause between cycles, and
// two things on Linux would stretch it:
// - a process's timers may fire up to 50 us late by default ("timer slack"),
//   5 % of the pause: the slack is set to the least the kernel takes;
// - Qt's GLib event loop waits in whole milliseconds, rounded up, from the
//   moment it goes to sleep, so work done after the pause was armed (laying
//   out the readings just received) lengthens it by as much. Qt's own event
//   loop waits to the microsecond; it is chosen unless QT_NO_GLIB is set
//   either way in the environment.
// Elsewhere nothing is changed. A refusal is ignored.
void requestPreciseTimers();
