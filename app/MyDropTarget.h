#pragma once
// The dialog's drop target for folders dragged from a file manager. It watches the dialog's drag
// events: a drag that offers "text/uri-list" may drop (copy) only while the pointer is over the
// folders list and that list is enabled (a running search disables it); everywhere else the
// drag shows the no-drop cursor and a drop does nothing. A drop hands the local paths of the
// list, each with its exact bytes, to the dialog's handler. Window thread only.
#include <QObject>

#include <functional>
#include <string>
#include <vector>

class QDropEvent;
class QWidget;

class CMyDropTarget : public QObject {
    Q_OBJECT
public:
    using DropHandler = std::function<void(const std::vector<std::u16string>&)>;

    // `list` is the control that drops must land on; it must outlive this object.
    explicit CMyDropTarget(QWidget& list) : m_list(list) {}

    // Makes `dialog` accept drags and sends its drops to `onDrop`. The dialog must outlive this
    // object or be the object's owner.
    void Register(QWidget* dialog, DropHandler onDrop);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // True when a drop at the event's position would land on the enabled list with local files.
    bool CanDrop(const QDropEvent& event) const;

    QWidget& m_list;
    QWidget* m_pDialog = nullptr;
    DropHandler m_onDrop;
};
