#pragma once

// What the About box needs of the operating system: the registry through its
// 8-bit-text calls, a file-existence test, starting a program, and a message
// box with only an OK button. Where there is no registry every lookup fails.

#include <QByteArray>
#include <QString>
#include <cstdint>

class QWidget;

// A registry key handle; the predefined roots keep their 32-bit values.
using RegKey = std::uintptr_t;

class SystemTools {
public:
    static constexpr RegKey kHKeyLocalMachine = 0x80000002u;
    static constexpr std::uint32_t kKeyAllAccess = 0x2003F;
    static constexpr std::int32_t kErrorSuccess = 0;
    static constexpr std::int32_t kErrorFileNotFound = 2;
    static constexpr std::int32_t kErrorMoreData = 234;
    static constexpr std::uint32_t kRegSz = 1;     // string
    static constexpr std::uint32_t kRegDword = 4;  // 32-bit number, least significant byte first

    virtual ~SystemTools() = default;

    // Each returns 0 on success, as the registry calls do.
    virtual std::int32_t regOpenKeyEx(RegKey root, const QByteArray& subKey, std::uint32_t options,
                                      std::uint32_t access, RegKey* result) = 0;
    // Reads the value into data, which holds *size bytes; on success *type is
    // the value's type and *size the number of bytes written. A value that does
    // not fit fails (kErrorMoreData).
    virtual std::int32_t regQueryValueEx(RegKey key, const QByteArray& valueName, std::uint32_t* type,
                                         unsigned char* data, std::uint32_t* size) = 0;
    virtual std::int32_t regCloseKey(RegKey key) = 0;

    virtual bool fileExists(const QString& path) = 0;
    // Starts the program in a normal window that takes the focus.
    virtual bool startProgram(const QString& path) = 0;
    // A message box with only an OK button; returns when it is dismissed.
    virtual void showMessage(QWidget* parent, const QString& title, const QString& text) = 0;
};

// The operating system's tools: the registry on Windows, none elsewhere.
SystemTools& platformSystemTools();
