#include "app/WindowSink.h"

#include <QMetaObject>
#include <QThread>

CWindowSink::CWindowSink(QObject* receiver, std::function<void(unsigned)> handler)
    : m_receiver(receiver), m_handler(std::move(handler))
{
}

void CWindowSink::SendMessage(unsigned message)
{
    QObject* receiver = m_receiver.data();
    if (!receiver)
        return;
    if (QThread::currentThread() == receiver->thread()) {
        m_handler(message);
        return;
    }
    // The queued call waits on the worker until the window thread has run it. Should the receiver
    // be destroyed with the call still queued, Qt drops the call and releases the wait.
    QMetaObject::invokeMethod(
        receiver, [this, message] { m_handler(message); }, Qt::BlockingQueuedConnection);
}
