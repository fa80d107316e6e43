#include "dialog/dialog.h"

#include "dialog/fixpath.h"
#include "findfiles/downloadnames.h"
#include "main/programstate.h"
#include "platform/drivelist.h"
#include "platform/filelist.h"
#include "platform/filesink.h"
#include "platform/folderlist.h"
#include "platform/inet.h"
#include "platform/messagebox.h"
#include "platform/screencentre.h"
#include "platform/transferresult.h"
#include "scan/trimspaces.h"

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
    m_form = FormLoader::load(QStringLiteral("Dialog"), this);
    setWindowIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
    bindControls();
}

Dialog::~Dialog() = default;

void Dialog::bindControls() {
    connect(Drive1(), &DriveList::driveChanged, this, &Dialog::driveChanged);
    connect(Dir1(), &FolderList::pathChanged, this, &Dialog::folderChanged);
    connect(Combo1(), &QComboBox::activated, this, &Dialog::typeClicked);
    connect(File1(), &FileList::fileClicked, this, &Dialog::fileClicked);
    connect(File1(), &FileList::fileDoubleClicked, this, &Dialog::fileDoubleClicked);
    button(QStringLiteral("Lumet1")).onClick(this, [this] { ok(); });
    button(QStringLiteral("Lumet2")).onClick(this, [this] { cancel(); });
    connect(Inet1(), &Inet::finished, this, &Dialog::saved);
    connect(Inet1(), &Inet::progress, this, &Dialog::showProgress);
}

void Dialog::load() {
    // Taken now: a run of "D/L Checked" going on behind this window rewrites the shared texts
    // for every file it fetches.
    m_fileUrl = Program::FileURL;
    m_fileExt = Program::FileExt;
    centreOnScreen(this);
    File1()->setPath(Dir1()->path());
    File1()->setPattern(QStringLiteral("*.*"));
    Combo1()->addItem(QStringLiteral("*.*"));
    Combo1()->setCurrentIndex(0);
    typeClicked();
    Text1()->setText(Program::FileName);
    fadeform();
    showLoadErrors(this, m_form);
}

// ---- Keeping the lists in step ----

void Dialog::driveChanged() {
    // A drive without a medium, or one that cannot be read: back to the folder's own drive.
    if (!Dir1()->setPath(Drive1()->drive()))
        Drive1()->setDriveOf(Dir1()->path());
}

void Dialog::folderChanged() {
    File1()->setPath(Dir1()->path());
}

void Dialog::typeClicked() {
    File1()->setPattern(Combo1()->currentText());
}

void Dialog::fileClicked(const QString& name) {
    Text1()->setText(name);
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
    const QString typed = Text1()->text();
    if (trimSpaces(typed).isEmpty())
        return;
    const QString name = finalName(typed, m_fileExt);
    QString folder = Dir1()->path();
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
    button(QStringLiteral("Lumet1")).setEnabled(false);
    auto sink = std::make_unique<FileSink>(fullPath);
    sink->replaceOnly(agreed);
    Inet1()->prepare(0);
    Inet1()->start(m_fileUrl, std::move(sink), {m_referrer, true});
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
    if (m_finalName != Text1()->text())
        Text1()->setText(m_finalName);
    close();
}

void Dialog::backToIdle() {
    m_saving = false;
    setWindowTitle(QString::fromLatin1(Caption));
    button(QStringLiteral("Lumet1")).setEnabled(true);
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
    Inet1()->cancel();
    FadedWindow::closeEvent(event);
}

// ---- Controls ----

DriveList* Dialog::Drive1() const {
    return m_form.get<DriveList>(QStringLiteral("Drive1"));
}

FolderList* Dialog::Dir1() const {
    return m_form.get<FolderList>(QStringLiteral("Dir1"));
}

FileList* Dialog::File1() const {
    return m_form.get<FileList>(QStringLiteral("File1"));
}

QLineEdit* Dialog::Text1() const {
    return m_form.get<QLineEdit>(QStringLiteral("Text1"));
}

QComboBox* Dialog::Combo1() const {
    return m_form.get<QComboBox>(QStringLiteral("Combo1"));
}

Inet* Dialog::Inet1() const {
    return m_form.inet(QStringLiteral("Inet1"));
}

HostedButton Dialog::button(const QString& name) const {
    return m_form.button(name);
}
