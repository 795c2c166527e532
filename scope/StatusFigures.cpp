#include "scope/StatusFigures.h"

#include "scope/ScopeSession.h"

#include <QLabel>
#include <QLocale>
#include <QStatusBar>

namespace scope {

StatusFigures::StatusFigures(QStatusBar& bar)
    : m_rate(new QLabel)
    , m_missed(new QLabel)
    , m_port(new QLabel)
    , m_kept(new QLabel)
{
    m_rate->setAccessibleName(QStringLiteral("Scans a second"));
    m_missed->setAccessibleName(QStringLiteral("Replies missed"));
    m_port->setAccessibleName(QStringLiteral("Port state"));
    m_kept->setAccessibleName(QStringLiteral("Scans kept"));
    for (QLabel* l : {m_rate, m_missed, m_port, m_kept})
        bar.addPermanentWidget(l);
}

void StatusFigures::follow(const ScopeSession& session)
{
    const ScanSource* source = session.source();
    const double rate = session.rate();
    const double limit = source ? source->limitScansPerSecond(session.settings()) : 0;
    m_rate->setText(limit > 0 ? QStringLiteral("%1 scans/s of %2 the line allows").arg(rate, 0, 'f', 1).arg(limit, 0, 'f', 1)
                              : QStringLiteral("%1 scans/s").arg(rate, 0, 'f', 1));
    m_missed->setText(QStringLiteral("%1 replies missed").arg(source ? source->missedReplies() : 0));
    const QString& problem = session.problem();
    if (!source)
        m_port->setText(problem.isEmpty() ? QStringLiteral("not connected") : QStringLiteral("not connected: ") + problem);
    else if (!session.waitingFor().isEmpty())
        m_port->setText(QStringLiteral("%1: lost, waiting").arg(session.waitingFor()));
    else
        m_port->setText(QStringLiteral("%1: %2").arg(source->label(), session.sampling() ? QStringLiteral("sampling") : QStringLiteral("open")));
    const ScanStore& store = session.store();
    QString kept = QStringLiteral("%1 scans kept").arg(QLocale::system().toString(store.size()));
    if (store.dropped() > 0)
        kept += QStringLiteral(" (limit reached: the oldest %1 dropped)").arg(QLocale::system().toString(store.dropped()));
    m_kept->setText(kept);
}

QString StatusFigures::text() const
{
    return QStringList{m_rate->text(), m_missed->text(), m_port->text(), m_kept->text()}.join(QLatin1String(" | "));
}

} // namespace scope
