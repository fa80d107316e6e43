#include "widgets/sourcebox.h"

#include "logic/pagetuning.h"

#include <Qsci/qscilexerhtml.h>

#include <QEvent>
#include <QFont>
#include <QFutureWatcher>
#include <QStringDecoder>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstring>
#include <new>
#include <utility>

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

QString SourceBox::sourceText() const {
    if (!m_shownText.isNull())
        return m_shownText;
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

// What a worker fills and the window's thread puts in place. Whoever lets go of it last lets
// the document go with it, unless it was put in place.
struct SourceBox::Fill {
    ILoader* loader = nullptr;
    std::atomic<bool> abandoned{false};
    bool complete = false;      // every slice went in
    bool loneSurrogate = false; // the editor holds the text changed
    QString text;               // the text shown once it is in place
    ~Fill() {
        if (loader)
            loader->Release();
    }
};

SourceBox::~SourceBox() {
    abandonFill();
}

void SourceBox::abandonFill() {
    if (m_fill)
        m_fill->abandoned = true;
    m_fill.reset();
}

void SourceBox::cancelTextAside() {
    if (!m_fill)
        return;
    abandonFill();
    ++m_settings;
    setReadOnly(false);
}

void* SourceBox::newLoader(qsizetype room, bool coloured) {
    // A document keeps a byte of style for every byte of text; a page too big to be kept twice
    // is shown without colour, and without that byte.
    void* loader = reinterpret_cast<void*>(
        SendScintilla(SCI_CREATELOADER, static_cast<unsigned long>(room),
                      coloured ? SC_DOCUMENTOPTION_DEFAULT : SC_DOCUMENTOPTION_STYLES_NONE));
    if (!loader)
        throw std::bad_alloc();
    return loader;
}

namespace {

// Hands the text to a loader a slice at a time, each converted to UTF-8 on its own; stops early
// once stop() says so. False when the loader could not take a slice.
template <typename Stop>
bool fillLoader(ILoader* loader, const QString& text, bool* loneSurrogate, Stop stop) {
    for (qsizetype start = 0; start < text.size();) {
        qsizetype end = std::min(text.size(), start + PageTuning::kEditorSliceLength);
        // Both halves of a surrogate pair go in together.
        if (end < text.size() && text.at(end - 1).isHighSurrogate() && end - 1 > start)
            --end;
        const QStringView slice = QStringView(text).sliced(start, end - start);
        utf8Length(slice, loneSurrogate);
        const QByteArray bytes = slice.toUtf8();
        if (loader->AddData(bytes.constData(), bytes.size()) != QsciScintillaBase::SC_STATUS_OK)
            return false;
        start = end;
        if (stop())
            return true;
    }
    return true;
}

} // namespace

bool SourceBox::setSourceText(const QString& text) {
    // The text goes into a new document of its own, which takes the old one's place when it is
    // complete. Appended to the shown document instead, the editor would record every slice for
    // undoing. A document keeps no styles while nothing colours the text: they would cost a byte
    // per byte of the page.
    const bool coloured = text.size() <= PageTuning::kKeptTextLength;
    auto* loader =
        static_cast<ILoader*>(newLoader(text.size() + PageTuning::kEditorDocumentRoom, coloured));
    bool loneSurrogate = false;
    // Sized for the text, the document takes slices without growing; the UTF-8 is never held
    // whole beside the text.
    if (!fillLoader(loader, text, &loneSurrogate, [] { return false; })) {
        loader->Release();
        throw std::bad_alloc();
    }
    abandonFill();
    ++m_settings;
    showDocument(loader->ConvertToDocument(), coloured);
    // Read back, the editor gives exactly this text unless it held a lone surrogate (stored as
    // "?"); kept, it spares every reader a conversion of the whole page. A big page is not kept:
    // it would be held twice for as long as it is shown.
    m_shownText = loneSurrogate || !coloured ? QString() : text;
    return !loneSurrogate;
}

quint64 SourceBox::setSourceTextAside(const QString& text, Change change) {
    abandonFill();
    const quint64 setting = ++m_settings;
    const bool coloured = text.size() <= PageTuning::kKeptTextLength;
    auto fill = std::make_shared<Fill>();
    try {
        // Made here, where the editor lives, with room for the text as it is when it is ASCII,
        // as mark-up mostly is: filled slice by slice, a document without that room grows by a
        // sixth at a time and copies itself over and over (a 200 MiB page took twice as long
        // and a fifth more memory at its peak). The editor built from source leaves the room as
        // it is; the packaged one clears it here, a few milliseconds for a page of megabytes.
        // A changed text is given the room of the text it is made from; changes shorten.
        fill->loader = static_cast<ILoader*>(
            newLoader(text.size() + PageTuning::kEditorDocumentRoom, coloured));
    } catch (const std::bad_alloc&) {
        QMetaObject::invokeMethod(
            this, [this, setting] { emit textSet(setting, Outcome::Failed); },
            Qt::QueuedConnection);
        return setting;
    }
    m_fill = fill;
    if (change)
        setReadOnly(true);
    auto* watcher = new QFutureWatcher<void>(this);
    connect(watcher, &QFutureWatcher<void>::finished, this,
            [this, watcher, fill, setting, coloured] {
                watcher->deleteLater();
                if (m_fill == fill)
                    m_fill.reset();
                if (setting != m_settings) {
                    emit textSet(setting, Outcome::Superseded);
                    return;
                }
                setReadOnly(false);
                if (!fill->complete) {
                    emit textSet(setting, Outcome::Failed);
                    return;
                }
                showDocument(std::exchange(fill->loader, nullptr)->ConvertToDocument(), coloured);
                m_shownText =
                    fill->loneSurrogate || !coloured ? QString() : std::exchange(fill->text, {});
                emit textSet(setting, fill->loneSurrogate ? Outcome::Changed : Outcome::Shown);
            });
    // The worker alone touches the loader until it is done; the document it fills belongs to no
    // view yet.
    watcher->setFuture(QtConcurrent::run([fill, text, change] {
        try {
            fill->text = change ? change(text) : text;
        } catch (const std::bad_alloc&) {
            return;
        }
        fill->complete = fillLoader(fill->loader, fill->text, &fill->loneSurrogate,
                                    [&fill] { return fill->abandoned.load(); }) &&
                         !fill->abandoned;
    }));
    return setting;
}

void SourceBox::showDocument(void* document, bool coloured) {
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
    // Caret and view to the top without asking the editor to scroll the caret into view:
    // that lays out the whole first line, which on a page that is one long line costs more
    // than everything else here.
    SendScintilla(SCI_SETEMPTYSELECTION, 0UL);
    SendScintilla(SCI_SETFIRSTVISIBLELINE, 0UL);
    SendScintilla(SCI_SETXOFFSET, 0UL);
}

void SourceBox::onModified(int type) {
    if (type & (SC_MOD_INSERTTEXT | SC_MOD_DELETETEXT))
        m_shownText = QString();
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
