#include "widgets/MemDC_Exp.h"

#include <QPaintDevice>
#include <QPaintEngine>

#include <cmath>

namespace {

QRect ClipBox(const QPainter* target)
{
    if (target->hasClipping())
        return target->clipBoundingRect().toAlignedRect();
    const QPaintDevice* device = target->device();
    QRect whole(0, 0, device->width(), device->height());
    return target->combinedTransform().inverted().mapRect(whole);
}

// The ratio of the target's device pixels to its device-independent pixels.
qreal DevicePixelRatio(const QPainter* target)
{
    const QPaintDevice* device = target->device();
    return device ? device->devicePixelRatioF() : 1.0;
}

}  // namespace

CMemDC_Exp::CMemDC_Exp(QPainter* target, std::optional<QRect> area) : m_pTargetDC(target), m_bOffscreen(!IsPrinterPainter(target))
{
    m_rcArea = area ? *area : ClipBox(target);
    const QColor background = target->background().color();
    if (!m_bOffscreen) {
        target->fillRect(m_rcArea, background);
        return;
    }
    // The buffer holds exactly the device pixels the area covers on the target (whole pixels,
    // rounded outward), so that the copy at the end is one pixel for one pixel. Its painter draws
    // in the target's logical coordinates: the target's whole transformation, which includes the
    // device pixel ratio, is taken over, less the buffer's own ratio (the buffer's painter applies
    // that itself) and less the buffer's place on the device.
    m_ratio = DevicePixelRatio(target);
    const QTransform toDevice = target->combinedTransform();
    m_rcDevice = toDevice.mapRect(QRectF(m_rcArea)).toAlignedRect();
    m_bmpOffscreen = QImage(m_rcDevice.size().expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied);
    m_bmpOffscreen.setDevicePixelRatio(m_ratio);
    m_bmpOffscreen.fill(background);
    m_painter.begin(&m_bmpOffscreen);
    m_painter.setTransform(toDevice * QTransform::fromTranslate(-m_rcDevice.x(), -m_rcDevice.y()) *
                           QTransform::fromScale(1 / m_ratio, 1 / m_ratio));
    m_painter.setFont(target->font());
    m_painter.setPen(target->pen());
    m_painter.setBrush(target->brush());
    m_painter.setBackground(target->background());
    m_painter.setLayoutDirection(target->layoutDirection());
}

CMemDC_Exp::~CMemDC_Exp()
{
    if (!m_bOffscreen)
        return;
    m_painter.end();
    // Back on the target in its device-independent pixels, where the buffer's top-left device
    // pixel lies at m_rcDevice.topLeft() / ratio and the buffer (of the same ratio) covers as
    // many device pixels as it has.
    m_pTargetDC->save();
    m_pTargetDC->resetTransform();
    m_pTargetDC->setRenderHint(QPainter::SmoothPixmapTransform, false);
    m_pTargetDC->drawImage(QPointF(m_rcDevice.x() / m_ratio, m_rcDevice.y() / m_ratio), m_bmpOffscreen);
    m_pTargetDC->restore();
}

bool CMemDC_Exp::IsPrinterPainter(const QPainter* painter)
{
    const QPaintDevice* device = painter->device();
    if (device && device->devType() == QInternal::Printer)
        return true;
    const QPaintEngine* engine = painter->paintEngine();
    return engine && (engine->type() == QPaintEngine::Pdf || engine->type() == QPaintEngine::MacPrinter);
}
