#pragma once

// The figures at the right of ZOLT Scope's status bar: scans a second (and
// what the line allows), replies missed, the source's state and the scans
// kept.

#include <QString>

class QLabel;
class QStatusBar;

namespace scope {

class ScopeSession;

class StatusFigures {
public:
    // Adds the figures to bar, which owns them.
    explicit StatusFigures(QStatusBar& bar);

    void follow(const ScopeSession& session);
    // The figures in one line, as shown.
    QString text() const;

private:
    QLabel* m_rate = nullptr;
    QLabel* m_missed = nullptr;
    QLabel* m_port = nullptr;
    QLabel* m_kept = nullptr;
};

} // namespace scope
