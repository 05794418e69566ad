#pragma once
// A static text that acts as a link: it shows its text in the link colour (blue before, purple
// after the target was opened; each made readable on the palette's window colour), turns red and
// underlined while the cursor is over it, shows a
// hand cursor and a tooltip with the target, and opens the target with the desktop's handler
// when clicked (or, since it takes the keyboard focus, on Space or Enter). A failed open beeps
// and clears the visited state. Window thread only.
#include <QBasicTimer>
#include <QColor>
#include <QCursor>
#include <QFont>
#include <QLabel>
#include <QString>

#include <functional>
#include <optional>

class CHyperLink : public QLabel {
    Q_OBJECT
public:
    // Opens a target; true when the desktop took it. The default hands it to the desktop's
    // handler for its kind (a web address to the browser).
    using OpenFunction = std::function<bool(const QString& target)>;
    // Sounds the exclamation beep.
    using BeepFunction = std::function<void()>;

    // Replace how every link opens its target and beeps (tests make opening succeed or fail
    // without starting a browser). An empty function restores the default. Window thread only.
    static void SetOpenFunction(OpenFunction open);
    static void SetBeepFunction(BeepFunction beep);

    // Period of the timer that notices the cursor has left, in milliseconds.
    static constexpr int kHoverPeriodMs = 100;

    explicit CHyperLink(QWidget* parent = nullptr);
    ~CHyperLink() override;

    // Called once the control has taken the place of its template control (DDX_Control): an empty
    // target becomes the text and an empty text the target; the underlined font is made from the
    // control's font; the control is fitted to its text; the hand cursor and the tooltip are set.
    void PreSubclassWindow();

    // Resizes the control to its text in the underlined font, keeping its left edge (left-aligned
    // text), its right edge (right-aligned) or its centre (centred), and its top edge, or its
    // vertical centre when the text is centred vertically. Does nothing unless m_bFitToText.
    void FitToText();

    // What a click does: opens the target; success marks the link visited (purple, even while the
    // cursor is still over it), failure beeps and clears the visited state.
    void OnClicked();

    // The text colour of the control's state now: hover, else visited, else link.
    QColor CurrentColour() const;
    // What the text is painted in: CurrentColour() made readable (at least 4.5:1) on the
    // palette's window colour, lighter on a dark palette, darker where it is too light.
    QColor PaintedColour() const;

    // Opens `target` through the replaceable open function; true on success.
    static bool OpenTarget(const QString& target);

    bool IsOver() const { return m_bOver; }
    bool IsOpened() const { return m_bOpened; }
    bool IsHoverTimerActive() const { return m_hoverTimer.isActive(); }

    QColor m_crLink{0, 0, 238};
    QColor m_crVisited{85, 26, 139};
    QColor m_crHover{255, 0, 0};
    int m_nUnderlineMode = -1;  // -1 underline while hovered, 0 never, 1 always
    bool m_bFitToText = true;
    QString m_strTarget;  // what a click opens; the text when left empty

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    bool m_bOver = false;
    bool m_bOpened = false;
    QFont m_fontUnderline;
    std::optional<QFont> m_fontNormal;  // the control's own font, taken when it is bound
    QBasicTimer m_hoverTimer;
};
