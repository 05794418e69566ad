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

}  // namespace

CMemDC_Exp::CMemDC_Exp(QPainter* target, std::optional<QRect> area) : m_pTargetDC(target), m_bOffscreen(!IsPrinterPainter(target))
{
    m_rcArea = area ? *area : ClipBox(target);
    const QColor background = target->background().color();
    if (!m_bOffscreen) {
        target->fillRect(m_rcArea, background);
        return;
    }
    // The buffer covers the area in device pixels, and its painter maps the target's logical
    // coordinates onto it.
    const QTransform toDevice = target->combinedTransform();
    m_rcDevice = toDevice.mapRect(m_rcArea);
    const qreal ratio = target->device()->devicePixelRatioF();
    QSize pixels(static_cast<int>(std::ceil(m_rcDevice.width() * ratio)),
                 static_cast<int>(std::ceil(m_rcDevice.height() * ratio)));
    m_bmpOffscreen = QImage(pixels.expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied);
    m_bmpOffscreen.setDevicePixelRatio(ratio);
    m_painter.begin(&m_bmpOffscreen);
    m_painter.setTransform(toDevice * QTransform::fromTranslate(-m_rcDevice.x(), -m_rcDevice.y()));
    m_painter.setFont(target->font());
    m_painter.setPen(target->pen());
    m_painter.setBrush(target->brush());
    m_painter.setBackground(target->background());
    m_painter.setLayoutDirection(target->layoutDirection());
    m_painter.fillRect(m_rcArea, background);
}

CMemDC_Exp::~CMemDC_Exp()
{
    if (!m_bOffscreen)
        return;
    m_painter.end();
    m_pTargetDC->save();
    m_pTargetDC->resetTransform();
    m_pTargetDC->drawImage(m_rcDevice.topLeft(), m_bmpOffscreen);
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
