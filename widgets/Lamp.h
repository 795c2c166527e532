#pragma once

#include <QHash>
#include <QString>
#include <QWidget>

#include <utility>
#include <vector>

// A small box without text, filled with a colour the program sets. Colours are
// given in the blue-green-red layout (red in the low byte).
//
// What a colour means depends on the lamp, so the window that owns it gives it
// a table of meanings; assistive technology finds the lamp as a label named by
// what it is and the meaning of its present colour ("CTS line, high"), has the
// meaning as its value and at the head of its description, and is told when it
// changes. Text set with setAccessibleDescription() follows the meaning.
class Lamp : public QWidget {
    Q_OBJECT

public:
    // 24-bit blue-green-red value, the same layout as the device link's colours.
    using Colour = int;
    using Meanings = std::vector<std::pair<Colour, QString>>;

    explicit Lamp(QWidget* parent = nullptr);

    // The lamp starts in the desktop's face colour for controls until painted.
    void setColour(Colour colour);
    bool painted() const { return m_painted; }
    Colour colour() const { return m_colour; }
    QColor fill() const;

    // unpainted: the meaning before the first colour is set.
    void setMeanings(const Meanings& meanings, const QString& unpainted);
    // The meaning of the present colour; a colour without one is named.
    QString meaning() const;

    static QColor toQColor(Colour colour);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void repaintIfChanged();

    Colour m_colour = 0;
    bool m_painted = false;
    QHash<Colour, QString> m_meanings;
    QString m_unpainted;
    // What the screen shows. Whether to repaint is decided on the next pass
    // of the event loop, so a colour that flips and comes back within one
    // handler (the transfer lamp in every serial event) asks for none.
    QColor m_shown;
    bool m_checkPosted = false;
    // The meaning assistive technology was last told of.
    QString m_announced;
};
