#include "widgets/TextBox.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QFontInfo>
#include <QFontMetrics>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTextLine>

#include <algorithm>
#include <vector>

namespace {

// One piece of the text, [start, end).
struct Span {
    int start;
    int end;
};

bool isBlank(QChar c) { return c.isSpace(); }

// The text cut into pieces of one kind that together cover it, in order:
// characters (a surrogate pair is one); words, each from its first character
// to the next word's (so with the blanks after it), blanks before the first
// word making a piece of their own; sentences, each ending after the blanks
// that follow a '.', '!' or '?'; lines and paragraphs, each ending after its
// line break; or the whole text.
std::vector<Span> pieces(const QString& text, QAccessible::TextBoundaryType type)
{
    const int length = int(text.size());
    std::vector<Span> out;
    if (length == 0)
        return out;
    std::vector<int> starts{0};
    switch (type) {
    case QAccessible::CharBoundary:
        for (int i = 1; i < length; ++i) {
            if (!(text[i].isLowSurrogate() && text[i - 1].isHighSurrogate()))
                starts.push_back(i);
        }
        break;
    case QAccessible::WordBoundary:
        for (int i = 1; i < length; ++i) {
            if (!isBlank(text[i]) && isBlank(text[i - 1]))
                starts.push_back(i);
        }
        break;
    case QAccessible::SentenceBoundary:
        for (int i = 1; i < length; ++i) {
            if (isBlank(text[i]) || !isBlank(text[i - 1]))
                continue;
            int j = i - 1;
            while (j > 0 && isBlank(text[j]))
                --j;
            const QChar end = text[j];
            if (end == u'.' || end == u'!' || end == u'?')
                starts.push_back(i);
        }
        break;
    case QAccessible::LineBoundary:
    case QAccessible::ParagraphBoundary:
        for (int i = 1; i < length; ++i) {
            if (text[i - 1] == u'\n')
                starts.push_back(i);
        }
        break;
    case QAccessible::NoBoundary:
        break;
    }
    for (std::size_t k = 0; k < starts.size(); ++k)
        out.push_back({starts[k], k + 1 < starts.size() ? starts[k + 1] : length});
    return out;
}

// Where an offset falls: the index of its piece. At the end of the text the
// caret stands after the last word, sentence or line, which is therefore
// "at" it; after the last character there is no character.
int pieceAt(const std::vector<Span>& spans, int offset, int length, QAccessible::TextBoundaryType type)
{
    if (offset == length)
        return type == QAccessible::CharBoundary ? int(spans.size()) : int(spans.size()) - 1;
    for (std::size_t k = 0; k < spans.size(); ++k) {
        if (offset < spans[k].end)
            return int(k);
    }
    return int(spans.size());
}

class TextBoxAccessible : public QAccessibleWidget,
                          public QAccessibleTextInterface,
                          public QAccessibleEditableTextInterface {
public:
    explicit TextBoxAccessible(TextBox* box)
        : QAccessibleWidget(box, QAccessible::EditableText)
    {
    }

    void* interface_cast(QAccessible::InterfaceType t) override
    {
        if (t == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface*>(this);
        if (t == QAccessible::EditableTextInterface)
            return static_cast<QAccessibleEditableTextInterface*>(this);
        return QAccessibleWidget::interface_cast(t);
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        if (box()->isReadOnly())
            s.readOnly = true;
        else
            s.editable = true;
        s.selectableText = true;
        return s;
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return box()->text();
        return QAccessibleWidget::text(t);
    }

    void setText(QAccessible::Text t, const QString& text) override
    {
        if (t == QAccessible::Value)
            box()->setText(text);
        else
            QAccessibleWidget::setText(t, text);
    }

    // ---------------------------------------------------------- text
    QString text(int startOffset, int endOffset) const override
    {
        const QString all = box()->text();
        startOffset = std::clamp(startOffset, 0, int(all.size()));
        endOffset = endOffset < 0 ? int(all.size()) : std::clamp(endOffset, startOffset, int(all.size()));
        return all.mid(startOffset, endOffset - startOffset);
    }
    int characterCount() const override { return int(box()->text().size()); }
    int cursorPosition() const override { return box()->cursorPosition(); }
    void setCursorPosition(int position) override { box()->setCursorPosition(position); }

    QString textAtOffset(int offset, QAccessible::TextBoundaryType type, int* startOffset,
                         int* endOffset) const override
    {
        return relative(offset, type, 0, startOffset, endOffset);
    }
    QString textBeforeOffset(int offset, QAccessible::TextBoundaryType type, int* startOffset,
                             int* endOffset) const override
    {
        return relative(offset, type, -1, startOffset, endOffset);
    }
    QString textAfterOffset(int offset, QAccessible::TextBoundaryType type, int* startOffset,
                            int* endOffset) const override
    {
        return relative(offset, type, +1, startOffset, endOffset);
    }

    // The box shows its text in one face and one colour.
    QString attributes(int offset, int* startOffset, int* endOffset) const override
    {
        const int length = characterCount();
        if (offset == -2)
            offset = cursorPosition();
        if (offset < 0 || offset > length) {
            *startOffset = *endOffset = -1;
            return {};
        }
        *startOffset = 0;
        *endOffset = length;
        const QFontInfo font(box()->font());
        const QPalette& palette = box()->palette();
        auto rgb = [](const QColor& c) { return QStringLiteral("%1,%2,%3").arg(c.red()).arg(c.green()).arg(c.blue()); };
        return QStringLiteral("font-family:%1;font-size:%2pt;font-weight:%3;fg-color:%4;bg-color:%5;")
            .arg(font.family())
            .arg(font.pointSizeF())
            .arg(font.bold() ? QStringLiteral("bold") : QStringLiteral("normal"))
            .arg(rgb(palette.color(QPalette::Text)), rgb(palette.color(QPalette::Base)));
    }

    int selectionCount() const override { return box()->hasSelectedText() ? 1 : 0; }
    void selection(int selectionIndex, int* startOffset, int* endOffset) const override
    {
        *startOffset = *endOffset = 0;
        if (selectionIndex != 0 || !box()->hasSelectedText())
            return;
        *startOffset = box()->selectionStart();
        *endOffset = box()->selectionEnd();
    }
    void addSelection(int startOffset, int endOffset) override { setSelection(0, startOffset, endOffset); }
    void removeSelection(int selectionIndex) override
    {
        if (selectionIndex == 0)
            box()->deselect();
    }
    void setSelection(int selectionIndex, int startOffset, int endOffset) override
    {
        if (selectionIndex != 0)
            return;
        const int length = characterCount();
        startOffset = std::clamp(startOffset, 0, length);
        endOffset = std::clamp(endOffset, 0, length);
        box()->setSelection(startOffset, endOffset - startOffset);
    }

    // The character's cell on the screen, measured as the box lays out its
    // text: from the contents' edge by its alignment.
    QRect characterRect(int offset) const override
    {
        const QString all = box()->text();
        if (offset < 0 || offset >= all.size())
            return {};
        const QFontMetrics metrics(box()->font());
        QStyleOptionFrame option;
        option.initFrom(box());
        QRect contents = box()->style()->subElementRect(QStyle::SE_LineEditContents, &option, box());
        contents = contents.marginsRemoved(box()->textMargins());
        const int whole = metrics.horizontalAdvance(all);
        int left = contents.left();
        const Qt::Alignment align = QStyle::visualAlignment(box()->layoutDirection(), box()->alignment());
        if (align & Qt::AlignRight)
            left = contents.right() - whole;
        else if (align & Qt::AlignHCenter)
            left = contents.left() + (contents.width() - whole) / 2;
        const int x = left + metrics.horizontalAdvance(all.left(offset));
        const QRect cell(x, contents.top() + (contents.height() - metrics.height()) / 2,
                         metrics.horizontalAdvance(all.mid(offset, 1)), metrics.height());
        return QRect(box()->mapToGlobal(cell.topLeft()), cell.size());
    }
    int offsetAtPoint(const QPoint& point) const override
    {
        const QPoint local = box()->mapFromGlobal(point);
        return box()->rect().contains(local) ? box()->offsetAt(local) : -1;
    }
    void scrollToSubstring(int startIndex, int) override { box()->setCursorPosition(startIndex); }

    // ---------------------------------------------------------- editing
    void deleteText(int startOffset, int endOffset) override { replaceText(startOffset, endOffset, {}); }
    void insertText(int offset, const QString& text) override { replaceText(offset, offset, text); }
    void replaceText(int startOffset, int endOffset, const QString& text) override
    {
        if (box()->isReadOnly())
            return;
        QString all = box()->text();
        startOffset = std::clamp(startOffset, 0, int(all.size()));
        endOffset = std::clamp(endOffset, startOffset, int(all.size()));
        all.replace(startOffset, endOffset - startOffset, text);
        box()->setText(all);
    }

private:
    TextBox* box() const { return static_cast<TextBox*>(widget()); }

    // The piece at an offset (step 0), or the one before (-1) or after (+1)
    // it. Offset -2 means the caret, as the toolkit's callers use it; other
    // offsets outside 0..length get nothing, with both ends -1.
    QString relative(int offset, QAccessible::TextBoundaryType type, int step, int* startOffset,
                     int* endOffset) const
    {
        const QString all = box()->text();
        const int length = int(all.size());
        if (offset == -2)
            offset = box()->cursorPosition();
        if (offset < 0 || offset > length) {
            *startOffset = *endOffset = -1;
            return {};
        }
        const std::vector<Span> spans = pieces(all, type);
        const int k = pieceAt(spans, offset, length, type) + step;
        if (k < 0 || k >= int(spans.size())) {
            // Nothing there: an empty piece at the near end of the text.
            *startOffset = *endOffset = k < 0 ? 0 : length;
            return {};
        }
        *startOffset = spans[std::size_t(k)].start;
        *endOffset = spans[std::size_t(k)].end;
        return all.mid(*startOffset, *endOffset - *startOffset);
    }
};

QAccessibleInterface* textBoxAccessible(const QString& className, QObject* object)
{
    if (className == QLatin1String("TextBox") && object && object->isWidgetType())
        return new TextBoxAccessible(static_cast<TextBox*>(object));
    return nullptr;
}

} // namespace

TextBox::TextBox(QWidget* parent)
    : QLineEdit(parent)
{
    static const bool installed = [] {
        QAccessible::installFactory(textBoxAccessible);
        return true;
    }();
    Q_UNUSED(installed);
    connect(this, &QLineEdit::textChanged, this, [this] {
        m_layoutDirty = true;
        if (drawsOwnText())
            update();   // QLineEdit's own layout stays empty and asks for nothing
    });
    connect(this, &QLineEdit::selectionChanged, this, &TextBox::chooseMode);
    chooseMode();
}

namespace {

// QLineEdit's fixed margins around its text line, in px.
constexpr int kHorizontalMargin = 2;
constexpr int kVerticalMargin = 1;

// What QLineEdit shows for a text: control characters, which most fonts
// draw as boxes, become blanks.
QString shownText(QString text)
{
    for (QChar& c : text) {
        const char16_t u = c.unicode();
        if ((u < 0x20 && u != 0x09) || c == QChar::LineSeparator || c == QChar::ParagraphSeparator
            || c == QChar::ObjectReplacementCharacter)
            c = QChar(0x20);
    }
    return text;
}

} // namespace

void TextBox::chooseMode()
{
    // A style sheet may change the palette in ways only QLineEdit knows;
    // placeholders and masks are QLineEdit's to draw too.
    const bool own = !hasFocus() && !hasSelectedText() && placeholderText().isEmpty()
                     && inputMask().isEmpty() && styleSheet().isEmpty()
                     && !style()->inherits("QStyleSheetStyle");
    const EchoMode wanted = own ? QLineEdit::NoEcho : QLineEdit::Normal;
    if (echoMode() == wanted)
        return;
    // The hints QLineEdit adds for a hidden text are not for this box.
    const Qt::InputMethodHints hints = inputMethodHints();
    setEchoMode(wanted);
    setInputMethodHints(hints);
    m_layoutDirty = true;
}

void TextBox::focusInEvent(QFocusEvent* event)
{
    chooseMode();   // before QLineEdit selects or places its cursor
    QLineEdit::focusInEvent(event);
}

void TextBox::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);   // which may drop the selection
    chooseMode();
}

