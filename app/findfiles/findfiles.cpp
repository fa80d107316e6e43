#include "findfiles/findfiles.h"

#include "dialog/dialog.h"
#include "logic/downloadnames.h"
#include "logic/duplicateremoval.h"
#include "logic/fixpath.h"
#include "logic/listediting.h"
#include "logic/programfolder.h"
#include "logic/programstate.h"
#include "logic/referencescanner.h"
#include "logic/textsearch.h"
#include "logic/trimspaces.h"
#include "transfer/filesink.h"
#include "transfer/inet.h"
#include "transfer/transferresult.h"
#include "widgets/checklist.h"
#include "widgets/checklistmodel.h"
#include "widgets/messagebox.h"
#include "widgets/programicon.h"

#include <QCloseEvent>
#include <QDir>
#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <memory>
#include <utility>

FindFiles::FindFiles(SourceReader readSource, QUrl pageAddress, QWidget* parent)
    : FadedWindow(parent)
    , m_readSource(std::move(readSource))
    , m_pageAddress(std::move(pageAddress)) {
    m_transfer = new Inet(this);
    m_form = FormLoader::load(QStringLiteral("FindFiles"), this);
    setWindowIcon(programIcon());
    bindButtons();
}

FindFiles::~FindFiles() = default;

void FindFiles::bindButtons() {
    const QList<QPair<QString, void (FindFiles::*)()>> handlers = {
        {"Lumet5", &FindFiles::download}, {"Lumet1", &FindFiles::downloadChecked},
        {"Lumet4", &FindFiles::editItem}, {"Lumet6", &FindFiles::removeItem},
        {"Lumet2", &FindFiles::replace},  {"Lumet3", &FindFiles::exit},
    };
    for (const auto& [name, handler] : handlers) {
        auto method = handler;
        button(name).onClick(this, [this, method] { (this->*method)(); });
    }
    connect(transfer(), &Inet::finished, this, &FindFiles::downloadFinished);
    connect(transfer(), &Inet::progress, this, &FindFiles::downloadProgress);
    CheckListModel* entries = entryList()->entries();
    connect(entries, &QAbstractItemModel::rowsRemoved, this,
            [this](const QModelIndex&, int first, int last) {
                entriesMoved(first, -(last - first + 1));
            });
    connect(
        entries, &QAbstractItemModel::rowsInserted, this,
        [this](const QModelIndex&, int first, int last) { entriesMoved(first, last - first + 1); });
}

void FindFiles::load() {
    LookForFiles();
    fadeform();
    LBDupe();
    showLoadErrors(this, m_form);
}

void FindFiles::LookForFiles() {
    const QString source = m_readSource ? m_readSource() : QString();
    entryList()->addEntries(scanFileReferences(source, Program::BaseURL));
}

void FindFiles::LBDupe() {
    entryList()->keepRows(firstCopies(entryList()->texts()));
}

// ---- List editing ----

void FindFiles::editItem() {
    const int row = entryList()->highlighted();
    if (row < 0)
        return;
    QPointer<FindFiles> self(this);
    const InputAnswer answer = MessageBox::input(
        this, QStringLiteral("Change to:"), QStringLiteral("Edit Item"), entryList()->text(row));
    // The entry keeps its place and its tick; an empty answer is a change of mind.
    if (self && answer.accepted && !answer.text.isEmpty())
        entryList()->setText(row, answer.text);
}

void FindFiles::removeItem() {
    const int row = entryList()->highlighted();
    if (row >= 0)
        entryList()->removeEntry(row);
}

void FindFiles::replace() {
    QPointer<FindFiles> self(this);
    const QString title = QStringLiteral("Replace");
    const InputAnswer find =
        MessageBox::input(this, QStringLiteral("The text you want to replace:"), title, QString());
    if (!self || !find.accepted || find.text.isEmpty())
        return;
    const InputAnswer with =
        MessageBox::input(this, replaceWithPrompt(find.text), title, QString());
    if (!self || !with.accepted || with.text.isEmpty())
        return;
    const QString replacement = replacementText(with.text);
    // Ticked or not, every entry; one that becomes empty stays in the list.
    for (int row = 0; row < entryList()->count(); ++row)
        entryList()->setText(row,
                             replaceAllOccurrences(entryList()->text(row), find.text, replacement));
}

