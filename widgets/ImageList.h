#pragma once
// A list of equally sized small images, addressed by index, as list controls show them beside
// their cells. Window thread only.
#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QSize>

#include <vector>

class CImageList {
public:
    // Cuts the bitmap into images `cx` pixels wide (its full height), with `mask` as the
    // see-through colour; `grow` is room reserved for images added later. False for an empty
    // bitmap or a width of 0.
    bool Create(const QPixmap& bitmap, int cx, int grow, const QColor& mask);

    // An empty list of images of the given size.
    void Create(const QSize& imageSize, int grow);

    // Appends an image; returns its index.
    int Add(const QIcon& icon);

    int GetImageCount() const { return static_cast<int>(m_images.size()); }
    QSize ImageSize() const { return m_imageSize; }

    // Image `index`, or a null icon when there is none.
    QIcon Icon(int index) const;

private:
    QSize m_imageSize;
    std::vector<QIcon> m_images;
};
