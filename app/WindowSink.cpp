#include "app/WindowSink.h"

#include <QMetaObject>
#include <QThread>

CWindowSink::CWindowSink(QObject* receiver, std::function<void(unsigned)> handler)
    : m_receiver(receiver), m_handler(std::move(handler))
{
}

void CWindowSink::SendMessage(unsigned message)
{
    if (QThread::currentThread() == m_receiver->thread()) {
        m_handler(message);
        return;
    }
    // The hand-over is guarded by our own mutex on both sides, so that everything the worker
    // wrote before sending happens before the handler, and everything the handler wrote happens
    // before the worker goes on, also for tools that cannot see inside Qt's event queue.
    std::unique_lock<std::mutex> lock(m_mutex);
    m_bHandled = false;
    lock.unlock();
    QMetaObject::invokeMethod(
        m_receiver,
        [this, message] {
            {
                std::lock_guard<std::mutex> start(m_mutex);
            }
            m_handler(message);
            std::lock_guard<std::mutex> end(m_mutex);
            m_bHandled = true;
            m_handled.notify_all();
        },
        Qt::QueuedConnection);
    lock.lock();
    m_handled.wait(lock, [this] { return m_bHandled; });
}
