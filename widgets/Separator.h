#pragma once
// A separator line: the theme's tool-bar separator when the application is themed, otherwise the
// classic etched line (a shadow line with a highlight line beside it). Horizontal when the
// control is at least as wide as it is high, vertical otherwise. Window thread only.
#include <QLabel>

class CSeparator : public QLabel {
    Q_OBJECT
public:
    explicit CSeparator(QWidget* parent = nullptr);
    ~CSeparator() override;

    // When bound to a template control: the line shows no text.
    void PreSubclassWindow();

    // Draws the line into the painter at the control's client rectangle. `flags` are unused.
    virtual void Draw(QPainter& painter, int flags);

protected:
    void paintEvent(QPaintEvent* event) override;
};
