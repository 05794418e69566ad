#pragma once
// The size grip of a resizable window: a triangle in the bottom-right corner of its parent that
// resizes the top-level window when dragged. Its square side is the scroll-bar width of the
// style; a style change keeps its bottom-right corner where it was. Window thread only.
#include <QSizeGrip>

class CSizeGrip : public QSizeGrip {
    Q_OBJECT
public:
    explicit CSizeGrip(QWidget* parent);

    // The side of the grip in the current style.
    static int GripExtent(const QWidget* widget);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void UpdateRegion();
};
