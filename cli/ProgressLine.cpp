#include "cli/ProgressLine.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "cli/RowText.h"
#include "engine/Catalogue.h"
#include "platform/ByteSize.h"
#include "platform/Utf16Text.h"

namespace {

// Columns a UTF-8 text takes, counting each character as one.
size_t Columns(const std::string& text)
{
    size_t columns = 0;
    for (unsigned char c : text)
        columns += (c & 0xC0) != 0x80;
    return columns;
}

// The path shortened to `width` characters by replacing its middle with "...".
std::u16string ShortenMiddle(const std::u16string& path, size_t width)
{
    if (path.size() <= width)
        return path;
    if (width < 5)
        return std::u16string();
    const size_t keep = width - 3;
    const size_t head = keep / 3;
    return path.substr(0, head) + u"..." + path.substr(path.size() - (keep - head));
}

// Controls would be taken by the terminal as commands or would reverse the line; a surrogate
// stands for a byte that is not UTF-8. Each shows as '?'.
bool ShownAsQuestionMark(char16_t unit)
{
    return IsTerminalControl(unit) || IsSurrogate(unit);
}

std::string Bytes(uint64_t bytes)
{
    return Utf8(FormatByteSize(bytes));
}

unsigned Percent(uint64_t done, uint64_t total)
{
    return total == 0 ? 0 : static_cast<unsigned>(done >= total ? 100 : done * 100 / total);
}

}  // namespace

CProgressLine::CProgressLine(bool draw, FILE* err, CCountingFileSystem& files) : m_draw(draw), m_err(err), m_files(files)
{
    winsize size{};
    if (ioctl(fileno(err), TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        m_width = size.ws_col;
}

CProgressLine::~CProgressLine()
{
    if (m_thread.joinable())
        Finish();
}

void CProgressLine::SendMessage(unsigned message)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_fileCount = g_fileCount;
    m_examined = g_progressCount;
    if (message == WMU_COMPAREPROGRESS)
        m_path = g_currentPath;
    if (message == WMU_SEARCHDONE)
        m_searchDone = true;
}

void CProgressLine::Start()
{
    m_stopWatch.Start();
    if (!m_draw)
        return;
    Draw();  // the line is there from the start, however short the run
    m_thread = std::thread(&CProgressLine::RedrawLoop, this);
}

void CProgressLine::Finish()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_finished = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable()) {
        m_thread.join();
        std::fputs("\r\033[K", m_err);
        std::fflush(m_err);
    }
    m_stopWatch.Tick();
}

void CProgressLine::RedrawLoop()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_wake.wait_for(lock, std::chrono::milliseconds(200), [this] { return m_finished; })) {
        lock.unlock();
        Draw();
        lock.lock();
    }
}

void CProgressLine::Draw()
{
    CStopWatch now = m_stopWatch;
    now.Tick();
    const CCountingFileSystem::SProgress progress = m_files.Progress();
    SState state;
    state.phase = g_searchState.load();
    state.elapsedMs = now.ElapsedMs();
    state.listedFiles = progress.listedFiles;
    state.folder = progress.folder;
    state.pairedFiles = progress.pairedFiles;
    state.pairFilesToDo = progress.pairFilesToDo;
    state.pairedBytes = progress.pairedBytes;
    state.pairBytesToDo = progress.pairBytesToDo;
    state.file = progress.file;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        // The worker is idle before it starts and again after its last message.
        if (state.phase == ESearchState::Idle)
            state.phase = m_searchDone ? ESearchState::Finishing : ESearchState::Scanning;
        state.examined = m_examined;
        state.files = m_fileCount;
        state.path = m_path;
    }
    const std::string line = Compose(state, m_width - 1);
    std::fprintf(m_err, "\r\033[K%s", line.c_str());
    std::fflush(m_err);
}

std::string CProgressLine::Compose(const SState& state, size_t width)
{
    char counts[160];
    const std::u16string* path = nullptr;
    switch (state.phase) {
    case ESearchState::Idle:
    case ESearchState::Scanning:
        std::snprintf(counts, sizeof counts, "Scanning  Files: %llu", static_cast<unsigned long long>(state.listedFiles));
        path = &state.folder;
        break;
    case ESearchState::Grouping:
        if (state.files == 0)
            std::snprintf(counts, sizeof counts, "Comparing  Files: 0");
        else
            std::snprintf(counts, sizeof counts, "Comparing  %u / %u (%u%%)", state.examined, state.files,
                          Percent(state.examined, state.files));
        path = &state.path;
        break;
    case ESearchState::Pairing: {
        // The counts of files to do come from the grouping phase's reads: never show more done.
        const uint64_t files = std::min(state.pairedFiles, state.pairFilesToDo);
        const uint64_t bytes = std::min(state.pairedBytes, state.pairBytesToDo);
        std::snprintf(counts, sizeof counts, "Pairing  %llu / %llu files  %s / %s (%u%%)", static_cast<unsigned long long>(files),
                      static_cast<unsigned long long>(state.pairFilesToDo), Bytes(bytes).c_str(),
                      Bytes(state.pairBytesToDo).c_str(),
                      state.pairBytesToDo != 0 ? Percent(bytes, state.pairBytesToDo) : Percent(files, state.pairFilesToDo));
        path = &state.file;
        break;
    }
    case ESearchState::Finishing:
        std::snprintf(counts, sizeof counts, "Finishing");
        break;
    }
    std::string line = std::string(counts) + "  " + FormatElapsed(state.elapsedMs);
    const size_t used = Columns(line);
    if (path && !path->empty() && used + 2 < width) {
        std::u16string shown = ShortenMiddle(*path, width - used - 2);
        std::replace_if(shown.begin(), shown.end(), ShownAsQuestionMark, u'?');
        line += "  " + Utf8(shown);
    }
    // Tiny terminals: cut the counts themselves. Popping the continuation bytes of a character
    // does not change the count, so the cut never falls inside a character.
    while (Columns(line) > width)
        line.pop_back();
    return line;
}

std::string CProgressLine::FormatElapsed(uint32_t ms)
{
    char text[48];
    std::snprintf(text, sizeof text, "%02u:%02u:%02u.%03u", ms / 3600000, (ms / 60000) % 60, (ms / 1000) % 60, ms % 1000);
    return text;
}