void TextBox::changeEvent(QEvent* event)
{
    switch (event->type()) {
    case QEvent::FontChange:
    case QEvent::LayoutDirectionChange:
        m_layoutDirty = true;
        break;
    case QEvent::StyleChange:
        chooseMode();
        break;
    default:
        break;
    }
    QLineEdit::changeEvent(event);
}

void TextBox::layOut()
{
    if (!m_layoutDirty)
        return;
    m_layoutDirty = false;
    const QString value = text();
    m_layout.setCacheEnabled(true);
    m_layout.setFont(font());
    m_layout.setText(shownText(value));
    QTextOption option = m_layout.textOption();
    option.setTextDirection(Qt::LayoutDirectionAuto);
    option.setFlags(QTextOption::IncludeTrailingSpaces);
    m_layout.setTextOption(option);
    m_layout.beginLayout();
    const QTextLine line = m_layout.createLine();
    m_layout.endLayout();
    m_ascent = qRound(line.ascent());
    m_textWidth = line.naturalTextWidth();
    const QFontMetrics metrics = fontMetrics();
    m_lineHeight = qMax(metrics.boundingRect(value).height(), metrics.height());
}

QRect TextBox::textArea() const
{
    QStyleOptionFrame panel;
    initStyleOption(&panel);
    return style()->subElementRect(QStyle::SE_LineEditContents, &panel, this).marginsRemoved(textMargins());
}

