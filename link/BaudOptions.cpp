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

const BaudOption* baudOptionForRate(int rate)
{
    for (const BaudOption& b : kBaudOptions) {
        if (b.rate == rate)
            return &b;
    }
    return nullptr;
}

QString baudRatesText()
{
    QString text;
    for (std::size_t i = 0; i < kBaudOptions.size(); ++i) {
        if (i > 0)
            text += QLatin1String(i + 1 == kBaudOptions.size() ? " or " : ", ");
        text += QLatin1String(kBaudOptions[i].caption);
    }
    return text;
}
