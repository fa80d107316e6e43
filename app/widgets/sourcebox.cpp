#include "widgets/sourcebox.h"

#include <Qsci/qscilexerhtml.h>

#include <QEvent>
#include <QFont>
#include <QPointer>
#include <QStringDecoder>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstring>
#include <new>

// The editor library's interface for filling a document without a view, declared as the
// library declares it (same name, same functions in the same order), so that calls through it
// reach the library's own functions and checkers see the type they expect.
class ILoader {
public:
    virtual int Release() = 0;
    virtual int AddData(const char* data, std::ptrdiff_t length) = 0;
    virtual void* ConvertToDocument() = 0;

protected:
    ~ILoader() = default;
};

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

// Big texts go in and out in slices of about this many characters or bytes.
constexpr long kSliceBytes = long(4) << 20;

// Room for typing in a new document beyond the text it is made for; more is made as it is needed.
constexpr long kDocumentRoom = long(64) << 10;

// The editor allocates and clears a new document's buffer in one call, about half a millisecond
// per megabyte; from this size on, that call is made on a thread of its own.
constexpr unsigned long kLoaderMadeAside = 16UL << 20;

// The longest text the box keeps a copy of beside the editor's own.
constexpr qsizetype kKeptTextLength = qsizetype(32) << 20;

// Where a slice of the editor's UTF-8 may end: before the lead byte of a sequence it would cut.
long utf8SliceEnd(QByteArrayView bytes, long start) {
    long end = std::min<long>(bytes.size(), start + kSliceBytes);
    if (end == bytes.size())
        return end;
    for (long back = 0; back < 4 && end - back - 1 > start; ++back) {
        const auto byte = static_cast<unsigned char>(bytes[end - back - 1]);
        if ((byte & 0xC0) != 0x80)
            return byte >= 0xC0 ? end - back - 1 : end;
    }
    return end;
}

// The UTF-8 length of a text, at most one byte too long for each lone surrogate (which the
// editor stores as one "?"), counted in a loop the compiler can widen.
qsizetype utf8Length(QStringView text, bool* loneSurrogate) {
    qsizetype extra = 0;
    qsizetype surrogates = 0;
    const auto count = [&extra, &surrogates](char16_t u) {
        const bool surrogate = u >= 0xD800 && u <= 0xDFFF;
        extra += (u >= 0x80) + (u >= 0x800 && !surrogate);
        surrogates += surrogate;
    };
    // Four units at a time while all four are ASCII, as most of a page is: one test instead of
    // four (8 ms against 1 ms for 4 M characters).
    const char16_t* const units = text.utf16();
    qsizetype i = 0;
    for (; i + 4 <= text.size(); i += 4) {
        quint64 four;
        std::memcpy(&four, units + i, sizeof four);
        if (four & 0xFF80FF80FF80FF80ULL) {
            for (qsizetype k = i; k < i + 4; ++k)
                count(units[k]);
        }
    }
    for (; i < text.size(); ++i)
        count(units[i]);
    // Only then is it worth looking at each surrogate: pairs are the rule.
    if (surrogates > 0) {
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (text[i].isSurrogate() &&
                !(text[i].isHighSurrogate() && i + 1 < text.size() &&
                  text[i + 1].isLowSurrogate()) &&
                !(text[i].isLowSurrogate() && i > 0 && text[i - 1].isHighSurrogate()))
                *loneSurrogate = true;
        }
    }
    return text.size() + extra;
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
    connect(this, &QsciScintillaBase::SCN_MODIFIED, this,
            [this](int type, int, const char*, int, int, int, int, int, int, int) {
                onModified(type);
            });
    // The page in colour. Measuring a long line is cheap when its runs of one style are short
    // and repeat, as the mark-up's are, provided the editor remembers many of them.
    m_lexer = new QsciLexerHTML(this);
    m_lexer->setFont(font());
    m_lexer->setDefaultPaper(QColor(Qt::white));
    m_lexer->setPaper(QColor(Qt::white));
    setLexer(m_lexer);
    SendScintilla(SCI_SETPOSITIONCACHE, 65536UL);
    // A big page is coloured while the user does nothing, never before it is shown.
    SendScintilla(SCI_SETIDLESTYLING, static_cast<unsigned long>(SC_IDLESTYLING_ALL));
}

