#include "platform/SystemTools.h"

#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>

#ifdef Q_OS_WIN
#include <windows.h>
#ifdef _MSC_VER
#pragma comment(lib, "advapi32.lib")
#endif
#endif

namespace {

class DesktopTools : public SystemTools {
public:
    bool fileExists(const QString& path) override
    {
        return !path.isEmpty() && QFileInfo(path).isFile();
    }

    bool startProgram(const QString& path) override
    {
        return !path.isEmpty() && QProcess::startDetached(path, {});
    }

    void showMessage(QWidget* parent, const QString& title, const QString& text) override
    {
        QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, parent);
        box.exec();
    }
};

#ifdef Q_OS_WIN

class WindowsTools : public DesktopTools {
public:
    std::int32_t regOpenKeyEx(RegKey root, const QByteArray& subKey, std::uint32_t options,
                              std::uint32_t access, RegKey* result) override
    {
        HKEY opened = nullptr;
        const LONG status = ::RegOpenKeyExA(toHkey(root), subKey.constData(), options,
                                            static_cast<REGSAM>(access), &opened);
        *result = reinterpret_cast<RegKey>(opened);
        return status;
    }

    std::int32_t regQueryValueEx(RegKey key, const QByteArray& valueName, std::uint32_t* type,
                                 unsigned char* data, std::uint32_t* size) override
    {
        DWORD valueType = 0;
        DWORD bytes = *size;
        const LONG status = ::RegQueryValueExA(toHkey(key), valueName.constData(), nullptr,
                                               &valueType, data, &bytes);
        *type = valueType;
        *size = bytes;
        return status;
    }

    std::int32_t regCloseKey(RegKey key) override
    {
        return ::RegCloseKey(toHkey(key));
    }

private:
    // The predefined roots are sign-extended handle values on 64-bit Windows.
    static HKEY toHkey(RegKey key)
    {
        if (key == kHKeyLocalMachine)
            return HKEY_LOCAL_MACHINE;
        return reinterpret_cast<HKEY>(key);
    }
};

using PlatformTools = WindowsTools;

#else

// No registry: every key is missing.
class NoRegistryTools : public DesktopTools {
public:
    std::int32_t regOpenKeyEx(RegKey, const QByteArray&, std::uint32_t, std::uint32_t,
                              RegKey* result) override
    {
        *result = 0;
        return kErrorFileNotFound;
    }

    std::int32_t regQueryValueEx(RegKey, const QByteArray&, std::uint32_t*, unsigned char*,
                                 std::uint32_t*) override
    {
        return kErrorFileNotFound;
    }

    std::int32_t regCloseKey(RegKey) override { return kErrorSuccess; }
};

using PlatformTools = NoRegistryTools;

#endif

} // namespace

SystemTools& platformSystemTools()
{
    static PlatformTools tools;
    return tools;
}
