#pragma once
// Keeps the direct children of a window in place relative to its edges. Capture records every
// child's rectangle; SetAnchor says per control which edges it keeps its distance to; Arrange,
// on every resize, moves or stretches the children by the change of the client size since the
// last arrangement. Rectangles are kept in doubles, so returning to the first size puts every
// child back exactly. Window thread only.
#include <QPointer>
#include <QRect>
#include <QWidget>

#include <cstdint>
#include <map>

constexpr uint32_t ANCHOR_TOP = 0x10;     // top edge keeps its distance to the client top
constexpr uint32_t ANCHOR_BOTTOM = 0x20;  // bottom edge keeps its distance to the client bottom
constexpr uint32_t ANCHOR_LEFT = 0x40;
constexpr uint32_t ANCHOR_RIGHT = 0x80;

class CAnchorLayout {
public:
    // Records the owner, its client rectangle and every direct child with flags 0.
    void Capture(QWidget* owner);

    // Gives the child with control id `id` the flags. Ignored (false) before Capture or when the
    // owner has no such child.
    bool SetAnchor(int id, uint32_t flags);

    // Moves and stretches the children by the client size change since the last arrangement:
    // per axis, the far edge alone moves the child, both edges stretch it, anything else leaves
    // it. Children whose flags are 0 are never moved.
    void Arrange();

    // The flags of the child, 0 when it is not captured.
    uint32_t AnchorOf(const QWidget* child) const;

private:
    struct ChildRecord {
        QPointer<QWidget> widget;
        int id = 0;
        uint32_t flags = 0;
        double left = 0, top = 0, right = 0, bottom = 0;  // client coordinates
    };

    static QRect WholeRect(const ChildRecord& record);

    bool m_bCaptured = false;
    QPointer<QWidget> m_owner;
    QRect m_rcClient;  // client rectangle
    std::map<const QWidget*, ChildRecord> m_children;
};
