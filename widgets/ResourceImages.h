#pragma once
// The images of the resources by id. Window thread only (pixmaps need the GUI application).
#include <QIcon>
#include <QPixmap>

// Bitmap `id` (129 check boxes, 135 banner); a null pixmap when there is none.
QPixmap LoadBitmapResource(int id);

// Icon `id` (128, the application icon) with every size it comes in; a null icon when there is none.
QIcon LoadIconResource(int id);
