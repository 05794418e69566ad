#include "widgets/WindowPlacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "platform/DecimalScan.h"
#include "platform/Utf16Text.h"

namespace {

// One "%d" at `pos`: blanks, an optional sign, at least one digit. Values beyond the range of
// int are clamped.
bool ScanInt(std::u16string_view text, size_t& pos, int& value)
{
    const std::optional<DecimalScan> number = ScanDecimal(text, pos);
    if (!number)
        return false;
    constexpr uint64_t kMaxMagnitude = INT_MAX;
    if (!number->negative)
        value = number->magnitude > kMaxMagnitude ? INT_MAX : static_cast<int>(number->magnitude);
    else
        value = number->magnitude > kMaxMagnitude ? INT_MIN : -static_cast<int>(number->magnitude);
    return true;
}

int ClampToInt(int64_t value)
{
    return static_cast<int>(std::clamp<int64_t>(value, INT_MIN, INT_MAX));
}

}  // namespace

CWindowPlacement CWindowPlacement::Get(const QWidget& window)
{
    Qt::WindowStates state = window.windowState();
    QRect normal = (state & (Qt::WindowMaximized | Qt::WindowFullScreen)) ? window.normalGeometry() : window.geometry();
    if (normal.isEmpty())
        normal = window.geometry();
    CWindowPlacement placement;
    placement.left = normal.left();
    placement.top = normal.top();
    placement.right = ClampToInt(int64_t(normal.left()) + normal.width());
    placement.bottom = ClampToInt(int64_t(normal.top()) + normal.height());
    if (state & Qt::WindowMinimized)
        placement.showCmd = SW_SHOWMINIMIZED;
    else if (state & Qt::WindowMaximized)
        placement.showCmd = SW_SHOWMAXIMIZED;
    if ((state & Qt::WindowMinimized) && (state & Qt::WindowMaximized))
        placement.flags = WPF_RESTORETOMAXIMIZED;
    return placement;
}

QRect CWindowPlacement::ClampedRect(const QRect& desktop) const
{
    // 64 bits: the stored numbers may be anything, and right - left of two ints is not an int.
    const int64_t desktopWidth = desktop.isEmpty() ? INT16_MAX : desktop.width();
    const int64_t desktopHeight = desktop.isEmpty() ? INT16_MAX : desktop.height();
    const int64_t width = std::clamp<int64_t>(int64_t(right) - left, 1, desktopWidth);
    const int64_t height = std::clamp<int64_t>(int64_t(bottom) - top, 1, desktopHeight);
    // From just beyond the left or top edge of the desktop to just beyond its right or bottom
    // edge: a window that lies off the screens stays off them, within numbers the toolkit can
    // add up.
    const int64_t x = std::clamp<int64_t>(left, int64_t(desktop.x()) - width, int64_t(desktop.x()) + desktopWidth);
    const int64_t y = std::clamp<int64_t>(top, int64_t(desktop.y()) - height, int64_t(desktop.y()) + desktopHeight);
    return QRect(int(x), int(y), int(width), int(height));
}

void CWindowPlacement::Apply(QWidget& window) const
{
    // First within numbers the toolkit can add up, then onto a screen that exists today.
    const QScreen* primary = QGuiApplication::primaryScreen();
    const QRect clamped = ClampedRect(primary ? primary->virtualGeometry() : QRect());
    std::vector<QRect> screens;
    for (const QScreen* screen : QGuiApplication::screens())
        screens.push_back(screen->availableGeometry());
    window.setGeometry(KeepOnScreens(clamped, screens));
    const bool maximized = showCmd == SW_SHOWMAXIMIZED || (showCmd == SW_SHOWMINIMIZED && (flags & WPF_RESTORETOMAXIMIZED));
    Qt::WindowStates state = window.windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized);
    window.setWindowState(maximized ? (state | Qt::WindowMaximized) : state);
}

std::u16string CWindowPlacement::ToText() const
{
    char buffer[128];
    std::snprintf(buffer, sizeof buffer, "%d,%d,%d,%d,%d,%d,%d,%d", left, top, right, bottom, showCmd, flags, minX, minY);
    return Utf16(buffer);
}

std::optional<CWindowPlacement> CWindowPlacement::FromText(std::u16string_view text)
{
    int values[8];
    size_t pos = 0;
    for (int i = 0; i < 8; ++i) {
        if (i > 0) {
            if (pos >= text.size() || text[pos] != u',')
                return std::nullopt;
            ++pos;
        }
        if (!ScanInt(text, pos, values[i]))
            return std::nullopt;
    }
    CWindowPlacement placement;
    placement.left = values[0];
    placement.top = values[1];
    placement.right = values[2];
    placement.bottom = values[3];
    placement.showCmd = values[4];
    placement.flags = values[5];
    placement.minX = values[6];
    placement.minY = values[7];
    return placement;
}

namespace {

// Squared distance between two rectangles, 0 when they overlap.
long long DistanceSquared(const QRect& a, const QRect& b)
{
    const long long dx =
        std::max({0LL, static_cast<long long>(b.left()) - a.right(), static_cast<long long>(a.left()) - b.right()});
    const long long dy =
        std::max({0LL, static_cast<long long>(b.top()) - a.bottom(), static_cast<long long>(a.top()) - b.bottom()});
    return dx * dx + dy * dy;
}

// `start` moved as little as possible so that `length` pixels from it fit in [low, low + room).
int ClampInto(int start, int length, int low, int room)
{
    return std::clamp(start, low, low + std::max(0, room - length));
}

}  // namespace

QRect CWindowPlacement::KeepOnScreens(const QRect& normal, std::span<const QRect> screens)
{
    if (screens.empty() || normal.isEmpty())
        return normal;
    auto onAScreen = [&](const QPoint& point) {
        return std::any_of(screens.begin(), screens.end(), [&](const QRect& screen) { return screen.contains(point); });
    };
    if (onAScreen(normal.topLeft()) && onAScreen(normal.topRight()) && onAScreen(normal.bottomLeft()) &&
        onAScreen(normal.bottomRight()))
        return normal;
    // The screen that shows most of the window, else the nearest one.
    const QRect* target = nullptr;
    long long shownMost = 0;
    for (const QRect& screen : screens) {
        const QRect shown = screen.intersected(normal);
        const long long area = shown.isEmpty() ? 0 : static_cast<long long>(shown.width()) * shown.height();
        if (area > shownMost) {
            shownMost = area;
            target = &screen;
        }
    }
    if (!target) {
        target = &screens.front();
        for (const QRect& screen : screens) {
            if (DistanceSquared(normal, screen) < DistanceSquared(normal, *target))
                target = &screen;
        }
    }
    const int width = std::min(normal.width(), target->width());
    const int height = std::min(normal.height(), target->height());
    return QRect(ClampInto(normal.left(), width, target->left(), target->width()),
                 ClampInto(normal.top(), height, target->top(), target->height()), width, height);
}
