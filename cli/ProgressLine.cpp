#include "cli/ProgressLine.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

#include "engine/Catalogue.h"
#include "engine/SearchRun.h"
#include "platform/NativeName.h"
#include "platform/Utf16Text.h"

namespace {

const char* PhaseName(ESearchState state)
{
    switch (state) {
    case ESearchState::Scanning: return "Scanning";
    case ESearchState::Grouping: return "Comparing";
    case ESearchState::Pairing: return "Pairing";
    default: return "Finishing";
    }
}

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

} // namespace

CProgressLine::CProgressLine(bool draw, FILE* err) : m_draw(draw), m_err(err)
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
    m_files = g_fileCount;
    m_examined = g_progressCount;
    if (message == WMU_COMPAREPROGRESS || message == WMU_SCANPROGRESS)
        m_path = g_currentPath;
}

void CProgressLine::Start()
{
    m_stopWatch.Start();
    if (m_draw)
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
    while (!m_finished) {
        lock.unlock();
        Draw();
        lock.lock();
        m_wake.wait_for(lock, std::chrono::milliseconds(200), [this] { return m_finished; });
    }
}

void CProgressLine::Draw()
{
    CStopWatch now = m_stopWatch;
    now.Tick();
    std::string line;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        line = Compose(PhaseName(g_searchState.load()), m_files, m_examined, m_path, now.Format(), m_width - 1);
    }
    std::fprintf(m_err, "\r\033[K%s", line.c_str());
    std::fflush(m_err);
}

std::string CProgressLine::Compose(const char* phase, uint32_t files, uint32_t examined, const std::u16string& path,
                                   const std::u16string& elapsed, size_t width)
{
    char counts[96];
    if (std::string(phase) == "Scanning" || files == 0)
        std::snprintf(counts, sizeof counts, "%s  Files: %u", phase, files);
    else
        std::snprintf(counts, sizeof counts, "%s  %u / %u (%u%%)", phase, examined, files,
                      static_cast<unsigned>(uint64_t{examined} * 100 / files));
    std::string line = std::string(counts) + "  " + Utf8(elapsed);
    const size_t used = Columns(line);
    if (!path.empty() && used + 2 < width) {
        // Names that are not UTF-8 show their bytes as '?', like a terminal would show garbage.
        std::u16string shown = ShortenMiddle(path, width - used - 2);
        for (char16_t& unit : shown)
            if ((unit >= 0xD800 && unit <= 0xDFFF) || unit < 0x20)
                unit = u'?';
        line += "  " + Utf8(shown);
    }
    // Tiny terminals: cut the counts themselves. Popping the continuation bytes of a character
    // does not change the count, so the cut never falls inside a character.
    while (Columns(line) > width)
        line.pop_back();
    return line;
}
