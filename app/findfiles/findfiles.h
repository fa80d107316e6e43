#pragma once
// The file finder, "File Options...": the addresses of the files the loaded page refers to, in
// a list the user corrects by hand and ticks, and the commands that download from it. Created
// anew at every opening; its load scans the main window's source as it is at that moment.

#include "forms/formloader.h"
#include "forms/hostedbutton.h"
#include "widgets/fadedwindow.h"

#include <QPersistentModelIndex>
#include <QUrl>

#include <functional>

class CheckList;
class Inet;
struct TransferResult;

class FindFiles : public FadedWindow {
    Q_OBJECT
public:
    // Reads the main window's source text; the finder reads nothing else of that window.
    using SourceReader = std::function<QString()>;

    // pageAddress is where the loaded page finally came from: its downloads name it as their
    // Referer, as a browser's would.
    FindFiles(SourceReader readSource, QUrl pageAddress, QWidget* parent = nullptr);
    ~FindFiles() override;

    // Scan, fade, then the repeats removed. A control that could not be made is reported in a
    // message box, which lets events run: the window may be gone when it returns (the caller
    // holds it in a QPointer).
    void load();

    // Fills List1 with the addresses of the page's files, repeats included.
    void LookForFiles();
    // Removes every entry equal to one before it.
    void LBDupe();

    // Button handlers.
    void download();        // Lumet5
    void downloadChecked(); // Lumet1
    void editItem();        // Lumet4
    void removeItem();      // Lumet6
    void replace();         // Lumet2
    void exit();            // Lumet3

    // Where "D/L Checked" stands. Its button reads "Cancel" only while Running; after a cancel
    // the run fetches the remaining entries with the button back at "D/L Checked" but disabled,
    // so that no second run can start inside the first.
    enum class RunState { Idle, Asking, Running, Finishing };
    [[nodiscard]] RunState runState() const { return m_run; }

    CheckList* entryList() const;
    Inet* transfer() const { return m_transfer; }
    HostedButton downloadButton() const;        // "Download"
    HostedButton downloadCheckedButton() const; // "D/L Checked", "Cancel" while a run fetches
    HostedButton editButton() const;            // "Edit Item"
    HostedButton removeButton() const;          // "Remove Item"
    HostedButton replaceButton() const;         // "Replace"
    HostedButton exitButton() const;            // "Exit"
    const QStringList& loadErrors() const { return m_form.errors(); }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void bindButtons();
    // A button by its name in the stored layout.
    HostedButton button(const QString& name) const;
    void showRunState();
    void startNextDownload();
    void downloadProgress(qint64 received, qint64 total);
    void downloadFinished(const TransferResult& result);
    void markFailed(int row, const QString& reason);
    void entriesMoved(int first, int count);
    void endRun();

    SourceReader m_readSource;
    QUrl m_pageAddress;
    Form m_form;
    Inet* m_transfer = nullptr; // the window's own transfer component

    RunState m_run = RunState::Idle;
    QString m_runFolder; // where the run saves, ending in its separator
    // Entries at the start of the run, later ones are not read; and the entry after the one the
    // run last reached. Both move with the entries when some are removed during the run.
    int m_runEnd = 0;
    int m_nextRow = 0;
    int m_reached = 0; // ticked entries the run has come to
    int m_failed = 0;
    int m_cancelled = 0;
    QPersistentModelIndex m_current; // the entry being fetched, wherever edits move it
    QString m_currentTarget;         // and the file it goes to
};
