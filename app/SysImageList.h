#pragma once
// The desktop's small icons for files and folders, gathered in one image list that the folders
// list shows: each distinct icon is added once and keeps its index. The icons come from
// QFileIconProvider; a path that does not exist gets the provider's folder icon (the list
// shows folders, some of which may be gone). Window thread only (icons need the GUI
// application); the object itself exists before the application starts.
#include <QString>

#include <map>

#include "widgets/ImageList.h"

class CSysImageList {
public:
    CSysImageList();

    // The shared list of small (16 x 16) icons.
    const CImageList& ImageList() const { return m_images; }

    // The index of the path's small icon in the list, adding the icon when it is new.
    int GetIconIndex(const QString& path);

private:
    CImageList m_images;
    std::map<QString, int> m_indexByKey;
};

extern CSysImageList theSysImageList;
