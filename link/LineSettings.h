#pragma once

#include <QString>
#include <optional>

// Line parameters in the comma-separated form the program stores and compares,
// for example "2400,N,8,1": baud rate, parity letter, data bits, stop bits.
struct LineSettings {
    int baud = 9600;
    char parity = 'N';     // N, E, O, M or S
    int dataBits = 8;      // 5 to 8
    int stopBits = 1;      // 1 or 2

    friend bool operator==(const LineSettings&, const LineSettings&) = default;

    // Reads "2400,N,8,1" (blanks around fields allowed, parity in either case).
    // Anything malformed gives no value.
    static std::optional<LineSettings> parse(const QString& text);
    // The canonical form, "2400,N,8,1".
    QString toString() const;
};
