#include "app/WindowSink.h"

#include <QMetaObject>
#include <QThread>

#include "platform/TickCount.h"

namespace {

// Guards every hand-over between a worker and a window. One object for all sinks: the handler
// must take it before it reads anything of the call, its own captures included.
std::mutex s_handOver;

}  // namespace

CWindowSink::CWindowSink(QObject* receiver, std::function<void(unsigned)> handler)
    : m_receiver(receiver), m_handler(std::move(handler))
{
}

void CWindowSink::SendMessage(unsigned message)
{
    if (message == WMU_SCANPROGRESS) {
        const uint32_t now = GetTickCount();
        if (m_bScanShown && TicksBetween(m_lastScanTick, now) < kScanProgressMs)
            return;
        m_bScanShown = true;
        m_lastScanTick = now;
    } else if (message == WMU_SEARCHDONE) {
        m_bScanShown = false;
    }
    if (QThread::currentThread() == m_receiver->thread()) {
        m_handler(message);
        return;
    }
    // The hand-over is guarded by a mutex of ours on both sides: the call is queued under the lock
    // and the handler takes the lock before it starts, so everything the worker did before
    // sending happens before the handler, and everything the handler did happens before the
    // worker goes on, also for tools that cannot see inside Qt's event queue.
    std::unique_lock<std::mutex> lock(s_handOver);
    m_bHandled = false;
    QMetaObject::invokeMethod(
        m_receiver,
        [this, message] {
            {
                std::lock_guard<std::mutex> start(s_handOver);
            }
            m_handler(message);
            std::lock_guard<std::mutex> end(s_handOver);
            m_bHandled = true;
            m_handled.notify_all();
        },
        Qt::QueuedConnection);
    m_handled.wait(lock, [this] { return m_bHandled; });
}
