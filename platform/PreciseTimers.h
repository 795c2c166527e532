#pragma once

// Asks the operating system to wake the program's timers on time. On Linux a
// process's timers may fire up to 50 us late by default ("timer slack"), which
// at "Max Speed" is 5 % of the 1 ms pause between cycles; elsewhere nothing
// is changed. A refusal is ignored.
void requestPreciseTimers();
