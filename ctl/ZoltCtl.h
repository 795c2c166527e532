#pragma once

// zoltctl as a function: the whole program from its arguments to its exit
// status, on the event loop of the QCoreApplication the caller made.

#include <QStringList>

namespace zoltctl {

// args[0] is the program name. Rows and answers go to standard output, every
// error as one line on standard error.
int run(const QStringList& args);

} // namespace zoltctl
