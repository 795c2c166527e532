#pragma once

#include <QLineEdit>
#include <QTextLayout>

// A text box (the reading boxes, the digital boxes, the analog output
// window's fields). It looks and behaves as a QLineEdit; what differs is what
// assistive technology gets: a text interface whose character, word, sentence,
// line and paragraph queries are answered by the box's own plain splitting of
// its text, at every offset and at once, and whose text attributes span the
// whole text.
//
// A reading changes many times a second while nobody is typing in its box.
// QLineEdit lays a new text out the moment it is set, on the sampling cycle's
// way to its next command; this box lays it out when it is painted, at most
// once per screen refresh. While it has neither the focus nor a selection it
// keeps QLineEdit's own text layout empty (NoEcho) and draws the text itself,
// to the pixel where QLineEdit draws it; as soon as the user or a program
// gives it the focus or selects in it, QLineEdit takes over again. text()
// holds the value at once either way.
class TextBox : public QLineEdit {
    Q_OBJECT

public:
    explicit TextBox(QWidget* parent = nullptr);

    // True while the box draws its text itself (no focus, no selection).
    bool drawsOwnText() const { return echoMode() == QLineEdit::NoEcho; }
    // The text offset under a point in the box's coordinates, as
    // cursorPositionAt() would give it in QLineEdit's own mode.
    int offsetAt(const QPoint& point);

protected:
    void paintEvent(QPaintEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // Who draws the text: QLineEdit (Normal) or the box (NoEcho).
    void chooseMode();
    // The text laid out as QLineEdit lays it out, if it changed since.
    void layOut();
    // Where QLineEdit would put the text's top left corner in `contents`.
    QPoint textOrigin(const QRect& contents);
    QRect textArea() const;

    QTextLayout m_layout;
    bool m_layoutDirty = true;
    int m_ascent = 0;         // px, rounded as QLineEdit rounds it
    int m_lineHeight = 0;     // px: the text's bounding height, at least the font's
    qreal m_textWidth = 0;    // px, the line's natural width
    int m_hscroll = 0;        // px the text is scrolled left, when it does not fit
};