QString SourceBox::sourceText(const std::function<void()>& letEventsRun) const {
    if (!m_shownText.isNull())
        return m_shownText;
    // QString::fromUtf8 drops a leading U+FEFF, which a page or a stripped text may well begin
    // with; every position read back would then be one character off the editor's bytes.
    const auto flags =
        QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom;
    for (int attempt = 0;; ++attempt) {
        const long length = SendScintilla(SCI_GETLENGTH);
        if (length <= 0)
            return {};
        const auto* bytes = reinterpret_cast<const char*>(SendScintilla(SCI_GETCHARACTERPOINTER));
        // After a few texts that changed under the reading, the last one is read in one go.
        if (!letEventsRun || length <= kSliceBytes || attempt == 3) {
            QStringDecoder decoder(QStringConverter::Utf8, flags);
            return decoder(QByteArrayView(bytes, length));
        }
        const QPointer<const SourceBox> self(this);
        const quint64 changes = m_changes;
        const quint64 settings = m_settings;
        QString text;
        text.reserve(length);
        for (long start = 0; start < length;) {
            const long end = utf8SliceEnd(QByteArrayView(bytes, length), start);
            QStringDecoder decoder(QStringConverter::Utf8,
                                   start == 0 ? flags : QStringConverter::Flag::Stateless);
            text += decoder(QByteArrayView(bytes + start, end - start));
            start = end;
            letEventsRun();
            // Gone with its window, or edited meanwhile: the bytes may be somewhere else now.
            if (!self)
                return {};
            if (m_changes != changes || m_settings != settings)
                break;
        }
        if (m_changes == changes && m_settings == settings)
            return text;
    }
}

SourceBox::~SourceBox() {
    for (const std::shared_ptr<std::future<void*>>& making : std::as_const(m_loadersBeingMade)) {
        try {
            if (auto* loader = static_cast<ILoader*>(making->get()))
                loader->Release();
        } catch (const std::bad_alloc&) {
            // Nothing was made, so nothing is left to let go.
        }
    }
}

// Making a loader only creates a document: it reads nothing of the view that events could
// change meanwhile. The box outlives the call: its destructor waits for every loader still being
// made.
void* SourceBox::makeLoader(unsigned long bytes, long options,
                            const std::function<void()>& letEventsRun) {
    if (!letEventsRun || bytes < kLoaderMadeAside)
        return reinterpret_cast<void*>(SendScintilla(SCI_CREATELOADER, bytes, options));
    const QPointer<SourceBox> self(this);
    const auto making =
        std::make_shared<std::future<void*>>(std::async(std::launch::async, [this, bytes, options] {
            return reinterpret_cast<void*>(SendScintilla(SCI_CREATELOADER, bytes, options));
        }));
    m_loadersBeingMade.append(making);
    while (making->wait_for(std::chrono::milliseconds(2)) != std::future_status::ready) {
        letEventsRun();
        if (!self)
            return nullptr;
    }
    m_loadersBeingMade.removeOne(making);
    return making->get();
}

