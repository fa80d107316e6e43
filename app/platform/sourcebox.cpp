#include "platform/sourcebox.h"

#include <QEvent>
#include <QFont>
#include <QStringDecoder>

namespace {

// How many UTF-8 bytes one UTF-16 unit becomes when the text is handed to the editor:
// a surrogate pair makes four bytes (two per unit); a lone surrogate is stored as "?".
int utf8Width(const QString& text, qsizetype i) {
    const char16_t unit = text.at(i).unicode();
    if (unit < 0x80)
        return 1;
    if (unit < 0x800)
        return 2;
    if (QChar::isHighSurrogate(unit) && i + 1 < text.size() &&
        QChar::isLowSurrogate(text.at(i + 1).unicode()))
        return 2;
    if (QChar::isLowSurrogate(unit) && i > 0 && QChar::isHighSurrogate(text.at(i - 1).unicode()))
        return 2;
    if (QChar::isSurrogate(unit))
        return 1;
    return 3;
}

} // namespace

SourceBox::SourceBox(QWidget* parent)
    : QsciScintilla(parent) {
    setUtf8(true);
    setWrapMode(QsciScintilla::WrapNone);
    setEolMode(QsciScintilla::EolWindows);
    setMarginWidth(0, 0);
    setMarginWidth(1, 0);
    setMarginWidth(2, 0);
    setFrameShape(QFrame::StyledPanel);
    SendScintilla(SCI_SETHSCROLLBAR, 1);
    SendScintilla(SCI_SETVSCROLLBAR, 1);
    // The scroll width follows the longest line seen, so a page that is one long line
    // scrolls to its end.
    SendScintilla(SCI_SETSCROLLWIDTHTRACKING, 1);
    setSelectionBackgroundColor(palette().color(QPalette::Active, QPalette::Highlight));
    setSelectionForegroundColor(palette().color(QPalette::Active, QPalette::HighlightedText));
}

QString SourceBox::sourceText() const {
    const long length = SendScintilla(SCI_GETLENGTH);
    if (length <= 0)
        return {};
    const auto* bytes = reinterpret_cast<const char*>(SendScintilla(SCI_GETCHARACTERPOINTER));
    // QString::fromUtf8 drops a leading U+FEFF, which a page or a stripped text may well begin
    // with; every position read back would then be one character off the editor's bytes.
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless |
                                                       QStringConverter::Flag::ConvertInitialBom);
    return decoder(QByteArrayView(bytes, length));
}

void SourceBox::setSourceText(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    // A new page is not an edit the user could want to undo, and collecting it would double
    // the memory a big page takes.
    SendScintilla(SCI_SETUNDOCOLLECTION, 0UL);
    SendScintilla(SCI_CLEARALL);
    SendScintilla(SCI_APPENDTEXT, static_cast<uintptr_t>(bytes.size()), bytes.constData());
    SendScintilla(SCI_EMPTYUNDOBUFFER);
    SendScintilla(SCI_SETUNDOCOLLECTION, 1UL);
    // Caret and view to the top without asking the editor to scroll the caret into view:
    // that lays out the whole first line, which on a page that is one long line costs more
    // than everything else here.
    SendScintilla(SCI_SETEMPTYSELECTION, 0UL);
    SendScintilla(SCI_SETFIRSTVISIBLELINE, 0UL);
    SendScintilla(SCI_SETXOFFSET, 0UL);
}

void SourceBox::changeEvent(QEvent* event) {
    QsciScintilla::changeEvent(event);
    if (event->type() == QEvent::FontChange && !m_applyingFont) {
        m_applyingFont = true;
        QsciScintilla::setFont(font());
        m_applyingFont = false;
    }
}

bool SourceBox::focusNextPrevChild(bool next) {
    // The editor keeps Tab for indenting while it is editable, which would shut keyboard users
    // in this box and put tabs into (or take indents out of) the page source; the window's tab
    // order runs through it like through any other text box.
    return QAbstractScrollArea::focusNextPrevChild(next); // NOLINT(bugprone-parent-virtual-call)
}

qsizetype SourceBox::textLength() const {
    return sourceText().size();
}

SourceBox::Selection SourceBox::selection() const {
    const QString text = sourceText();
    const long from = SendScintilla(SCI_GETSELECTIONSTART);
    const long to = SendScintilla(SCI_GETSELECTIONEND);
    // One walk finds both ends: the end lies at or after the start.
    long bytes = 0;
    qsizetype i = 0;
    while (i < text.size() && bytes < from) {
        bytes += utf8Width(text, i);
        ++i;
    }
    const qsizetype start = i;
    while (i < text.size() && bytes < to) {
        bytes += utf8Width(text, i);
        ++i;
    }
    return {start, i - start};
}

void SourceBox::setSelection(qsizetype start, qsizetype length) {
    const QString text = sourceText();
    start = std::clamp<qsizetype>(start, 0, text.size());
    const qsizetype end = start + std::clamp<qsizetype>(length, 0, text.size() - start);
    long bytes = 0;
    qsizetype i = 0;
    for (; i < start; ++i)
        bytes += utf8Width(text, i);
    const long from = bytes;
    for (; i < end; ++i)
        bytes += utf8Width(text, i);
    SendScintilla(SCI_SETSEL, static_cast<unsigned long>(from), bytes);
}
