#pragma once

// A part of ZOLT Scope's window that keeps its own choices between runs,
// under a group of its own in the settings file, and follows the session's
// state (what can be changed while sampling or recording).

#include <QSettings>
#include <QString>

namespace scope {

class ScopeSession;

class ScopePanel {
public:
    // group: the settings file's group of this panel ("source", "chart"),
    // or empty for a panel that keeps groups of its own.
    explicit ScopePanel(QString group)
        : m_group(std::move(group))
    {
    }
    virtual ~ScopePanel() = default;
    ScopePanel(const ScopePanel&) = delete;
    ScopePanel& operator=(const ScopePanel&) = delete;

    void restore(QSettings& settings)
    {
        if (!m_group.isEmpty())
            settings.beginGroup(m_group);
        load(settings);
        if (!m_group.isEmpty())
            settings.endGroup();
    }
    void keep(QSettings& settings) const
    {
        if (!m_group.isEmpty())
            settings.beginGroup(m_group);
        save(settings);
        if (!m_group.isEmpty())
            settings.endGroup();
    }
    virtual void follow(const ScopeSession& session) = 0;

protected:
    virtual void load(QSettings& settings) = 0;
    virtual void save(QSettings& settings) const = 0;

private:
    QString m_group;
};

} // namespace scope
