#pragma once
// Companion of a resizable window: the optional minimum and maximum tracking sizes. The sizes
// are client sizes; a set constraint is handed to the window at once, which then refuses to be
// resized past it. Window thread only.
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
    void SetMaxTrackSize(const QSize& size);

    // Hands the set constraints to the window.
    void ApplyMinMax();

private:
    bool m_bUseMinTrack = false;
    bool m_bUseMaxTrack = false;
    QSize m_minTrackSize;
    QSize m_maxTrackSize;
};
