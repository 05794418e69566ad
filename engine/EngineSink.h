#pragma once
// How the search worker reports to its front end: one synchronous call per message. The call
// returns only when the front end has handled the message, so everything the worker wrote before
// sending may be read by the handler while the worker waits.

constexpr unsigned WM_APP_BASE = 0x8000;
constexpr unsigned WMU_SCANPROGRESS = WM_APP_BASE + 6;     // entering a folder; end of the scan
constexpr unsigned WMU_SEARCHDONE = WM_APP_BASE + 7;       // once at the end of every run
constexpr unsigned WMU_COMPAREPROGRESS = WM_APP_BASE + 8;  // every 100 files of the grouping phase

class IEngineSink {
public:
    virtual ~IEngineSink() = default;
    // Called on the worker thread; must not return before the message has been handled.
    virtual void SendMessage(unsigned message) = 0;
};
