#include "main/tarvellmain.h"

#include "findfiles/findfiles.h"
#include "forms/screencentre.h"
#include "logic/baseurl.h"
#include "logic/duplicateremoval.h"
#include "logic/linkresolution.h"
#include "logic/pagetuning.h"
#include "logic/programstate.h"
#include "logic/referencescanner.h"
#include "logic/tagstripper.h"
#include "logic/textsearch.h"
#include "logic/trimspaces.h"
#include "logic/typedaddress.h"
#include "transfer/inet.h"
#include "transfer/pageload.h"
#include "widgets/messagebox.h"
#include "widgets/nativewindowwatch.h"
#include "widgets/programicon.h"
#include "widgets/sourcebox.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSet>
#include <QStringListModel>
#include <QTime>
#include <QTimer>

#include <algorithm>

namespace {

// One step of the title animation lasts this long: far below the clock's resolution, so a step
// lasts until the clock reading changes.
constexpr double kTitleStepSeconds = 1E-17;

// The clock the title animation waits on: seconds since midnight, single precision, so one
// step lasts until the clock reading changes.
double clockSeconds() {
    return static_cast<float>(QTime::currentTime().msecsSinceStartOfDay() / 1000.0);
}

} // namespace

TarvellMain::TarvellMain(QWidget* parent)
    : FadedWindow(parent) {
    m_transfer = new Inet(this);
    m_pageLoad = new PageLoad(m_transfer, this);
    connect(m_pageLoad, &PageLoad::finished, this, &TarvellMain::pageLoaded);
    // A tick of the clock is seen within a millisecond, without spinning in between.
    m_titleClock.setTimerType(Qt::PreciseTimer);
    m_titleClock.setInterval(1);
    connect(&m_titleClock, &QTimer::timeout, this, &TarvellMain::titleClockTicked);
    m_form = FormLoader::load(QStringLiteral("TarvellMain"), this);
    setWindowIcon(programIcon());
    if (linkList())
        linkList()->setModel(new QStringListModel(linkList()));
    bindButtons();
    if (addressBox())
        addressBox()->installEventFilter(this);
    if (sourceBox()) {
        connect(sourceBox(), &SourceBox::textSet, this, &TarvellMain::pageShown);
        connect(sourceBox(), &SourceBox::textSet, this, &TarvellMain::stripShown);
    }
    // The run ends with this window, however it went.
    connect(new NativeWindowWatch(this), &NativeWindowWatch::destroyedOutside, this, [this] {
        close();
        QCoreApplication::quit();
    });
}

TarvellMain::~TarvellMain() = default;

void TarvellMain::bindButtons() {
    const QList<QPair<QString, void (TarvellMain::*)()>> handlers = {
        {"Lumet1", &TarvellMain::getHtmlSource}, {"Lumet2", &TarvellMain::findNext},
        {"Lumet3", &TarvellMain::copyAll},       {"Lumet4", &TarvellMain::takeOutHtml},
        {"Lumet5", &TarvellMain::openUrl},       {"Lumet6", &TarvellMain::findFiles},
        {"Lumet7", &TarvellMain::replaceAll},    {"Lumet8", &TarvellMain::goTo},
        {"Lumet9", &TarvellMain::about},
    };
    for (const auto& [name, handler] : handlers) {
        auto method = handler;
        button(name).onClick(this, [this, method] { command(method); });
    }
}

void TarvellMain::command(Command handler) {
    // While a big page is stripped aside, the user's commands wait their turn, as they would
    // behind a strip that simply ran: each acts on the text the ones before it left. The window
    // meanwhile goes on drawing.
    if (m_awaitedStrip != 0) {
        m_commandsAfterStrip.append(handler);
        return;
    }
    (this->*handler)();
}

void TarvellMain::stripShown(quint64 setting, SourceBox::Outcome outcome) {
    if (setting != m_awaitedStrip)
        return;
    m_awaitedStrip = 0;
    const QPointer<TarvellMain> self(this);
    // Out of memory: the box keeps the text it had, and the user is told.
    if (outcome == SourceBox::Outcome::Failed)
        MessageBox::show(this, QStringLiteral("There was an error."), MessageButtons::Ok,
                         MessageIcon::Stop);
    while (self && m_awaitedStrip == 0 && !m_commandsAfterStrip.isEmpty())
        (this->*m_commandsAfterStrip.takeFirst())();
}