void FindFiles::exit() {
    // Closing cancels the transfer, after it has ended the run: cancelled first, a run would
    // start its next entry in the moment before the window goes.
    close();
}

void FindFiles::closeEvent(QCloseEvent* event) {
    // A run ends with its window: the transfer stops and no later entry is fetched.
    m_run = RunState::Idle;
    m_current = QPersistentModelIndex();
    transfer()->cancel();
    FadedWindow::closeEvent(event);
}

// ---- Downloads ----

void FindFiles::download() {
    const int row = entryList()->highlighted();
    if (row < 0)
        return;
    // The entry as it stands: a leading "..." or "/" reaches the save window unchanged.
    Program::FileURL = trimSpaces(entryList()->text(row));
    Program::FileName = fileNameOf(Program::FileURL);
    Program::FileExt = fileExtOf(Program::FileName);
    auto* dialog = new Dialog(m_pageAddress, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::ApplicationModal);
    dialog->load();
    dialog->show();
}

void FindFiles::downloadChecked() {
    switch (m_run) {
    case RunState::Running:
        // This click means cancel: the transfer in progress ends; the rest of the run goes on.
        m_run = RunState::Finishing;
        showRunState();
        transfer()->cancel();
        return;
    case RunState::Asking:
    case RunState::Finishing:
        return;
    case RunState::Idle:
        break;
    }

    const CheckedRunFolder runFolder = checkedRunFolder();
    if (runFolder.path.isEmpty()) {
        MessageBox::show(this,
                         QStringLiteral("This copy of Tarvell cannot save into its own folder, and "
                                        "the desktop names no download folder to save into."),
                         MessageButtons::Ok, MessageIcon::Stop);
        return;
    }
    QString folder = runFolder.path;
    FixPath(folder);
    m_run = RunState::Asking;
    QPointer<FindFiles> self(this);
    const MessageAnswer answer =
        MessageBox::show(this, checkedDownloadQuestion(folder, runFolder.isProgramFolder),
                         MessageButtons::YesNo, MessageIcon::None);
    // The window may have closed, and with it ended the run, while the question was open.
    if (!self || m_run != RunState::Asking)
        return;
    if (answer == MessageAnswer::No) {
        m_run = RunState::Idle;
        return;
    }
    if (!runFolder.isProgramFolder)
        QDir().mkpath(runFolder.path); // where it fails, each file says why
    m_run = RunState::Running;
    showRunState();
    m_runFolder = folder;
    m_runEnd = entryList()->count();
    m_nextRow = 0;
    m_reached = 0;
    m_failed = 0;
    m_cancelled = 0;
    for (int row = 0; row < m_runEnd; ++row) {
        if (entryList()->isTicked(row))
            entryList()->entries()->setStatus(row, QStringLiteral("waiting"));
    }
    startNextDownload();
}

void FindFiles::showRunState() {
    HostedButton runButton = downloadCheckedButton();
    runButton.setCaption(m_run == RunState::Running ? QStringLiteral("Cancel")
                                                    : QStringLiteral("D/L Checked"));
    runButton.setEnabled(m_run != RunState::Finishing);
}

void FindFiles::startNextDownload() {
    CheckListModel* entries = entryList()->entries();
    while (m_run == RunState::Running || m_run == RunState::Finishing) {
        // Entries removed while the run waited are not read past the end of the list.
        if (m_nextRow >= std::min(m_runEnd, entryList()->count())) {
            endRun();
            return;
        }
        const int row = m_nextRow++;
        if (!entryList()->isTicked(row)) {
            entries->setStatus(row, QString()); // unticked while it waited
            continue;
        }
        ++m_reached;
        const QString address = checkedEntryAddress(entryList()->text(row));
        Program::FileURL = address;
        Program::FileName = fileNameOf(address);
        QString refused = refusedNameReason(Program::FileName);
        if (refused.isEmpty() && isProgramFileName(Program::FileName))
            refused = QStringLiteral("\"%1\" is one of Tarvell's own files; a download never "
                                     "replaces it.")
                          .arg(Program::FileName);
        const QString target = m_runFolder + Program::FileName;
        if (refused.isEmpty()) {
            if (const std::optional<TransferFailure> failure = FileSink::refusal(target))
                refused = failure->message();
        }
        if (!refused.isEmpty()) {
            markFailed(row, refused);
            continue;
        }
        m_current = QPersistentModelIndex(entries->index(row));
        m_currentTarget = target;
        entries->setStatus(row, QStringLiteral("fetching"));
        transfer()->prepare(0);
        transfer()->start(address, std::make_unique<FileSink>(m_currentTarget),
                          {m_pageAddress, true});
        return;
    }
}

