#pragma once
// One pane of a status bar: a sunken plain-text label whose width is measured from its own font,
// never given in pixels. A pane with a template text is at least as wide as that text and widens
// (never narrows) to show whole every text it is given, so a growing number is never cut and the
// panes do not jump while a search counts; a font change measures again. A pane without a
// template takes the room the others leave. Window thread only.
#include <QLabel>
#include <QString>

class CStatusPane : public QLabel {
    Q_OBJECT
public:
    explicit CStatusPane(const QString& templateText = QString(), QWidget* parent = nullptr);
    ~CStatusPane() override;

    // Shows the text, widening the pane first when it would not fit.
    void SetText(const QString& text);

    // The width the pane needs to show `text` whole in its font: text, indent and frame.
    int WidthFor(const QString& text) const;

    const QString& TemplateText() const { return m_template; }

protected:
    void changeEvent(QEvent* event) override;

private:
    // Measures the template and the widest text shown so far again.
    void Fit();

    QString m_template;
    QString m_widest;  // the text that needed the most room so far
};