QPoint TextBox::textOrigin(const QRect& r)
{
    layOut();
    const QFontMetrics metrics = fontMetrics();
    const QString value = text();
    const Qt::LayoutDirection direction =
        value.isEmpty() || !value.isRightToLeft() ? Qt::LeftToRight : Qt::RightToLeft;
    const Qt::Alignment align = QStyle::visualAlignment(direction, alignment());
    int top = r.y() + (r.height() - m_lineHeight + 1) / 2;
    if (align & Qt::AlignBottom)
        top = r.y() + r.height() - m_lineHeight - kVerticalMargin;
    else if (align & Qt::AlignTop)
        top = r.y() + kVerticalMargin;
    const QRect line(r.x() + kHorizontalMargin, top, r.width() - 2 * kHorizontalMargin, m_lineHeight);

    // Scrolled as QLineEdit scrolls a text it was just given: aligned when it
    // fits, else so that the cursor is in view.
    const int widthUsed = qRound(m_textWidth) + 1;
    const int cursorX = m_layout.lineCount() > 0 ? qRound(m_layout.lineAt(0).cursorToX(cursorPosition())) : 0;
    if (widthUsed <= line.width()) {
        if (align & Qt::AlignRight)
            m_hscroll = widthUsed - line.width() + 1;
        else if (align & Qt::AlignHCenter)
            m_hscroll = (widthUsed - line.width()) / 2;
        else
            m_hscroll = 0;
    } else if (cursorX - m_hscroll >= line.width()) {
        m_hscroll = cursorX - line.width() + 1;
    } else if (cursorX - m_hscroll < 0 && m_hscroll < widthUsed) {
        m_hscroll = cursorX;
    } else if (widthUsed - m_hscroll < line.width()) {
        m_hscroll = widthUsed - line.width() + 1;
    } else {
        m_hscroll = qMax(0, m_hscroll);
    }
    // The baseline stays where the font puts it.
    return line.topLeft() - QPoint(m_hscroll, m_ascent - metrics.ascent());
}

void TextBox::paintEvent(QPaintEvent* event)
{
    if (!drawsOwnText()) {
        QLineEdit::paintEvent(event);
        return;
    }
    QPainter painter(this);
    QStyleOptionFrame panel;
    initStyleOption(&panel);
    style()->drawPrimitive(QStyle::PE_PanelLineEdit, &panel, &painter, this);
    const QRect r = textArea();
    painter.setClipRect(r);
    const QPoint origin = textOrigin(r);
    painter.setPen(palette().text().color());
    m_layout.draw(&painter, origin, {}, r);
}

int TextBox::offsetAt(const QPoint& point)
{
    if (!drawsOwnText())
        return cursorPositionAt(point);
    const QPoint origin = textOrigin(textArea());
    if (m_layout.lineCount() == 0)
        return 0;
    return m_layout.lineAt(0).xToCursor(point.x() - origin.x());
}