void TarvellMain::load() {
    fadeform();
    linkList()->addItem(QString());
    centreOnScreen(this);
    show();

    showLoadErrors(this, m_form);

    // The title grows from the right, one character per tick of the clock.
    m_titleShown = 0;
    growTitle();
}

void TarvellMain::growTitle() {
    const QString title = QString::fromLatin1(Title);
    ++m_titleShown;
    setWindowTitle(title.right(m_titleShown));
    if (m_titleShown >= title.size()) {
        m_titleClock.stop();
        return;
    }
    m_titleStepStart = clockSeconds();
    m_titleClock.start();
}

void TarvellMain::titleClockTicked() {
    double elapsed = clockSeconds() - m_titleStepStart;
    // Past midnight the clock starts again from zero; count on from the day before.
    if (elapsed < 0)
        elapsed += 24 * 60 * 60;
    if (elapsed >= kTitleStepSeconds)
        growTitle();
}

bool TarvellMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == addressBox() && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            command(&TarvellMain::getHtmlSource);
            // Not swallowed: the address box still receives its Enter.
            return false;
        }
    }
    return FadedWindow::eventFilter(watched, event);
}

void TarvellMain::closeEvent(QCloseEvent* event) {
    // The run ends with this window: a page still loading would keep the program alive unseen
    // until the server answers or stalls. Nobody is left to be told.
    if (stopPageLoad())
        fetchButton().setCaption(QString::fromLatin1(IdleCaption));
    // Nor is anybody left to carry out what was clicked while a big page was being stripped.
    m_commandsAfterStrip.clear();
    FadedWindow::closeEvent(event);
}

// ---- Page retrieval ----

void TarvellMain::getHtmlSource() {
    HostedButton button = fetchButton();
    if (button.caption() != QLatin1String(IdleCaption)) {
        // A second click while a page loads: the window stays as it was before the load, but
        // for its folder address, which goes; then the load is told as failed, as any
        // transfer that ends before its page is whole.
        button.setEnabled(false);
        const bool stopped = stopPageLoad();
        Program::BaseURL.clear();
        button.setEnabled(true);
        button.setCaption(QString::fromLatin1(IdleCaption));
        if (stopped)
            failPageLoad();
        return;
    }
    button.setCaption(QString::fromLatin1(CancelCaption));
    sourceBox()->setSourceText(QStringLiteral("Please wait..."));
    transfer()->prepare(0);
    if (!m_pageLoad->start(addressBox()->text()))
        failPageLoad();
}

bool TarvellMain::stopPageLoad() {
    const bool running = m_pageLoad->isRunning() || m_awaitedText != 0;
    m_stopping = true;
    m_pageLoad->cancel();
    m_stopping = false;
    if (m_awaitedText != 0)
        sourceBox()->cancelTextAside();
    m_awaitedText = 0;
    m_loadedPage = PageResult();
    return running;
}

void TarvellMain::pageLoaded(const PageResult& page) {
    if (m_stopping)
        return;
    if (!page.succeeded()) {
        failPageLoad();
        return;
    }
    m_loadedPage = page;
    m_awaitedText = sourceBox()->setSourceTextAside(page.text);
}

void TarvellMain::pageShown(quint64 setting, SourceBox::Outcome outcome) {
    if (setting != m_awaitedText)
        return;
    m_awaitedText = 0;
    const PageResult page = std::exchange(m_loadedPage, PageResult());
    // The page's links are relative to where it finally came from, after any redirect; the
    // address box and the previous-page entry keep what the user typed.
    const std::optional<QString> folder = folderAddress(page.address.toString());
    if (outcome == SourceBox::Outcome::Failed || !folder) {
        failPageLoad();
        return;
    }
    Program::BaseURL = *folder;
    m_pageAddress = page.address;
    linkList()->clear();
    if (outcome == SourceBox::Outcome::Shown) {
        m_previousPage = Program::PageURL;
        listLinks(page.links);
    } else {
        // The box shows another text than the page's: its links are searched in what it shows.
        LookForFiles();
    }
    Program::PageURL = addressBox()->text();
    fetchButton().setCaption(QString::fromLatin1(IdleCaption));
}

