#pragma once
// Internal to the orchestrator's sources.

#include "exchange/KQImportExportMgr.h"

#include <cmath>

// Batches what a job reports: delivered contacts wait until the next report, and a report reaches
// the delegate at most once per whole percent (and always at 100).
class KQImportExportMgr::Reporter
{
public:
    Reporter(KQImportExportMgr* manager, QString path) : m_manager(manager), m_path(std::move(path)) {}

    void add(const KQContactHelperPtr& contact) { m_pending.push_back(contact); }

    // True when the job is to stop.
    bool report(double percent, bool force = false)
    {
        const int whole = static_cast<int>(std::floor(percent));
        if (!force && whole == m_lastWhole && percent < 100.0)
            return m_stop;
        m_lastWhole = whole;
        flush();
        m_stop = m_manager->reportProgress(percent, m_path);
        return m_stop;
    }

    void flush()
    {
        if (m_pending.empty())
            return;
        m_manager->deliver(m_pending);
        m_pending.clear();
    }

    bool stopped() const { return m_stop; }

private:
    KQImportExportMgr* m_manager;
    QString m_path;
    KQContactHelperList m_pending;
    int m_lastWhole = -1;
    bool m_stop = false;
};
