#pragma once
// Companion of a resizable window: the optional minimum tracking size. The size is a client
// size; once set it is handed to the window at once, which then refuses to be made smaller.
// Window thread only.
#include <QSize>

class QWidget;

class CResizableMinMax {
public:
    virtual ~CResizableMinMax();

    bool HasMinTrackSize() const { return m_bUseMinTrack; }
    QSize MinTrackSize() const { return m_minTrackSize; }

protected:
    virtual QWidget* GetResizableWnd() const = 0;

    void SetMinTrackSize(const QSize& size);

    // Hands the minimum size, if set, to the window.
    void ApplyMinMax();

private:
    bool m_bUseMinTrack = false;
    QSize m_minTrackSize;
};
