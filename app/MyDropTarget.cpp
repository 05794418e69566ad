#include "app/MyDropTarget.h"

#include <QDropEvent>
#include <QMimeData>
#include <QWidget>

#include "platform/FileAttributes.h"
#include "platform/UriList.h"

namespace {

const QString kUriList = QStringLiteral("text/uri-list");

std::vector<std::u16string> LocalPaths(const QDropEvent& event)
{
    if (!event.mimeData() || !event.mimeData()->hasFormat(kUriList))
        return {};
    const QByteArray data = event.mimeData()->data(kUriList);
    return LocalPathsFromUriList(std::string_view(data.constData(), static_cast<size_t>(data.size())));
}

bool IsOver(const QWidget* hit, const QWidget* control)
{
    return control && hit && (hit == control || control->isAncestorOf(hit));
}

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

void CMyDropTarget::RegisterEdit(QWidget* edit, EditHandler onEdit)
{
    m_pEdit = edit;
    m_onEdit = std::move(onEdit);
    // The edit's own drop would insert the raw list ("file:///...\r\n"); the dialog decides.
    edit->setAcceptDrops(false);
}

bool CMyDropTarget::Offers(const QDropEvent& event) const
{
    if (!m_list.isEnabled() || !m_list.isVisible())
        return false;
    for (const std::u16string& path : LocalPaths(event)) {
        if (IsFolderPath(path))
            return true;
    }
    return false;
}

CMyDropTarget::Place CMyDropTarget::PlaceOf(const QDropEvent& event) const
{
    if (!m_bOffered || !m_list.isEnabled())
        return Place::None;
    QWidget* hit = m_pDialog->childAt(event.position().toPoint());
    if (IsOver(hit, &m_list))
        return Place::List;
    if (m_onEdit && IsOver(hit, m_pEdit) && m_pEdit->isEnabled())
        return Place::Edit;
    return Place::None;
}

bool CMyDropTarget::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_pDialog)
        return false;
    switch (event->type()) {
    case QEvent::DragEnter: {
        // Taken anywhere in the dialog, so that the moves that follow reach it.
        auto* drag = static_cast<QDragEnterEvent*>(event);
        m_bOffered = Offers(*drag);
        drag->setDropAction(m_bOffered && PlaceOf(*drag) != Place::None ? Qt::CopyAction : Qt::IgnoreAction);
        drag->setAccepted(m_bOffered);
        return true;
    }
    case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (PlaceOf(*drag) != Place::None) {
            drag->setDropAction(Qt::CopyAction);
            drag->accept();
        } else {
            // No rectangle: every move is asked again.
            drag->setDropAction(Qt::IgnoreAction);
            drag->ignore();
        }
        return true;
    }
    case QEvent::DragLeave:
        m_bOffered = false;
        return true;
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        if (!m_bOffered)
            m_bOffered = Offers(*drop);  // a drop without a drag seen before (a test, a robot)
        const Place place = PlaceOf(*drop);
        m_bOffered = false;
        if (place == Place::None) {
            drop->setDropAction(Qt::IgnoreAction);
            drop->ignore();
            return true;
        }
        const auto paths = LocalPaths(*drop);
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        if (place == Place::List) {
            if (m_onDrop)
                m_onDrop(paths);
        } else {
            for (const std::u16string& path : paths) {
                if (IsFolderPath(path)) {
                    m_onEdit(path);
                    break;
                }
            }
        }
        return true;
    }
    default:
        return false;
    }
}
