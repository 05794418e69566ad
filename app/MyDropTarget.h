#pragma once
// The dialog's drop target for folders dragged from a file manager. It watches the dialog's drag
// events. A drag that offers "text/uri-list" with at least one local folder is taken on entering
// the dialog anywhere while the folders list is enabled (a running search disables it): a real
// drag crosses the dialog's edge and its buttons before it reaches the list, and a refused enter
// would end the drag there. Every move then decides by position: over the folders list the drag
// may drop (copy), over the path edit too, and everywhere else it shows the no-drop cursor. A drop
// on the list hands the local paths, each with its exact bytes, to the dialog's handler; a drop
// on the path edit hands the first local folder to the edit handler. Window thread only.
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
    using EditHandler = std::function<void(const std::u16string&)>;

    // `list` is the control that folder drops land on; it must outlive this object.
    explicit CMyDropTarget(QWidget& list) : m_list(list) {}

    // Makes `dialog` accept drags and sends its drops to `onDrop`. The dialog must outlive this
    // object or be the object's owner.
    void Register(QWidget* dialog, DropHandler onDrop);
    // From now on a drop on `edit` (which then takes no drops of its own) puts the first local
    // folder of the drag there through `onEdit`.
    void RegisterEdit(QWidget* edit, EditHandler onEdit);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class Place { None, List, Edit };
    // True when the data offers a local folder and the list takes drops now.
    bool Offers(const QDropEvent& event) const;
    // Where a drop at the event's position would land.
    Place PlaceOf(const QDropEvent& event) const;

    QWidget& m_list;
    QWidget* m_pDialog = nullptr;
    QWidget* m_pEdit = nullptr;
    DropHandler m_onDrop;
    EditHandler m_onEdit;
    bool m_bOffered = false;  // what the drag in progress offered when it entered
};
