#include "app/MyDropTarget.h"

#include <QDropEvent>
#include <QMimeData>
#include <QWidget>

#include "platform/UriList.h"

namespace {

const QString kUriList = QStringLiteral("text/uri-list");

}  // namespace

void CMyDropTarget::Register(QWidget* dialog, DropHandler onDrop)
{
    if (m_pDialog)
        m_pDialog->removeEventFilter(this);
    m_pDialog = dialog;
    m_onDrop = std::move(onDrop);
    dialog->setAcceptDrops(true);
    dialog->installEventFilter(this);
}

bool CMyDropTarget::CanDrop(const QDropEvent& event) const
{
    if (!event.mimeData() || !event.mimeData()->hasFormat(kUriList) || !m_list.isEnabled() || !m_list.isVisible())
        return false;
    QWidget* hit = m_pDialog->childAt(event.position().toPoint());
    return hit && (hit == &m_list || m_list.isAncestorOf(hit));
}

bool CMyDropTarget::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_pDialog)
        return false;
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (CanDrop(*drag)) {
            drag->setDropAction(Qt::CopyAction);
            drag->accept();
        } else {
            drag->setDropAction(Qt::IgnoreAction);
            drag->ignore();
        }
        return true;
    }
    case QEvent::DragLeave:
        return true;
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        if (!CanDrop(*drop)) {
            drop->setDropAction(Qt::IgnoreAction);
            drop->ignore();
            return true;
        }
        const QByteArray data = drop->mimeData()->data(kUriList);
        const auto paths = LocalPathsFromUriList(std::string_view(data.constData(), static_cast<size_t>(data.size())));
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        if (m_onDrop)
            m_onDrop(paths);
        return true;
    }
    default:
        return false;
    }
}
