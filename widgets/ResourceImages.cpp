#include "widgets/ResourceImages.h"

#include <QFile>
#include <QString>

QPixmap LoadBitmapResource(int id)
{
    return QPixmap(QStringLiteral(":/res/bitmap/%1.bmp").arg(id));
}

QIcon LoadIconResource(int id)
{
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256}) {
        QString path = QStringLiteral(":/res/icon/%1/%2.png").arg(id).arg(size);
        if (QFile::exists(path))
            icon.addFile(path, QSize(size, size));
    }
    return icon;
}
