#pragma once
// The file finder, "File Options...": the addresses of the files the loaded page refers to, in
// a list the user corrects by hand and ticks, and the commands that download from it. Created
// anew at every opening; its load scans the main window's source as it is at that moment.

#include "main/fadedwindow.h"
#include "platform/formloader.h"
#include "platform/hostedbutton.h"

#include <functional>

class CheckList;
class Inet;

class FindFiles : public FadedWindow {
    Q_OBJECT
public:
    // Reads the main window's source text; the finder reads nothing else of that window.
    using SourceReader = std::function<QString()>;

    explicit FindFiles(SourceReader readSource, QWidget* parent = nullptr);
    ~FindFiles() override;

    // Scan, fade, then the repeats removed. The scan lets events run; the window may be gone
    // when it returns (the caller holds it in a QPointer).
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

    CheckList* List1() const;
    Inet* Inet1() const;
    HostedButton button(const QString& name) const;
    const QStringList& loadErrors() const { return m_form.errors(); }

private:
    void bindButtons();

    SourceReader m_readSource;
    Form m_form;
};
