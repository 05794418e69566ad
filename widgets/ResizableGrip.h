#pragma once
// Companion of a resizable window: owns its size grip and a show count (the grip is visible
// while the count is above 0). Window thread only.
class QWidget;
class CSizeGrip;

class CResizableGrip {
public:
    virtual ~CResizableGrip();

    // The grip, nullptr before CreateSizeGrip.
    CSizeGrip* SizeGrip() const { return m_pSizeGrip; }

protected:
    virtual QWidget* GetResizableWnd() const = 0;

    // Creates the grip as a child of the window and places it in the bottom-right corner. A
    // top-level window starts with a count of 1, contributed by the window itself.
    void CreateSizeGrip();

    // The window's own contribution to the count: added when it had none, taken back when it
    // had one.
    void ShowSizeGrip();
    void HideSizeGrip();

    // Puts the grip in the bottom-right corner of the client area, on top of its siblings, shown
    // or hidden by the count.
    void UpdateSizeGrip();

private:
    CSizeGrip* m_pSizeGrip = nullptr;  // a child of the window, deleted with it
    int m_nShowCount = 0;
    bool m_bOwnContribution = false;
};
