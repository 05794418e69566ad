#pragma once
// Companion of a resizable window: stores its placement as the eight-number text of
// CWindowPlacement in the profile and restores it. Window thread only.
#include <string_view>

#include "widgets/ResizableState.h"

class QWidget;

class CResizableWndState : public CResizableState {
public:
    ~CResizableWndState() override;

protected:
    virtual QWidget* GetResizableWnd() const = 0;

    // Writes "<name>WindowPlacement". With `rectOnly` the state, flags and minimised position are
    // written as 1, 0, 0, 0. False when the profile could not be written.
    bool StorePlacement(std::u16string_view name, bool rectOnly);

    // Reads "<name>WindowPlacement" and applies it when all eight numbers are there; with
    // `rectOnly` only the rectangle is applied. False when nothing was applied.
    bool RestorePlacement(std::u16string_view name, bool rectOnly);
};
