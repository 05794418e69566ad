#include "widgets/ImageList.h"

#include <QBitmap>

bool CImageList::Create(const QPixmap& bitmap, int cx, int grow, const QColor& mask)
{
    m_images.clear();
    if (bitmap.isNull() || cx <= 0)
        return false;
    m_imageSize = QSize(cx, bitmap.height());
    m_images.reserve(static_cast<size_t>(bitmap.width() / cx + grow));
    for (int x = 0; x + cx <= bitmap.width(); x += cx) {
        QPixmap image = bitmap.copy(x, 0, cx, bitmap.height());
        image.setMask(image.createMaskFromColor(mask, Qt::MaskInColor));
        m_images.emplace_back(image);
    }
    return true;
}

void CImageList::Create(const QSize& imageSize, int grow)
{
    m_images.clear();
    m_imageSize = imageSize;
    m_images.reserve(static_cast<size_t>(grow));
}

int CImageList::Add(const QIcon& icon)
{
    m_images.push_back(icon);
    return GetImageCount() - 1;
}

QIcon CImageList::Icon(int index) const
{
    if (index < 0 || index >= GetImageCount())
        return QIcon();
    return m_images[static_cast<size_t>(index)];
}
