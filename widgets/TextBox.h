#pragma once

#include <QLineEdit>

// A text box (the reading boxes, the digital boxes, the analog output
// window's fields). It looks and behaves as a QLineEdit; what differs is what
// assistive technology gets: a text interface whose character, word, sentence,
// line and paragraph queries are answered by the box's own plain splitting of
// its text, at every offset and at once, and whose text attributes span the
// whole text.
class TextBox : public QLineEdit {
    Q_OBJECT

public:
    explicit TextBox(QWidget* parent = nullptr);
};
