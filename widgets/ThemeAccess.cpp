#include "widgets/ThemeAccess.h"

#include <QApplication>
#include <QPainter>
#include <QPointer>
#include <QStyle>
#include <QStyleOption>
#include <QWidget>

#include "widgets/QtText.h"

int32_t g_themeActive = 0;

struct ThemeData {
    QPointer<QWidget> window;
    QString classList;
};

bool IsAppThemed()
{
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return false;
    return QApplication::style()->name().compare(QStringLiteral("windows"), Qt::CaseInsensitive) != 0;
}

HTHEME OpenThemeData(QWidget* window, std::u16string_view classList)
{
    QString name = ToQString(classList);
    if (!IsAppThemed() || name.compare(QStringLiteral("TOOLBAR"), Qt::CaseInsensitive) != 0)
        return nullptr;
    return new ThemeData{window, name.toUpper()};
}

HRESULT DrawThemeBackground(HTHEME theme, QPainter* painter, int partId, int, const QRect& rect, const QRect* clip)
{
    if (!theme || !painter || (partId != TP_SEPARATOR && partId != TP_SEPARATORVERT))
        return E_FAIL;
    QWidget* window = theme->window.data();
    QStyle* style = window ? window->style() : QApplication::style();
    QStyleOption option;
    if (window)
        option.initFrom(window);
    option.rect = rect;
    // A vertical line is the separator of a horizontal tool bar.
    option.state = (partId == TP_SEPARATOR) ? QStyle::State_Horizontal : QStyle::State_None;
    painter->save();
    if (clip)
        painter->setClipRect(*clip, Qt::IntersectClip);
    style->drawPrimitive(QStyle::PE_IndicatorToolBarSeparator, &option, painter, window);
    painter->restore();
    return S_OK;
}

HRESULT CloseThemeData(HTHEME theme)
{
    if (!theme)
        return E_FAIL;
    delete theme;
    return S_OK;
}

void LoadThemeEntryPoints()
{
    g_themeActive = IsAppThemed() ? 1 : 0;
}
