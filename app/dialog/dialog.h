#pragma once
// The save window, "Save As...": pick a drive, a folder and a name, and OK fetches the file and
// writes it there. The download it saves is the one the file finder handed over when it opened
// the window; a later download elsewhere in the program cannot change it.

#include "forms/formloader.h"
#include "forms/hostedbutton.h"
#include "widgets/fadedwindow.h"

#include <QString>
#include <QUrl>

class DriveList;
class FileList;
class FolderList;
class Inet;
class QComboBox;
class QLineEdit;
struct TransferResult;

class Dialog : public FadedWindow {
    Q_OBJECT
public:
    static constexpr const char* Caption = "Save As...";
    static constexpr const char* WaitCaption = "Please wait...";
    static constexpr const char* FailureText =
        "There was an error. Please re-check your information (like file paths, file types, etc.)";

    // referrer: the page the file was found on, named to the server as a browser names it.
    explicit Dialog(QUrl referrer = {}, QWidget* parent = nullptr);
    ~Dialog() override;

    // Takes the download (FileURL, FileName, FileExt), centres, sets the pattern, proposes the
    // name and paints the fade.
    void load();

    // Handlers.
    void driveChanged();                         // Drive1
    void folderChanged();                        // Dir1
    void typeClicked();                          // Combo1
    void fileClicked(const QString& name);       // File1
    void fileDoubleClicked(const QString& name); // File1
    void ok();                                   // Lumet1
    void cancel();                               // Lumet2

    [[nodiscard]] bool isSaving() const { return m_saving; }

    DriveList* driveList() const;
    FolderList* folderList() const;
    FileList* fileList() const;
    QLineEdit* nameBox() const;
    QComboBox* typeList() const;
    Inet* transfer() const { return m_transfer; }
    HostedButton okButton() const;
    HostedButton cancelButton() const;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void bindControls();
    void saved(const TransferResult& result);
    void showProgress(qint64 received, qint64 total);
    void backToIdle();

    Form m_form;
    Inet* m_transfer = nullptr; // the window's own transfer component
    QUrl m_referrer;
    QString m_fileUrl;
    QString m_fileExt;
    QString m_finalName;
    bool m_saving = false;
    bool m_closing = false;
};
