#include "results/ResultsView.h"

#include "platform/ByteSize.h"
#include "results/ListControlMem.h"
#include "widgets/QtText.h"

CResultsView::CResultsView(CListControlMem& list, const std::vector<CDuplicatePair>& rows) : m_list(list), m_rows(rows)
{
}

void CResultsView::Fill()
{
    m_list.SetRedraw(false);
    m_list.DeleteAllItems();
    const int count = static_cast<int>(m_rows.size());
    m_list.SetItemCountEx(count);
    // The rows of one group share their original and their size: those texts are made once.
    CPathString lastOriginal;
    QString originalText;
    uint64_t lastSize = 0;
    QString sizeText;
    for (int i = 0; i < count; ++i) {
        const CDuplicatePair& pair = m_rows[static_cast<size_t>(i)];
        if (i == 0 || !(pair.originalPath == lastOriginal)) {
            lastOriginal = pair.originalPath;
            originalText = ToQString(pair.originalPath.view());
        }
        m_list.InsertItem(i, originalText, kUnmarked);
        m_list.SetItemText(i, kDuplicateColumn, ToQString(pair.duplicatePath.view()));
        m_list.SetItemImage(i, kDuplicateColumn, kUnmarked);
        if (i == 0 || pair.size != lastSize) {
            lastSize = pair.size;
            sizeText = QString::fromStdU16String(FormatByteSize(pair.size));
        }
        m_list.SetItemText(i, 2, sizeText);
    }
    m_list.SetRedraw(true);
}

int CResultsView::RowCount() const
{
    return m_list.GetItemCount();
}

int CResultsView::GetMark(int row, int column) const
{
    return m_list.GetItemImage(row, column);
}

void CResultsView::SetMark(int row, int column, int image)
{
    m_list.SetItemImage(row, column, image);
}

void CResultsView::CollectMarkedFiles(std::vector<CPathString>& list, MarkedPathSet& set) const
{
    list.clear();
    set.clear();
    const int count = std::min(RowCount(), static_cast<int>(m_rows.size()));
    // Room for one mark per row: a long list is collected without rehashing on the way.
    set.reserve(static_cast<size_t>(count));
    for (int row = 0; row < count; ++row) {
        const CDuplicatePair& pair = m_rows[static_cast<size_t>(row)];
        if (IsMarked(row, kOriginalColumn) && set.insert(pair.originalPath).second)
            list.push_back(pair.originalPath);
        if (IsMarked(row, kDuplicateColumn) && set.insert(pair.duplicatePath).second)
            list.push_back(pair.duplicatePath);
    }
}

void CResultsView::RestoreMarks(const MarkedPathSet& set)
{
    if (set.empty())
        return;
    const int count = std::min(RowCount(), static_cast<int>(m_rows.size()));
    for (int row = 0; row < count; ++row) {
        const CDuplicatePair& pair = m_rows[static_cast<size_t>(row)];
        if (set.count(pair.originalPath))
            SetMark(row, kOriginalColumn, kMarked);
        if (set.count(pair.duplicatePath))
            SetMark(row, kDuplicateColumn, kMarked);
    }
}
