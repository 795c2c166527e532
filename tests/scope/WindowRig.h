#pragma once

// A ZOLT Scope window on settings of its own (a temporary file), sampling
// channels 0 to 6 and the digital lines with the given pause, shown at the
// size it opens with.

#include "scope/ScopeWindow.h"

#include <QSettings>
#include <QTemporaryDir>
#include <memory>

namespace scopetest {

struct WindowRig {
    QTemporaryDir dir;
    QSettings settings{dir.filePath(QStringLiteral("scope.conf")), QSettings::IniFormat};
    std::unique_ptr<scope::ScopeWindow> window;

    explicit WindowRig(int pauseMs)
    {
        settings.setValue(QStringLiteral("acquisition/topChannel"), 6);
        settings.setValue(QStringLiteral("acquisition/digital"), true);
        settings.setValue(QStringLiteral("acquisition/pauseMs"), pauseMs);
        window = std::make_unique<scope::ScopeWindow>(settings);
        window->resize(scope::ScopeWindow::kDefaultSize);
        window->show();
    }
};

} // namespace scopetest
