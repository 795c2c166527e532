#pragma once

#include <QString>

// The program's one number-to-text form: a blank in the place of the sign,
// then the decimal digits; a negative number has its minus sign there instead.
// So 0 is " 0", 2048 is " 2048" and minus one is "-1".
inline QString numberText(long long value)
{
    return value < 0 ? QString::number(value) : QLatin1Char(' ') + QString::number(value);
}

// The same, cut to its last four characters: " 500" stays, " 4300" becomes "4300".
inline QString numberTextLast4(long long value)
{
    const QString text = numberText(value);
    return text.size() > 4 ? text.right(4) : text;
}
