#pragma once

// A part of ZOLT Scope's window that keeps its own choices between runs,
// under a group of its own in the settings file, and follows the session's
// state (what can be changed while sampling or recording).

#include <QSettings>
#include <QString>

namespace scope {

class ScopeSession;

class Panel {
public:
    // group: the settings file's group of this panel ("source", "chart").
    explicit Panel(QString group)
        : m_group(std::move(group))
    {
    }
    virtual ~Panel() = default;
    Panel(const Panel&) = delete;
    Panel& operator=(const Panel&) = delete;

    void restore(QSettings& settings)
    {
        settings.beginGroup(m_group);
        load(settings);
        settings.endGroup();
    }
    void keep(QSettings& settings) const
    {
        settings.beginGroup(m_group);
        save(settings);
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
