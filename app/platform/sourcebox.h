#pragma once
// The multi-line source box: keeps its text exactly as set (CR, LF, CR CR LF and NUL
// characters all survive), scrolls both ways without wrapping, and keeps its selection
// highlighted while another control has the focus. Positions are in UTF-16 units, like the
// rest of the program's text handling; the editor underneath counts UTF-8 bytes.

#include <Qsci/qsciscintilla.h>

class SourceBox : public QsciScintilla {
    Q_OBJECT
public:
    explicit SourceBox(QWidget* parent = nullptr);

    QString sourceText() const;
    void setSourceText(const QString& text);
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
    bool m_applyingFont = false;
};
