#pragma once
// The rows of a list control, stored by the control itself: per cell a text and an image index
// into the control's image list (-1 for none), per column a heading and an alignment. Window
// thread only.
#include <QAbstractTableModel>
#include <QString>

#include "platform/PathString.h"

#include <functional>
#include <optional>
#include <vector>

class CImageList;

class CListControlModel : public QAbstractTableModel {
    Q_OBJECT
public:
    struct Cell {
        QString text;      // the cell's text, unless `path` holds it
        CPathString path;  // a path shown as the text, sharing the buffer of the rows it came from
        int image = -1;
        // What the cell shows.
        QString Text() const { return path.empty() ? text : QString::fromUtf16(path.view().data(), path.view().size()); }
    };

    explicit CListControlModel(QObject* parent = nullptr);
    ~CListControlModel() override;

    // Inserts a column at `column` (clamped to the end); returns its index.
    int InsertColumn(int column, const QString& heading, Qt::Alignment alignment);

    // Inserts a row at `row` (clamped to the end) whose first cell has the text and image; the
    // other cells are empty without image. Returns the row's index.
    int InsertRow(int row, const QString& text, int image);
    bool RemoveRow(int row);
    void Clear();
    // Replaces every row at once; a row with fewer cells than columns gets empty cells without
    // image, one with more loses the rest.
    using Row = std::vector<Cell>;
    void ResetRows(std::vector<Row> rows);
    void Reserve(int rows);

    // The cell, or nullptr outside the table.
    const Cell* GetCell(int row, int column) const;
    bool SetCellText(int row, int column, const QString& text);
    bool SetCellImage(int row, int column, int image);

    // Images are taken from this list; images of columns other than 0 only with `subItemImages`.
    void SetImageList(const CImageList* images, bool subItemImages);

    // With `marks` on, a cell whose image is 0 (unmarked) or 1 (marked) is a checkable cell whose
    // check state is its mark: screen readers and test robots read it as the cell's checked state,
    // and setting the check state (Space on the current cell) sets the image. The check box
    // itself is never drawn: the image is the mark on screen.
    void SetMarkImages(bool marks);
    bool HasMarkImages() const { return m_bMarkImages; }
    // True for a cell whose image is its mark (with mark images on: image 0 or 1, in a column
    // that shows images).
    bool IsMarkCell(const QModelIndex& index) const { return MarkOf(index).has_value(); }

    // Where a change of a mark's check state goes (Space, a screen reader's "toggle"): the writer
    // sets the image of the cell (and of whatever else shows the same file) and returns true when
    // it did. Without a writer the cell's own image is set.
    using MarkWriter = std::function<bool(int row, int column, int image)>;
    void SetMarkWriter(MarkWriter writer) { m_markWriter = std::move(writer); }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    // What the view's delegate asks for when it draws a cell: everything data() gives except
    // the check state, so that no check box is drawn beside the mark image.
    void multiData(const QModelIndex& index, QModelRoleDataSpan roleDataSpan) const override;

private:
    struct Column {
        QString heading;
        Qt::Alignment alignment;
    };

    Cell* MutableCell(int row, int column);
    // The cell's mark as a check state, or nothing when the cell carries no mark.
    std::optional<Qt::CheckState> MarkOf(const QModelIndex& index) const;

    std::vector<Column> m_columns;
    std::vector<std::vector<Cell>> m_rows;
    const CImageList* m_pImages = nullptr;
    bool m_bSubItemImages = false;
    bool m_bMarkImages = false;
    MarkWriter m_markWriter;
};
