#pragma once

#include <QString>
#include <array>

// The three line speeds the program offers: the settings dialog's option
// number, its caption and the settings string it stands for. Always 8 data
// bits, no parity, 1 stop bit.
struct BaudOption {
    int option;            // 1 "Option1", 2 "Option2", 3 "Option3"
    int rate;              // bits a second
    const char* caption;   // also the first four characters of the settings
    const char* settings;
};

inline constexpr std::array<BaudOption, 3> kBaudOptions{{
    {1, 2400, "2400", "2400,N,8,1"},
    {2, 4800, "4800", "4800,N,8,1"},
    {3, 9600, "9600", "9600,N,8,1"},
}};

// What the program starts with.
inline constexpr const BaudOption& kDefaultBaud = kBaudOptions[2];

// The option whose caption the settings string begins with, 0 for none.
int baudOptionForSettings(const QString& settings);
// The entry for option 1..3; nullptr for any other number.
const BaudOption* baudOption(int option);
// The entry for a rate in bits a second; nullptr for a rate not offered.
const BaudOption* baudOptionForRate(int rate);
// The rates offered, for a message: "2400, 4800 or 9600".
QString baudRatesText();
