#pragma once
// The multi-line source box: keeps its text exactly as set (CR, LF, CR CR LF and NUL
// characters all survive), scrolls both ways without wrapping, and keeps its selection
// highlighted while another control has the focus. Positions are in UTF-16 units, like the
// rest of the program's text handling; the editor underneath counts UTF-8 bytes.

#include <Qsci/qsciscintilla.h>

class QsciLexer;

#include <QList>

#include <functional>
#include <future>
#include <memory>

class SourceBox : public QsciScintilla {
    Q_OBJECT
public:
    explicit SourceBox(QWidget* parent = nullptr);
    // Waits for a document still being made on another thread, and lets it go.
    ~SourceBox() override;

    // A big text goes in and comes out a few megabytes at a time, and letEventsRun gets a turn
    // in between, so that the window keeps answering. Text set by anyone while a big text goes
    // in wins: the rest of the big one is not added. A text read while events run is read
    // again from the start if it changes meanwhile.
    QString sourceText(const std::function<void()>& letEventsRun = {}) const;
    // True when the box shows exactly this text once it returns; false when another text, set
    // meanwhile, took its place, or when the editor holds it changed (a lone surrogate is "?").
    bool setSourceText(const QString& text, const std::function<void()>& letEventsRun = {});
    qsizetype textLength() const;

    struct Selection {
        qsizetype start = 0;
        qsizetype length = 0;
    };
    // Start and length together, from one reading of the text.
    Selection selection() const;
    qsizetype selectionStart() const { return selection().start; }
    qsizetype selectionLength() const { return selection().length; }
    // Selects length units from start; the caret ends at the end of the selection.
    void setSelection(qsizetype start, qsizetype length);

protected:
    // The editor draws with its own styles: a font given to the widget is handed on to them.
    void changeEvent(QEvent* event) override;
    // Tab and Shift+Tab go on to the window's next and previous control.
    bool focusNextPrevChild(bool next) override;

private:
    void onModified(int type);
    // A loader for a new document with room for the given bytes; null when the box went
    // meanwhile. A big one is made on another thread while letEventsRun gets its turns.
    void* makeLoader(unsigned long bytes, long options, const std::function<void()>& letEventsRun);

    bool m_applyingFont = false;
    quint64 m_settings = 0; // counts setSourceText calls
    quint64 m_changes = 0;  // counts changes of the editor's text
    QString m_shownText;    // the text as last set, until it is edited; null when not kept
    QsciLexer* m_lexer = nullptr;
    // Loaders being made on other threads; more than one when a text is set while another waits.
    QList<std::shared_ptr<std::future<void*>>> m_loadersBeingMade;
};
