#include "widgets/AnchorLayout.h"

#include <cmath>
#include <utility>
#include <vector>

#include "widgets/ControlId.h"

void CAnchorLayout::Capture(QWidget* owner)
{
    m_owner = owner;
    m_rcClient = owner->rect();
    m_children.clear();
    for (QObject* object : owner->children()) {
        auto* child = qobject_cast<QWidget*>(object);
        if (!child || child->isWindow() || m_children.count(child))
            continue;
        QRect area = child->geometry();
        ChildRecord record;
        record.widget = child;
        record.id = GetDlgCtrlID(child);
        record.left = area.left();
        record.top = area.top();
        record.right = area.left() + area.width();
        record.bottom = area.top() + area.height();
        m_children.emplace(child, record);
    }
    m_bCaptured = true;
}

bool CAnchorLayout::SetAnchor(int id, uint32_t flags)
{
    if (!m_bCaptured || !m_owner)
        return false;
    for (auto& [child, record] : m_children) {
        if (record.widget && record.id == id) {
            record.flags = flags;
            return true;
        }
    }
    return false;
}

void CAnchorLayout::Arrange()
{
    if (!m_owner)
        return;
    QRect client = m_owner->rect();
    const double dx = client.width() - m_rcClient.width();
    const double dy = client.height() - m_rcClient.height();

    std::vector<std::pair<QWidget*, QRect>> moves;
    for (auto& [child, record] : m_children) {
        QRect before = WholeRect(record);
        const uint32_t horizontal = record.flags & (ANCHOR_LEFT | ANCHOR_RIGHT);
        if (horizontal == ANCHOR_RIGHT)
            record.left += dx;
        if (horizontal & ANCHOR_RIGHT)
            record.right += dx;
        const uint32_t vertical = record.flags & (ANCHOR_TOP | ANCHOR_BOTTOM);
        if (vertical == ANCHOR_BOTTOM)
            record.top += dy;
        if (vertical & ANCHOR_BOTTOM)
            record.bottom += dy;
        QRect after = WholeRect(record);
        if (after != before && record.flags != 0 && record.widget)
            moves.emplace_back(record.widget.data(), after);
    }
    m_rcClient = client;

    // All moves at once: nothing is painted half-arranged.
    const bool updates = m_owner->updatesEnabled();
    m_owner->setUpdatesEnabled(false);
    for (auto& [widget, area] : moves)
        widget->setGeometry(area);
    m_owner->setUpdatesEnabled(updates);
}

uint32_t CAnchorLayout::AnchorOf(const QWidget* child) const
{
    auto found = m_children.find(child);
    return found == m_children.end() ? 0 : found->second.flags;
}

QRect CAnchorLayout::WholeRect(const ChildRecord& record)
{
    int left = static_cast<int>(std::lround(record.left));
    int top = static_cast<int>(std::lround(record.top));
    int right = static_cast<int>(std::lround(record.right));
    int bottom = static_cast<int>(std::lround(record.bottom));
    return QRect(left, top, right - left, bottom - top);
}