void FindFiles::downloadProgress(qint64 received, qint64 total) {
    if (!m_current.isValid())
        return;
    const QString share = total > 0 ? QStringLiteral("fetching %1%").arg(received * 100 / total)
                                    : QStringLiteral("fetching %1 KB").arg(received / 1024);
    entryList()->entries()->setStatus(m_current.row(), share);
}

void FindFiles::downloadFinished(const TransferResult& result) {
    if (m_run != RunState::Running && m_run != RunState::Finishing)
        return;
    const int row = m_current.isValid() ? m_current.row() : -1;
    m_current = QPersistentModelIndex();
    if (result.succeeded()) {
        entryList()->entries()->setStatus(
            row, QStringLiteral("saved"),
            QStringLiteral("Saved as %1").arg(QDir::toNativeSeparators(m_currentTarget)));
    } else if (result.failure->kind() == TransferFailure::Kind::Cancelled) {
        // The user's own choice, not a fault: told apart from the files that failed.
        ++m_cancelled;
        entryList()->entries()->setStatus(
            row, QStringLiteral("cancelled"),
            QStringLiteral("You cancelled this download; nothing of it "
                           "was saved."));
    } else {
        markFailed(row, result.failure->message());
    }
    startNextDownload();
}

void FindFiles::markFailed(int row, const QString& reason) {
    ++m_failed;
    entryList()->entries()->setStatus(row, QStringLiteral("failed"), reason);
}

void FindFiles::entriesMoved(int first, int count) {
    if (m_run != RunState::Running && m_run != RunState::Finishing)
        return;
    // Removed (count < 0) or inserted in front of a mark, entries move the mark with them; the
    // entry being fetched may itself be gone, and the one that took its place comes next.
    const auto move = [first, count](int& mark) {
        if (first < mark)
            mark += count < 0 ? -(std::min(mark, first - count) - first) : count;
    };
    move(m_nextRow);
    move(m_runEnd);
}

void FindFiles::endRun() {
    const int failed = m_failed;
    const int cancelled = m_cancelled;
    const int reached = m_reached;
    m_run = RunState::Idle;
    showRunState();
    if (failed == 0)
        return;
    QString text = QStringLiteral("%1 of the %2 ticked files could not be downloaded")
                       .arg(failed)
                       .arg(reached);
    if (cancelled > 0)
        text += (cancelled == 1 ? QStringLiteral(", and 1 was cancelled")
                                : QStringLiteral(", and %1 were cancelled").arg(cancelled));
    text += QStringLiteral(". Rest the pointer on an entry marked \"failed\" to see why.");
    // Told once the run has unwound, not from inside the transfer's own finishing.
    QTimer::singleShot(0, this, [this, text] {
        MessageBox::show(this, text, MessageButtons::Ok, MessageIcon::Stop);
    });
}

// ---- Controls ----

CheckList* FindFiles::entryList() const {
    return m_form.get<CheckList>(QStringLiteral("List1"));
}

HostedButton FindFiles::button(const QString& name) const {
    return m_form.button(name);
}

HostedButton FindFiles::downloadButton() const {
    return button(QStringLiteral("Lumet5"));
}

HostedButton FindFiles::downloadCheckedButton() const {
    return button(QStringLiteral("Lumet1"));
}

HostedButton FindFiles::editButton() const {
    return button(QStringLiteral("Lumet4"));
}

HostedButton FindFiles::removeButton() const {
    return button(QStringLiteral("Lumet6"));
}

HostedButton FindFiles::replaceButton() const {
    return button(QStringLiteral("Lumet2"));
}

HostedButton FindFiles::exitButton() const {
    return button(QStringLiteral("Lumet3"));
}
