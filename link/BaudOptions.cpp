#include "link/BaudOptions.h"

int baudOptionForSettings(const QString& settings)
{
    const QString baud = settings.left(4);
    for (const BaudOption& b : kBaudOptions) {
        if (baud == QLatin1String(b.caption))
            return b.option;
    }
    return 0;
}

const BaudOption* baudOption(int option)
{
    for (const BaudOption& b : kBaudOptions) {
        if (b.option == option)
            return &b;
    }
    return nullptr;
}
