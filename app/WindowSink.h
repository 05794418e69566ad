#pragma once
// The engine's sink for a window: carries each message the search worker sends to a handler that
// runs on the window's thread, and returns only when that handler has returned, so the worker
// reads nothing the handler is still writing.
//
// Threads: the sink is made and destroyed on the window thread, which owns the receiver.
// SendMessage is called on the worker thread and then waits for the window thread's event loop;
// that loop must keep running (a modal loop, a dropped menu or a nested dialog all run it) until
// the worker has sent its last message. Called on the window thread itself, SendMessage runs the
// handler at once instead: a blocking call into one's own thread would never return.
//
// Scan progress (a message per folder entered) reaches the handler at most once every
// kScanProgressMs: a round trip to the window costs more than listing a small folder, and the
// panes are not painted more often anyway. The first of a run always gets through; every other
// message always does.
#include <QObject>

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

#include "engine/EngineSink.h"

class CWindowSink : public IEngineSink {
public:
    // Messages go to `handler`, run in the thread of `receiver`. The receiver must outlive every
    // send: its owner waits for the worker's end before it goes.
    CWindowSink(QObject* receiver, std::function<void(unsigned)> handler);

    void SendMessage(unsigned message) override;

    static constexpr uint32_t kScanProgressMs = 10;

private:
    QObject* m_receiver;
    std::function<void(unsigned)> m_handler;
    std::condition_variable m_handled;
    bool m_bHandled = false;  // the message in flight has been handled
    // Worker side only: when scan progress last got through in this run.
    bool m_bScanShown = false;
    uint32_t m_lastScanTick = 0;
};
