#pragma once
// A section caption: the text in a bold copy of the control's font, followed by a separator line
// that starts one blank's width after the text and ends at the control's right edge. The line is
// rebuilt when the control moves or its text changes and keeps its distance to the right edge
// (and its top) when the control is resized. Bind it to a static control of a template. Window thread only.
#include <QFont>
#include <QLabel>

#include "widgets/Separator.h"

class CStaticSeparator : public QLabel {
    Q_OBJECT
public:
    explicit CStaticSeparator(QWidget* parent = nullptr);
    ~CStaticSeparator() override;

    // When bound: the bold font, then the line.
    void PreSubclassWindow();

    // Measures the caption in the current font and places the line beside it.
    void Layout();

    // Changes the caption, rebuilds the line and repaints at once.
    void SetWindowText(const QString& text);

    // The separator line (a child of this control).
    const CSeparator& Line() const { return m_line; }

protected:
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QFont m_fontBold;
    CSeparator m_line;
    int m_nWidth = 0;
    bool m_bBound = false;
};
