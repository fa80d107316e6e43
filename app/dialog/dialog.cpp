#include "dialog/dialog.h"

#include "forms/screencentre.h"
#include "logic/downloadnames.h"
#include "logic/fixpath.h"
#include "logic/programstate.h"
#include "logic/trimspaces.h"
#include "transfer/filesink.h"
#include "transfer/inet.h"
#include "transfer/transferresult.h"
#include "widgets/drivelist.h"
#include "widgets/filelist.h"
#include "widgets/folderlist.h"
#include "widgets/messagebox.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QStyle>

#include <memory>
#include <utility>

Dialog::Dialog(QUrl referrer, QWidget* parent)
    : FadedWindow(parent)
    , m_referrer(std::move(referrer)) {
    m_transfer = new Inet(this);
    m_form = FormLoader::load(QStringLiteral("Dialog"), this);
    setWindowIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
    bindControls();
}

Dialog::~Dialog() = default;

void Dialog::bindControls() {
    connect(driveList(), &DriveList::driveChanged, this, &Dialog::driveChanged);
    connect(folderList(), &FolderList::pathChanged, this, &Dialog::folderChanged);
    connect(typeList(), &QComboBox::activated, this, &Dialog::typeClicked);
    connect(fileList(), &FileList::fileClicked, this, &Dialog::fileClicked);
    connect(fileList(), &FileList::fileDoubleClicked, this, &Dialog::fileDoubleClicked);
    okButton().onClick(this, [this] { ok(); });
    cancelButton().onClick(this, [this] { cancel(); });
    connect(transfer(), &Inet::finished, this, &Dialog::saved);
    connect(transfer(), &Inet::progress, this, &Dialog::showProgress);
}

void Dialog::load() {
    // Taken now: a run of "D/L Checked" going on behind this window rewrites the shared texts
    // for every file it fetches.
    m_fileUrl = Program::FileURL;
    m_fileExt = Program::FileExt;
    centreOnScreen(this);
    fileList()->setPath(folderList()->path());
    fileList()->setPattern(QStringLiteral("*.*"));
    typeList()->addItem(QStringLiteral("*.*"));
    typeList()->setCurrentIndex(0);
    typeClicked();
    nameBox()->setText(Program::FileName);
    fadeform();
    showLoadErrors(this, m_form);
}

// ---- Keeping the lists in step ----

void Dialog::driveChanged() {
    // A drive without a medium, or one that cannot be read: back to the folder's own drive.
    if (!folderList()->setPath(driveList()->drive()))
        driveList()->setDriveOf(folderList()->path());
}

void Dialog::folderChanged() {
    fileList()->setPath(folderList()->path());
}

void Dialog::typeClicked() {
    fileList()->setPattern(typeList()->currentText());
}

void Dialog::fileClicked(const QString& name) {
    nameBox()->setText(name);
}

void Dialog::fileDoubleClicked(const QString& name) {
    fileClicked(name);
    ok();
}

// ---- Saving ----

void Dialog::ok() {
    // A second request while a file arrives (a double-click in the file list) is ignored.
    if (m_saving)
        return;
    const QString typed = nameBox()->text();
    if (trimSpaces(typed).isEmpty())
        return;
    const QString name = finalName(typed, m_fileExt);
    QString folder = folderList()->path();
    // Fixed here: whatever the user changes in the window while the file arrives, it goes here.
    const QString fullPath = FixPath(folder) + name;
    QPointer<Dialog> self(this);
    // Refused before anything is fetched: a name that leaves the folder, a folder, a link, a
    // read-only file.
    if (!refusedNameReason(name).isEmpty() || FileSink::refusal(fullPath)) {
        MessageBox::show(this, QString::fromLatin1(FailureText), MessageButtons::Ok,
                         MessageIcon::Stop);
        return;
    }
    // Hidden files are asked about too: replacing one unasked would lose it as surely. What the
    // question is about is what the save may replace; a file that takes the name meanwhile is
    // kept.
    const FileSink::Target agreed = FileSink::Target::at(fullPath);
    if (agreed.exists) {
        const MessageAnswer answer = MessageBox::show(
            this, QStringLiteral("This file already exists. Do you want to replace it?"),
            MessageButtons::YesNo, MessageIcon::None);
        if (!self || answer == MessageAnswer::No)
            return;
    }

    m_saving = true;
    m_finalName = name;
    setWindowTitle(QString::fromLatin1(WaitCaption));
    okButton().setEnabled(false);
    auto sink = std::make_unique<FileSink>(fullPath);
    sink->replaceOnly(agreed);
    transfer()->prepare(0);
    transfer()->start(m_fileUrl, std::move(sink), {m_referrer, true});
}

void Dialog::showProgress(qint64 received, qint64 total) {
    if (!m_saving || m_closing)
        return;
    const QString share = total > 0 ? QStringLiteral(" %1%").arg(received * 100 / total)
                                    : QStringLiteral(" %1 KB").arg(received / 1024);
    setWindowTitle(QString::fromLatin1(WaitCaption) + share);
}

void Dialog::saved(const TransferResult& result) {
    // A cancel closes the window and tells the user itself.
    if (!m_saving || m_closing)
        return;
    if (!result.succeeded()) {
        QPointer<Dialog> self(this);
        MessageBox::show(this, QString::fromLatin1(FailureText), MessageButtons::Ok,
                         MessageIcon::Stop);
        if (self)
            backToIdle();
        return;
    }
    m_saving = false;
    if (m_finalName != nameBox()->text())
        nameBox()->setText(m_finalName);
    close();
}

void Dialog::backToIdle() {
    m_saving = false;
    setWindowTitle(QString::fromLatin1(Caption));
    okButton().setEnabled(true);
}

void Dialog::cancel() {
    const bool wasSaving = m_saving;
    QPointer<QWidget> opener = parentWidget();
    close();
    // The interrupted save failed, and says so once the window is gone; nothing was written.
    if (wasSaving)
        MessageBox::show(opener, QString::fromLatin1(FailureText), MessageButtons::Ok,
                         MessageIcon::Stop);
}

void Dialog::closeEvent(QCloseEvent* event) {
    // Closed by Cancel or by its title bar: a file still arriving is abandoned, and the file
    // already under its name keeps its content.
    m_closing = true;
    transfer()->cancel();
    FadedWindow::closeEvent(event);
}

// ---- Controls ----

DriveList* Dialog::driveList() const {
    return m_form.get<DriveList>(QStringLiteral("Drive1"));
}

FolderList* Dialog::folderList() const {
    return m_form.get<FolderList>(QStringLiteral("Dir1"));
}

FileList* Dialog::fileList() const {
    return m_form.get<FileList>(QStringLiteral("File1"));
}

QLineEdit* Dialog::nameBox() const {
    return m_form.get<QLineEdit>(QStringLiteral("Text1"));
}

QComboBox* Dialog::typeList() const {
    return m_form.get<QComboBox>(QStringLiteral("Combo1"));
}

HostedButton Dialog::okButton() const {
    return m_form.button(QStringLiteral("Lumet1"));
}

HostedButton Dialog::cancelButton() const {
    return m_form.button(QStringLiteral("Lumet2"));
}
