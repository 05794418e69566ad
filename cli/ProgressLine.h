#pragma once
// The progress line of quillon-find: a sink for the search worker that keeps a snapshot of what
// the messages report, and a thread that redraws one line on standard error a few times a second
// (also while the pairing phase sends nothing).
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>

#include "engine/EngineSink.h"
#include "engine/StopWatch.h"

class CProgressLine : public IEngineSink {
public:
    // `draw`: whether to draw at all (a terminal, or asked for) on `err`. The width is read from
    // the terminal when there is one, else 80 columns.
    CProgressLine(bool draw, FILE* err);
    ~CProgressLine() override;

    // Worker thread: copies the counters and the current path the message reports.
    void SendMessage(unsigned message) override;

    // Starts the redrawing thread and the stopwatch. Call once, before the search.
    void Start();
    // Stops redrawing and erases the line. Call once, after the search.
    void Finish();

    const CStopWatch& StopWatch() const { return m_stopWatch; }

    // The line for a state, shortened to `width` columns (the path loses its middle first).
    static std::string Compose(const char* phase, uint32_t files, uint32_t examined, const std::u16string& path,
                               const std::u16string& elapsed, size_t width);

private:
    void RedrawLoop();
    void Draw();

    const bool m_draw;
    FILE* const m_err;
    size_t m_width = 80;
    CStopWatch m_stopWatch;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_finished = false;
    uint32_t m_files = 0;
    uint32_t m_examined = 0;
    std::u16string m_path;
    std::thread m_thread;
};
