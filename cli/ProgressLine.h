#pragma once
// The progress line of quillon-find: a sink for the search worker that keeps a snapshot of what
// the messages report, and a thread that redraws one line on standard error a few times a second
// (also while the pairing phase sends nothing), from those messages and from the books of the
// run's counting file system.
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>

#include "cli/CountingFileSystem.h"
#include "engine/Catalogue.h"
#include "engine/EngineSink.h"
#include "engine/StopWatch.h"

class CProgressLine : public IEngineSink {
public:
    // Everything one line shows.
    struct SState {
        ESearchState phase = ESearchState::Scanning;
        uint32_t elapsedMs = 0;
        // Scanning: files listed so far, and the folder being listed.
        uint64_t listedFiles = 0;
        std::u16string folder;
        // Grouping: files examined out of those listed, and the file last reported.
        uint32_t examined = 0;
        uint32_t files = 0;
        std::u16string path;
        // Pairing: files and bytes fully digested out of those to compare, and the last file.
        uint64_t pairedFiles = 0;
        uint64_t pairFilesToDo = 0;
        uint64_t pairedBytes = 0;
        uint64_t pairBytesToDo = 0;
        std::u16string file;
    };

    // `draw`: whether to draw at all (a terminal, or asked for) on `err`. The width is read from
    // the terminal when there is one, else 80 columns. `files` is the file system the run uses;
    // it must outlive this object.
    CProgressLine(bool draw, FILE* err, CCountingFileSystem& files);
    ~CProgressLine() override;

    // Worker thread: copies the grouping counters and path the message reports, and notes the
    // end of the run.
    void SendMessage(unsigned message) override;

    // Starts the stopwatch, draws the first line and starts the redrawing thread. Call once,
    // before the search.
    void Start();
    // Stops redrawing and erases the line. Call once, after the search.
    void Finish();

    const CStopWatch& StopWatch() const { return m_stopWatch; }

    // The line for a state, at most `width` columns (the path loses its middle first). Control
    // characters and bytes that are not UTF-8 in the path show as '?', so a name never reaches
    // the terminal as a command. Any thread.
    static std::string Compose(const SState& state, size_t width);

    // Elapsed time as "HH:MM:SS.mmm" with the milliseconds in three digits (1009 ms ->
    // "00:00:01.009"); the hours are not wrapped. Any thread.
    static std::string FormatElapsed(uint32_t ms);

private:
    void RedrawLoop();
    void Draw();

    const bool m_draw;
    FILE* const m_err;
    CCountingFileSystem& m_files;
    size_t m_width = 80;
    CStopWatch m_stopWatch;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_finished = false;
    bool m_searchDone = false;
    uint32_t m_fileCount = 0;
    uint32_t m_examined = 0;
    std::u16string m_path;
    std::thread m_thread;
};
