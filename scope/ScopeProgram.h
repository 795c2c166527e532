#pragma once

// ZOLT Scope once its command line is read: the window on the remembered
// choices, the source, sampling, recording or publishing the options ask
// for, and the end on Ctrl-C or SIGTERM. Needs a QApplication; gives the
// program's exit status.

#include "scope/ScopeOptions.h"

namespace scope {

int runScope(const ScopeOptions& options);

} // namespace scope
