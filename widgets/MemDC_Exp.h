#pragma once
// An off-screen drawing surface for one paint. While it exists, drawing through Painter() goes
// into a buffer of the area, at the target's own coordinates; the buffer starts filled with the
// target painter's background colour and is copied onto the target in one step when the object
// is destroyed. The buffer has the target's device pixel ratio and holds exactly the device
// pixels the area covers, so what is drawn lands on the same pixels, at the same size, as it
// would when drawn straight onto the target, on a screen of any scale. On a printer or PDF device the surface draws straight onto the target instead.
// Window thread only; always a local object of a paint handler.
#include <QImage>
#include <QPainter>
#include <QRect>

#include <optional>

class CMemDC_Exp {
public:
    // `target` must be active and outlive this object. Without an area the target's clip box is
    // used (the whole device when it has no clip).
    explicit CMemDC_Exp(QPainter* target, std::optional<QRect> area = std::nullopt);
    ~CMemDC_Exp();

    CMemDC_Exp(const CMemDC_Exp&) = delete;
    CMemDC_Exp& operator=(const CMemDC_Exp&) = delete;

    // Where to draw: the buffer's painter, or the target itself on a printer or PDF device.
    QPainter& Painter() { return m_bOffscreen ? m_painter : *m_pTargetDC; }
    QPainter* operator->() { return &Painter(); }

    // The covered area in the target's logical coordinates.
    const QRect& Area() const { return m_rcArea; }
    bool IsOffscreen() const { return m_bOffscreen; }

    // True for painters on printers and PDF writers, which get no off-screen buffer.
    static bool IsPrinterPainter(const QPainter* painter);

private:
    QImage m_bmpOffscreen;
    QPainter m_painter;     // draws into m_bmpOffscreen
    QPainter* m_pTargetDC;  // not owned
    QRect m_rcArea;         // logical units of the target
    QRect m_rcDevice;       // the device pixels of the target the buffer covers
    qreal m_ratio = 1;      // the target's device pixel ratio
    bool m_bOffscreen;
};
