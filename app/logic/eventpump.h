#pragma once

#include <QElapsedTimer>

// The letEventsRun of the long text tools, for windows: pending events run at most once per
// interval, so the window stays responsive while a scan that reports a hundred thousand matches
// does not spend its time in the event loop.
class EventPump {
public:
    static constexpr qint64 kDefaultIntervalMs = 10;

    explicit EventPump(qint64 intervalMs = kDefaultIntervalMs);

    void operator()();

    // How many times events were actually run.
    [[nodiscard]] qint64 pumpCount() const { return m_pumpCount; }

private:
    QElapsedTimer m_sinceLastPump;
    qint64 m_intervalMs;
    qint64 m_pumpCount = 0;
};
