#pragma once

// Asks for the program's timers to fire on time; call it before the
// application object is made. "Max Speed" is a 1 ms pause between cycles, and
// on Linux a process's timers may fire up to 50 us late by default ("timer
// slack"), 5 % of the pause: the slack is set to the least the kernel takes.
// Elsewhere nothing is changed. A refusal is ignored.
void requestPreciseTimers();

// Asks Qt for its own event loop instead of GLib's, unless QT_NO_GLIB is set
// either way in the environment; call it before the application object is
// made. Its passes cost less (2 to 9 % less CPU a sampling cycle, measured with
// bench/zolt_compare --glib). Not for a program that shows file dialogs:
// GTK's, where the desktop provides them, need GLib's loop.
void preferOwnEventLoop();
