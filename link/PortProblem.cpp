#include "link/PortProblem.h"

QString portProblemText(PortProblem problem)
{
    switch (problem) {
    case PortProblem::None: return {};
    case PortProblem::Missing: return QStringLiteral("missing");
    case PortProblem::InUse: return QStringLiteral("in use");
    case PortProblem::PermissionDenied: return QStringLiteral("permission denied");
    case PortProblem::CannotOpen: break;
    }
    return QStringLiteral("cannot open");
}

QString portTooltip(const QString& device, PortProblem problem)
{
    if (problem == PortProblem::None)
        return device;
    return QStringLiteral("%1 (%2)").arg(device, portProblemText(problem));
}