void TarvellMain::failPageLoad() {
    m_awaitedText = 0;
    m_loadedPage = PageResult();
    // A window closed while its page loaded has nobody left to tell.
    if (isVisible()) {
        const QPointer<TarvellMain> self(this);
        MessageBox::show(this, QStringLiteral("There was an error."), MessageButtons::Ok,
                         MessageIcon::Stop);
        if (!self)
            return;
    }
    fetchButton().setCaption(QString::fromLatin1(IdleCaption));
}

void TarvellMain::LookForFiles() {
    m_previousPage = Program::PageURL;
    listLinks(scanPageLinks(sourceBox()->sourceText()));
}

void TarvellMain::listLinks(QStringList links) {
    // In front: whatever the list still holds (a caller of LookForFiles may not have cleared it),
    // then the page before. Those few are the only repeats the scan's own entries can have.
    QStringList all;
    for (int i = 0; i < linkList()->count(); ++i)
        all << linkList()->itemText(i);
    if (!Program::PageURL.isEmpty())
        all << Program::PageURL;
    const QStringList front = withoutDuplicates(all);
    // Usually one entry in front, the page before: compared directly, not hashed per link.
    const QSet<QString> inFront =
        front.size() > 4 ? QSet<QString>(front.cbegin(), front.cend()) : QSet<QString>();
    const auto isInFront = [&front, &inFront](const QString& link) {
        if (front.size() > 4)
            return inFront.contains(link);
        return std::any_of(front.cbegin(), front.cend(),
                           [&link](const QString& entry) { return entry == link; });
    };
    all = front;
    all.reserve(front.size() + links.size());
    // Moved, not copied: a copy would touch every entry's characters.
    for (QString& link : links) {
        if (!isInFront(link))
            all << std::move(link);
    }
    // The whole list in one go: a hundred thousand links added one by one cost more than the
    // scan that found them.
    if (auto* links = qobject_cast<QStringListModel*>(linkList()->model()))
        links->setStringList(all);
    else
        linkList()->addItems(all);
    if (linkList()->count() > 0)
        linkList()->setCurrentIndex(0);
}

void TarvellMain::goTo() {
    if (linkList()->currentIndex() < 0)
        return;
    const QString entry = trimSpaces(linkList()->currentText());
    if (entry.isEmpty())
        return;
    // The previous page is an address as the user typed it, not a link of this page: typed
    // without a scheme ("host:port/page") it would otherwise be put behind this page's folder.
    const bool previousPage = linkList()->currentIndex() == 0 && !m_previousPage.isEmpty() &&
                              entry == trimSpaces(m_previousPage);
    addressBox()->setText(previousPage ? entry : resolveLink(entry, Program::BaseURL));
    getHtmlSource();
}

// ---- Text tools ----

void TarvellMain::findNext() {
    const QString source = sourceBox()->sourceText();
    const QString needle = findBox()->text();
    const SourceBox::Selection selected = sourceBox()->selection();
    const std::optional<qsizetype> match =
        findNextMatch(source, needle, selected.start, selected.length);
    if (match) {
        sourceBox()->setSelection(*match, needle.size());
        return;
    }
    QPointer<TarvellMain> self(this);
    MessageBox::show(this, QStringLiteral("Finished searching text."), MessageButtons::Ok,
                     MessageIcon::Question);
    if (self)
        sourceBox()->setSelection(0, 0);
}

void TarvellMain::replaceAll() {
    QPointer<TarvellMain> self(this);
    const MessageAnswer answer =
        MessageBox::show(this, replaceConfirmationPrompt(findBox()->text(), replaceBox()->text()),
                         MessageButtons::YesNo, MessageIcon::None);
    if (!self || answer == MessageAnswer::No)
        return;
    sourceBox()->setSourceText(
        replaceAllOccurrences(sourceBox()->sourceText(), findBox()->text(), replaceBox()->text()));
}

void TarvellMain::takeOutHtml() {
    const QString text = sourceBox()->sourceText();
    if (text.size() <= PageTuning::kStrippedWhereItStandsLength) {
        sourceBox()->setSourceText(::takeOutHtml(text));
        return;
    }
    // Stripped on a worker and put in the box there; the box is read-only until it is shown.
    m_awaitedStrip = sourceBox()->setSourceTextAside(text, &::takeOutHtml);
}

void TarvellMain::copyAll() {
    const QString text = sourceBox()->sourceText();
    sourceBox()->setSelection(0, text.size());
    QClipboard* clipboard = QApplication::clipboard();
    clipboard->clear();
    clipboard->setText(text);
}