bool SourceBox::setSourceText(const QString& text, const std::function<void()>& letEventsRun) {
    const quint64 setting = ++m_settings;
    // The text goes into a new document of its own, slice by slice, and that document takes
    // the old one's place when it is complete. Appended to the shown document instead, every
    // slice would cost the editor a pass over all the text before it. A document keeps no styles
    // while nothing colours the text: they would cost a byte per byte of the page.
    // Room for exactly the text and a little more: a document filled to the last byte would be
    // moved whole the first time its text is read. Every byte of room is cleared when the
    // document is made, so a little is what it gets.
    const QPointer<SourceBox> self(this);
    qsizetype bytes = 0;
    bool loneSurrogate = false;
    for (qsizetype start = 0; start < text.size(); start += kSliceBytes) {
        const QStringView slice =
            QStringView(text).sliced(start, std::min<qsizetype>(kSliceBytes, text.size() - start));
        bytes += utf8Length(slice, &loneSurrogate);
        if (letEventsRun && start + kSliceBytes < text.size()) {
            letEventsRun();
            if (!self || m_settings != setting)
                return false;
        }
    }
    // A document keeps a byte of style for every byte of text; a page too big to be kept twice
    // is shown without colour, and without that byte.
    const bool coloured = text.size() <= kKeptTextLength;
    auto* loader = static_cast<ILoader*>(makeLoader(
        static_cast<unsigned long>(bytes + kDocumentRoom),
        coloured ? SC_DOCUMENTOPTION_DEFAULT : SC_DOCUMENTOPTION_STYLES_NONE, letEventsRun));
    if (!self)
        return false;
    if (!loader)
        throw std::bad_alloc();
    if (m_settings != setting) {
        loader->Release();
        return false;
    }
    const qsizetype slice = letEventsRun ? kSliceBytes : text.size();
    for (qsizetype start = 0; start < text.size();) {
        qsizetype end = std::min(text.size(), start + std::max<qsizetype>(slice, 1));
        // Both halves of a surrogate pair go in together.
        if (end < text.size() && text.at(end - 1).isHighSurrogate() && end - 1 > start)
            --end;
        const QByteArray bytes = QStringView(text).sliced(start, end - start).toUtf8();
        if (loader->AddData(bytes.constData(), bytes.size()) != SC_STATUS_OK) {
            loader->Release();
            throw std::bad_alloc();
        }
        start = end;
        if (start < text.size() && letEventsRun) {
            letEventsRun();
            // Gone, or given another text meanwhile: that one stands.
            if (!self || m_settings != setting) {
                loader->Release();
                return false;
            }
        }
    }
    void* document = loader->ConvertToDocument();
    // Read back, the editor gives exactly this text unless it held a lone surrogate (stored as
    // "?"); kept, it spares every reader a conversion of the whole page. A big page is not kept:
    // it would be held twice for as long as it is shown.
    m_shownText = loneSurrogate || text.size() > kKeptTextLength ? QString() : text;
    // The editor keeps its first document alive for as long as it lives; emptied, it costs
    // nothing.
    SendScintilla(SCI_CLEARALL);
    SendScintilla(SCI_SETDOCPOINTER, 0UL, document);
    SendScintilla(SCI_RELEASEDOCUMENT, 0UL, document);
    // A document filled without a view keeps every slice for undoing, a second copy of the page.
    SendScintilla(SCI_EMPTYUNDOBUFFER);
    // Line ends, the character set and the lexer belong to the document, not to the view.
    setEolMode(QsciScintilla::EolWindows);
    setUtf8(true);
    // The lexer's styles belong to the view and stay; the new document only needs to know
    // which lexer styles it, and is styled as it comes into view (handing the lexer over
    // whole would colour the whole page before anything is shown).
    if (coloured) {
        SendScintilla(SCI_SETLEXER, static_cast<unsigned long>(SCLEX_HTML));
        for (int set = 1; set <= 9; ++set) {
            if (const char* words = m_lexer->keywords(set))
                SendScintilla(SCI_SETKEYWORDS, static_cast<unsigned long>(set - 1), words);
        }
        m_lexer->refreshProperties();
    } else {
        SendScintilla(SCI_SETLEXER, static_cast<unsigned long>(SCLEX_NULL));
    }
    ++m_changes;
    // Caret and view to the top without asking the editor to scroll the caret into view:
    // that lays out the whole first line, which on a page that is one long line costs more
    // than everything else here.
    SendScintilla(SCI_SETEMPTYSELECTION, 0UL);
    SendScintilla(SCI_SETFIRSTVISIBLELINE, 0UL);
    SendScintilla(SCI_SETXOFFSET, 0UL);
    return !loneSurrogate;
}

void SourceBox::onModified(int type) {
    if (type & (SC_MOD_INSERTTEXT | SC_MOD_DELETETEXT)) {
        ++m_changes;
        m_shownText = QString();
    }
}

void SourceBox::changeEvent(QEvent* event) {
    QsciScintilla::changeEvent(event);
    if (event->type() == QEvent::FontChange && !m_applyingFont) {
        m_applyingFont = true;
        QsciScintilla::setFont(font());
        // Every style of the mark-up in the box's own font: colour only, never another face.
        if (m_lexer)
            m_lexer->setFont(font());
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
