#pragma once
// The placement of a top-level window as eight numbers: its normal (restored) rectangle, its
// show state, flags and minimised position, and its text form "%d,%d,%d,%d,%d,%d,%d,%d".
//
// On this desktop: the normal rectangle is the client-area geometry in virtual-desktop pixels
// (left, top, right, bottom with right and bottom exclusive), i.e. QWidget::normalGeometry();
// the show state is 1 (normal), 2 (minimised) or 3 (maximised); flag 2 means "restores to
// maximised"; the minimised position is unknown to the toolkit and kept as -1, -1. Window thread
// only.
#include <QRect>

#include <optional>
#include <span>
#include <string>
#include <string_view>

class QWidget;

class CWindowPlacement {
public:
    static constexpr int SW_SHOWNORMAL = 1;
    static constexpr int SW_SHOWMINIMIZED = 2;
    static constexpr int SW_SHOWMAXIMIZED = 3;
    static constexpr int WPF_RESTORETOMAXIMIZED = 2;

    int left = 0, top = 0, right = 0, bottom = 0;
    int showCmd = SW_SHOWNORMAL;
    int flags = 0;
    int minX = -1, minY = -1;

    // The window's current placement.
    static CWindowPlacement Get(const QWidget& window);

    // Where a window with the normal rectangle `normal` shows whole on `screens` (their available
    // areas). A rectangle whose four corners all lie on screens is returned as it is (also across
    // two screens side by side). Any other (its monitor was unplugged, it was stored on a screen
    // of another scale, or moved partly away) goes wholly onto the screen that shows most of it,
    // or the nearest one when none shows any: moved as little as possible, keeping its size where
    // that fits the screen and shrunk to the screen otherwise, so that no control of the window
    // lies off the screens. No screens: unchanged.
    static QRect KeepOnScreens(const QRect& normal, std::span<const QRect> screens);

    // Gives the window the normal rectangle (ClampedRect of the virtual desktop first) and state.
    // A maximised state (or a minimised one that restores to maximised) maximises the window;
    // every other state shows it normally, so a window closed while minimised opens where the
    // user can see it. A rectangle that does not lie wholly on the screens of today is moved
    // (and shrunk, down to the window's minimum size) onto one of them (KeepOnScreens).
    void Apply(QWidget& window) const;

    // The normal rectangle as the screens can show it, for any stored numbers: width and height
    // between 1 and the desktop's, and a position from just off the desktop's left (top) edge
    // to just off its right (bottom) edge (KeepOnScreens then brings it onto a screen). An empty
    // desktop stands for one of 32767 pixels square at the origin.
    QRect ClampedRect(const QRect& desktop) const;

    // The eight numbers separated by commas.
    std::u16string ToText() const;

    // Reads the eight numbers the way "%d,%d,..." scans them (blanks before a number are
    // skipped, a sign is allowed). Returns nothing unless all eight were read.
    static std::optional<CWindowPlacement> FromText(std::u16string_view text);
};
