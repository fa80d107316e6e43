#pragma once
// The multi-line source box: keeps its text exactly as set (CR, LF, CR CR LF and NUL
// characters all survive), scrolls both ways without wrapping, and keeps its selection
// highlighted while another control has the focus. Positions are in UTF-16 units, like the
// rest of the program's text handling; the editor underneath counts UTF-8 bytes.

#include <Qsci/qsciscintilla.h>

class QsciLexer;

#include <QString>

#include <memory>

class SourceBox : public QsciScintilla {
    Q_OBJECT
public:
    explicit SourceBox(QWidget* parent = nullptr);
    // A document still being filled on a worker is let go there.
    ~SourceBox() override;

    QString sourceText() const;
    // True when the box shows exactly this text once it returns; false when the editor holds
    // it changed (a lone surrogate is "?"). Throws std::bad_alloc, and keeps the text it had,
    // when the editor cannot take it.
    bool setSourceText(const QString& text);

    // How a text set aside ended.
    enum class Outcome {
        Shown,      // the box shows exactly the text
        Changed,    // the box shows it as the editor holds it (a lone surrogate is "?")
        Superseded, // another text was set meanwhile, and stands
        Failed,     // the editor could not take it; the box keeps what it had
    };
    Q_ENUM(Outcome)
    // Sets a big text without holding the window: the editor's new document is filled on a
    // worker, and takes the old one's place once complete. Returns at once with a number for
    // this setting; textSet() follows from the event loop with the same number, exactly once.
    // The box goes on showing (and taking edits to) what it had meanwhile; any text set in that
    // time wins, and the one set aside is dropped. Given a change, the worker first makes the
    // text to show from the one given, and the box is read-only until the setting ends, so that
    // nothing typed meanwhile is lost.
    using Change = QString (*)(const QString&);
    quint64 setSourceTextAside(const QString& text, Change change = nullptr);
    // Drops the text being set aside, if any: the box keeps what it shows.
    void cancelTextAside();

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

signals:
    void textSet(quint64 setting, SourceBox::Outcome outcome);

protected:
    // The editor draws with its own styles: a font given to the widget is handed on to them.
    void changeEvent(QEvent* event) override;
    // Tab and Shift+Tab go on to the window's next and previous control.
    bool focusNextPrevChild(bool next) override;

private:
    struct Fill;

    void onModified(int type);
    // A loader for a new document with the given room; throws std::bad_alloc without one.
    void* newLoader(qsizetype room, bool coloured);
    // Puts a complete document in place of the shown one.
    void showDocument(void* document, bool coloured);
    void abandonFill();

    bool m_applyingFont = false;
    quint64 m_settings = 0; // counts the texts set, aside or not
    QString m_shownText;    // the text as last set, until it is edited; null when not kept
    QsciLexer* m_lexer = nullptr;
    std::shared_ptr<Fill> m_fill; // the text being set aside, if any
};
