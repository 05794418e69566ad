#pragma once
// A dialog the user can resize: it cannot be made smaller than its size when it was created,
// keeps a size grip in the bottom-right corner of its client area, and can remember its
// placement in the profile between runs. Derived dialogs place their controls in OnSize after
// calling this base's OnSize. Window thread only.
#include <string>
#include <string_view>

#include "widgets/Dialog.h"
#include "widgets/ResizableGrip.h"
#include "widgets/ResizableMinMax.h"
#include "widgets/ResizableWndState.h"

class CResizableDialog : public CDialog, public CResizableGrip, public CResizableMinMax, public CResizableWndState {
    Q_OBJECT
public:
    enum SizeType { SizeRestored = 0, SizeMinimized = 1, SizeMaximized = 2 };

    explicit CResizableDialog(int templateId, QWidget* parent = nullptr);
    ~CResizableDialog() override;

protected:
    // Turns placement memory on under `section` (value "<section>WindowPlacement" of the
    // "ResizableState" section) and restores the stored placement at once, wholly on a screen of
    // today; without a stored placement a window larger than its screen shrinks to it. The
    // placement is stored when the window ends.
    void EnablePlacementMemory(std::u16string_view section, bool rectOnly = false);

    // The available area of the window's screen (unbounded without a screen).
    QSize AvailableScreenSize() const;

    QWidget* GetResizableWnd() const override;

    // Creation: the grip and the minimum size (the size at creation, at most the available area
    // of its screen). A window created with a fixed size becomes resizable.
    void OnCreate() override;
    // End of the window: stores the placement when placement memory is on.
    void OnDestroy() override;
    // Base part of a resize: the grip's visibility by the window state, and its place.
    virtual void OnSize(SizeType type, int cx, int cy);

    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    SizeType CurrentSizeType() const;

    std::u16string m_sSection;
    bool m_bEnableSaveRestore = false;
    bool m_bRectOnly = false;
};
