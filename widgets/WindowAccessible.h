#pragma once

// Top-level windows built straight on QWidget (the command echo window, the
// analog output window) reach assistive technology as windows named by their
// title, not as the anonymous pane the toolkit makes of a bare widget. Call
// before the first such window is asked for; calling again does nothing.
void installWindowAccessibility();
