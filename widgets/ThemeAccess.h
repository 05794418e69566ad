#pragma once
// Themed drawing. The desktop's look is the running Qt style; the application counts as themed
// unless it runs the plain "windows" style (started with `-style windows`), which is the classic
// look that our own code draws pixel for pixel. The state is asked at every call, so a style
// change takes effect at the next drawing. Window thread only.
#include <QRect>

#include <cstdint>
#include <string_view>

class QPainter;
class QWidget;

struct ThemeData;
using HTHEME = ThemeData*;
using HRESULT = int32_t;

constexpr HRESULT S_OK = 0;
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);

// Parts of the "TOOLBAR" theme class.
// TP_SEPARATOR separates the buttons of a horizontal toolbar: a vertical line, drawn in an area
// taller than wide. TP_SEPARATORVERT separates those of a vertical toolbar: a horizontal line.
constexpr int TP_SEPARATOR = 5;
constexpr int TP_SEPARATORVERT = 6;

// True when a GUI application runs a style other than the plain "windows" one.
bool IsAppThemed();

// Theme data of the window for the class list (only "TOOLBAR" is known); nullptr when the
// application is not themed or the class is unknown. Release it with CloseThemeData.
HTHEME OpenThemeData(QWidget* window, std::u16string_view classList);

// Draws a part of the theme into `rect` (clipped to `clip` when given). E_FAIL for a null theme
// or an unknown part.
HRESULT DrawThemeBackground(HTHEME theme, QPainter* painter, int partId, int stateId, const QRect& rect, const QRect* clip);

// Releases theme data; E_FAIL for a null theme.
HRESULT CloseThemeData(HTHEME theme);

// Start-up state of the themed drawing of the menu buttons: 1 when themed drawing may be used.
// Initially 0; set once by LoadThemeEntryPoints.
extern int32_t g_themeActive;

// Decides g_themeActive from the running style. Called once at start-up.
void LoadThemeEntryPoints();
