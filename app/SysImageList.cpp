#include "app/SysImageList.h"

#include <QFileIconProvider>
#include <QFileInfo>

CSysImageList theSysImageList;

CSysImageList::CSysImageList()
{
    m_images.Create(QSize(16, 16), 8);
}

int CSysImageList::GetIconIndex(const QString& path)
{
    QFileInfo info(path);
    QFileIconProvider provider;
    // A listed folder that is gone (or whose name Qt cannot encode) still shows a folder, so
    // that its text lines up with the other rows.
    const bool exists = info.exists();
    QIcon icon = exists ? provider.icon(info) : provider.icon(QAbstractFileIconProvider::Folder);
    // Icons of the desktop theme have names; the others are told apart by the kind of entry.
    QString key = !icon.name().isEmpty() ? QStringLiteral("theme:") + icon.name()
        : !exists || info.isDir()        ? QStringLiteral("folder")
                                         : QStringLiteral("file:") + info.suffix();
    auto found = m_indexByKey.find(key);
    if (found != m_indexByKey.end())
        return found->second;
    int index = m_images.Add(icon);
    m_indexByKey.emplace(key, index);
    return index;
}
