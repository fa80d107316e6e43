#include "logic/eventpump.h"

#include <QCoreApplication>

EventPump::EventPump(qint64 intervalMs)
    : m_intervalMs(intervalMs) {
    m_sinceLastPump.start();
}

void EventPump::operator()() {
    if (m_sinceLastPump.elapsed() < m_intervalMs) {
        return;
    }
    QCoreApplication::processEvents();
    ++m_pumpCount;
    // Counted from the end of this turn: a turn that ran a long handler must not be followed by
    // another one straight away.
    m_sinceLastPump.restart();
}
