#pragma once
// The main window: the address box, the source box, the link list and nine buttons.
// Its handlers read and write the controls directly and in the order the commands describe;
// the logic they call (line ends, folder address, scanners, text tools) has no widgets.

#include "forms/formloader.h"
#include "forms/hostedbutton.h"
#include "transfer/pageload.h"
#include "widgets/fadedwindow.h"
#include "widgets/sourcebox.h"

#include <QList>
#include <QPointer>
#include <QTimer>
#include <QUrl>

class QComboBox;
class QLineEdit;
class Inet;
class FindFiles;

class TarvellMain : public FadedWindow {
    Q_OBJECT
public:
    static constexpr const char* Title = "Tarvell 1.0 by Orvane";
    static constexpr const char* IdleCaption = "Get HTML Source";
    static constexpr const char* CancelCaption = "Cancel";

    explicit TarvellMain(QWidget* parent = nullptr);
    ~TarvellMain() override;

    // Fade, link list, centring, showing and the animated title; the program's start. Returns
    // once the window shows; the title goes on growing from the event loop.
    void load();

    // Button handlers; a click on a button runs them, and so may other handlers and tests.
    // The file finder opens modally and the handler returns once it is shown. A page loads
    // while the handler that started it has returned; its end is told by the caption. A big
    // page is stripped while the handler has returned too; a click or an Enter meanwhile is
    // carried out once the stripped text is shown.
    void getHtmlSource(); // Lumet1: fetch, or cancel the running fetch
    void findNext();      // Lumet2
    void copyAll();       // Lumet3
    void takeOutHtml();   // Lumet4
    void openUrl();       // Lumet5
    void findFiles();     // Lumet6: opens the file finder on the loaded page
    void replaceAll();    // Lumet7
    void goTo();          // Lumet8
    void about();         // Lumet9

    // Refills the link list from the source box: the page before, then the page's links.
    void LookForFiles();

    // True from the start of a page load until its page and links are shown or it failed.
    [[nodiscard]] bool isLoadingPage() const;

    // The controls, for the handlers above and for tests.
    QComboBox* linkList() const;
    QLineEdit* replaceBox() const;
    QLineEdit* findBox() const;
    SourceBox* sourceBox() const;
    QLineEdit* addressBox() const;
    Inet* transfer() const { return m_transfer; }
    HostedButton fetchButton() const;       // "Get HTML Source", "Cancel" while a page loads
    HostedButton findNextButton() const;    // "Find Next"
    HostedButton copyAllButton() const;     // "Copy All"
    HostedButton takeOutHtmlButton() const; // "Take out HTML"
    HostedButton openUrlButton() const;     // "Open URL"
    HostedButton findFilesButton() const;   // "Find Files"
    HostedButton replaceAllButton() const;  // "Replace All"
    HostedButton goToButton() const;        // "GoTo:"
    HostedButton aboutButton() const;       // "About"
    const QStringList& loadErrors() const { return m_form.errors(); }

    static QString aboutText();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    using Command = void (TarvellMain::*)();
    void bindButtons();
    // Runs a command the user gave, or keeps it for when the strip under way is shown.
    void command(Command handler);
    void stripShown(quint64 setting, SourceBox::Outcome outcome);
    void growTitle();
    void titleClockTicked();
    // The steps of a page load after the fetch: the page is shown, then its links are listed.
    void pageLoaded(const PageResult& page);
    void pageShown(quint64 setting, SourceBox::Outcome outcome);
    // Stops a page load wherever it is, and says whether one was running; nothing is told.
    bool stopPageLoad();
    // A page load that ended without its page: the user is told, and the button reads idle.
    void failPageLoad();
    // A button by its name in the stored layout.
    HostedButton button(const QString& name) const;
    // The link list from links already found in the source box's text.
    void listLinks(QStringList links);

    Form m_form;
    Inet* m_transfer = nullptr; // the window's own transfer component
    PageLoad* m_pageLoad = nullptr;
    PageResult m_loadedPage;    // fetched, while the box takes its text
    quint64 m_awaitedText = 0;  // the box's setting of the loaded page's text, while it runs
    bool m_stopping = false;    // a load is being stopped: its end is not told
    quint64 m_awaitedStrip = 0; // the box's setting of a stripped text, while it is made
    QList<Command> m_commandsAfterStrip; // given while it was made, in their order
    QTimer m_titleClock;
    qsizetype m_titleShown = 0; // characters of the title shown
    double m_titleStepStart = 0;
    QPointer<FindFiles> m_fileFinder;
    QString m_previousPage; // the first entry of the link list, when it is the page before
    QUrl m_pageAddress;     // where the loaded page finally came from, after redirects
};