void TarvellMain::openUrl() {
    // Read as the fetch reads it: what can be fetched can be opened, and nothing else.
    const std::optional<QUrl> address = readTypedAddress(addressBox()->text());
    if (address && QDesktopServices::openUrl(*address))
        return;
    MessageBox::show(this, QStringLiteral("There was an error in opening the default browser."),
                     MessageButtons::Ok, MessageIcon::Stop);
}

void TarvellMain::findFiles() {
    if (Program::BaseURL.isEmpty()) {
        MessageBox::show(this, QStringLiteral("No can do, load the HTML code again."),
                         MessageButtons::Ok, MessageIcon::Question);
        return;
    }
    // A finder reporting a control it could not make lets events run before it shows: a second
    // click in that moment must not open a second finder.
    if (m_fileFinder)
        return;
    auto* finder = new FindFiles([this] { return sourceBox()->sourceText(); }, m_pageAddress, this);
    m_fileFinder = finder;
    finder->setAttribute(Qt::WA_DeleteOnClose);
    finder->setWindowModality(Qt::ApplicationModal);
    finder->load();
    if (!m_fileFinder)
        return;
    // Closed while the finder loaded: the run is ending, and nobody is left to use it.
    if (!isVisible()) {
        delete finder;
        return;
    }
    finder->show();
}

QString TarvellMain::aboutText() {
    const QChar cr(13);
    const QChar tab(9);
    const QChar quote(34);
    return QStringLiteral("Program:") + tab + QStringLiteral("Tarvell 1.0") + cr +
           QStringLiteral("Author: ") + tab + QStringLiteral("Orvane (Robin Ashdale)") + cr +
           QStringLiteral("Written:") + tab + QStringLiteral("10.12.99") + cr + cr +
           QStringLiteral("Read the ") + quote + QStringLiteral("Read Me") + quote +
           QStringLiteral(" file that came with this program for more information.") + cr +
           QStringLiteral("Also not that this program is not perfect. It's still very new. If you "
                          "get an error please e-mail me at ") +
           quote + QStringLiteral("robin.ashdale@example.org") + quote +
           QStringLiteral(" telling me what happened.");
}

void TarvellMain::about() {
    MessageBox::show(this, aboutText(), MessageButtons::Ok, MessageIcon::Question);
}

// ---- Controls ----

QComboBox* TarvellMain::linkList() const {
    return m_form.get<QComboBox>(QStringLiteral("Combo1"));
}

QLineEdit* TarvellMain::replaceBox() const {
    return m_form.get<QLineEdit>(QStringLiteral("ReplaceBox"));
}

QLineEdit* TarvellMain::findBox() const {
    return m_form.get<QLineEdit>(QStringLiteral("FindBox"));
}

SourceBox* TarvellMain::sourceBox() const {
    return m_form.get<SourceBox>(QStringLiteral("Text1"));
}

QLineEdit* TarvellMain::addressBox() const {
    return m_form.get<QLineEdit>(QStringLiteral("urlbox"));
}

HostedButton TarvellMain::button(const QString& name) const {
    return m_form.button(name);
}

HostedButton TarvellMain::fetchButton() const {
    return button(QStringLiteral("Lumet1"));
}

HostedButton TarvellMain::findNextButton() const {
    return button(QStringLiteral("Lumet2"));
}

HostedButton TarvellMain::copyAllButton() const {
    return button(QStringLiteral("Lumet3"));
}

HostedButton TarvellMain::takeOutHtmlButton() const {
    return button(QStringLiteral("Lumet4"));
}

HostedButton TarvellMain::openUrlButton() const {
    return button(QStringLiteral("Lumet5"));
}

HostedButton TarvellMain::findFilesButton() const {
    return button(QStringLiteral("Lumet6"));
}

HostedButton TarvellMain::replaceAllButton() const {
    return button(QStringLiteral("Lumet7"));
}

HostedButton TarvellMain::goToButton() const {
    return button(QStringLiteral("Lumet8"));
}

HostedButton TarvellMain::aboutButton() const {
    return button(QStringLiteral("Lumet9"));
}

bool TarvellMain::isLoadingPage() const {
    return fetchButton().caption() != QLatin1String(IdleCaption);
}
