// A random-input run: drives the program's windows offscreen with random clicks, keys, typed
// addresses, link choices, ticks and list edits, against a local server that serves random
// pages, error pages, redirects, stalls, slow drips and endless floods. The same seed gives the
// same run. It fails when the program crashes (the sanitizers see any handler that touches a
// window after it has gone) or when its memory grows past a bound.
//
//   tarvell_monkey [--events N] [--seed S]

#include "dialog/dialog.h"
#include "findfiles/findfiles.h"
#include "logic/programfolder.h"
#include "logic/programstate.h"
#include "main/tarvellmain.h"
#include "support/controlregistration.h"
#include "support/testhttpserver.h"
#include "transfer/inet.h"
#include "widgets/checklist.h"
#include "widgets/messagebox.h"
#include "widgets/sourcebox.h"

#include <QApplication>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QNetworkProxyFactory>
#include <QPointer>
#include <QRandomGenerator>
#include <QSet>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

namespace {

constexpr int kPages = 40;
constexpr qint64 kMemoryBoundMiB = 3072; // sanitizer builds included

using Response = TestHttpServer::Response;

qint64 residentMiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong() / 1024;
    }
    return 0;
}

// Random addresses name random hosts, and none of them may be looked up: every host but this
// machine's goes to a proxy that refuses the connection, and the name travels to the proxy
// unresolved.
class LoopbackOnly : public QNetworkProxyFactory {
public:
    explicit LoopbackOnly(quint16 refusingPort)
        : m_refusingPort(refusingPort) {}

    QList<QNetworkProxy> queryProxy(const QNetworkProxyQuery& query) override {
        const QString host = query.peerHostName();
        if (query.queryType() == QNetworkProxyQuery::TcpServer ||
            host == QLatin1String("127.0.0.1") || host == QLatin1String("localhost"))
            return {QNetworkProxy(QNetworkProxy::NoProxy)};
        return {
            QNetworkProxy(QNetworkProxy::Socks5Proxy, QStringLiteral("127.0.0.1"), m_refusingPort)};
    }

private:
    quint16 m_refusingPort;
};

// Takes the addresses "Open URL" hands to the desktop, so that a run on a real display opens no
// browser.
class UrlSink : public QObject {
    Q_OBJECT
public:
    int opened = 0;
public Q_SLOTS:
    void open(const QUrl&) { ++opened; }
};

class Monkey : public QObject {
public:
    Monkey(quint32 seed, int events)
        : m_random(seed)
        , m_events(events) {}

    int run() {
        QTemporaryDir folder;
        setProgramFolder(folder.path());
        QDir::setCurrent(folder.path());
        UrlSink browser;
        QDesktopServices::setUrlHandler(QStringLiteral("http"), &browser, "open");
        QDesktopServices::setUrlHandler(QStringLiteral("https"), &browser, "open");
        serveRandomPages();
        // Every box is answered at once, at random, as a hurried user would.
        MessageBox::setMessageHandler([this](const MessageRequest& request) {
            ++m_boxes;
            return request.buttons == MessageButtons::YesNo && m_random.bounded(2) == 0
                       ? MessageAnswer::No
                       : MessageAnswer::Yes;
        });
        MessageBox::setInputHandler([this](const InputRequest&) {
            ++m_boxes;
            return InputAnswer{m_random.bounded(4) != 0, randomText()};
        });
        // Small pages and short waits, so that floods and stalls end within the run.
        Inet::setMaxDocumentSize(qint64(8) << 20);

        m_main = new TarvellMain;
        m_main->setAttribute(Qt::WA_DeleteOnClose);
        m_main->load();

        QTimer tick;
        QObject::connect(&tick, &QTimer::timeout, this, [this, &tick] {
            if (m_done >= m_events || !m_main) {
                tick.stop();
                QCoreApplication::exit(0);
                return;
            }
            ++m_done;
            noteWindows();
            act();
            m_peakMiB = qMax(m_peakMiB, residentMiB());
        });
        tick.start(2);
        QElapsedTimer clock;
        clock.start();
        QApplication::exec();
        tick.stop();
        const bool mainAlive = m_main;
        delete m_main.data();
        MessageBox::setMessageHandler({});
        MessageBox::setInputHandler({});
        QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
        const int saved = int(QDir(folder.path()).entryList(QDir::Files).size());
        std::printf("%d events in %.1f s: %d requests served, %d file finders and %d save windows "
                    "opened, %d files saved, %d boxes answered, %d addresses opened; main window "
                    "%s; peak resident memory %lld MiB\n",
                    m_done, double(clock.elapsed()) / 1000.0, m_server.requestTotal(),
                    int(m_finders.size()), int(m_dialogs.size()), saved, m_boxes, browser.opened,
                    mainAlive ? "open" : "closed", static_cast<long long>(m_peakMiB));
        if (m_peakMiB > kMemoryBoundMiB) {
            std::printf("FAIL: memory grew past %lld MiB\n",
                        static_cast<long long>(kMemoryBoundMiB));
            return 1;
        }
        return 0;
    }

private:
    QString randomText() {
        static const QStringList pieces{"a",    "gif", "http://", ".htm", " ",   "null",
                                        "\r\n", "<",   ">",       "=\"",  "../", "%2f",
                                        "é",    "\t",  "x.zip",   "/",    "",    "NULL"};
        QString text;
        for (int i = m_random.bounded(6); i >= 0; --i)
            text += pieces[m_random.bounded(int(pieces.size()))];
        return text;
    }

    QString pagePath(int page) const { return QStringLiteral("/site/p%1.html").arg(page); }

    void serveRandomPages() {
        for (int page = 0; page < kPages; ++page) {
            QByteArray body = "<html><body>\n";
            for (int link = m_random.bounded(30); link > 0; --link) {
                const int to = m_random.bounded(kPages);
                body += "<a href=\"p" + QByteArray::number(to) + ".html\">" +
                        QByteArray::number(to) + "</a> <img src=\"i" + QByteArray::number(link) +
                        (link % 3 ? ".gif" : ".zip") + "\">\n";
            }
            body += "</body></html>\n";
            Response response;
            response.headers = {{"Content-Type", "text/html"}};
            response.body = body;
            switch (m_random.bounded(10)) {
            case 0:
                response.status = 404;
                response.reason = "Not Found";
                break;
            case 1:
                response.stall = true;
                break;
            case 2:
                response.dripChunk = 64;
                response.dripIntervalMs = 5;
                break;
            case 3:
                response.endless = true;
                break;
            case 4:
                response.dropAfterHeaders = true;
                break;
            default:
                break;
            }
            m_server.setResponse(pagePath(page), response);
            Response picture;
            picture.headers = {{"Content-Type", "image/gif"}};
            picture.body = QByteArray(m_random.bounded(1, 5000), 'g');
            m_server.setResponse(QStringLiteral("/site/i%1.gif").arg(page), picture);
        }
        m_server.setRedirect("/site/moved.html", m_server.url(pagePath(1)));
    }

    void noteWindows() {
        if (auto* finder = m_main->findChild<FindFiles*>())
            m_finders.insert(finder);
        if (auto* dialog = m_main->findChild<Dialog*>())
            m_dialogs.insert(dialog);
    }

    // The window that takes input now: the save window over the finder over the main window.
    QWidget* activeWindow() const {
        if (auto* dialog = m_main->findChild<Dialog*>())
            return dialog;
        if (auto* finder = m_main->findChild<FindFiles*>())
            return finder;
        return m_main;
    }

    void post(QWidget* to, int key, const QString& text = {}) {
        QCoreApplication::postEvent(to, new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier, text));
        QCoreApplication::postEvent(to,
                                    new QKeyEvent(QEvent::KeyRelease, key, Qt::NoModifier, text));
    }

    void clickSomewhere(QWidget* window) {
        const QPoint at(m_random.bounded(qMax(1, window->width())),
                        m_random.bounded(qMax(1, window->height())));
        QWidget* target = window->childAt(at);
        if (!target)
            target = window;
        const QPointF local = target->mapFrom(window, at);
        const QPointF global = target->mapToGlobal(local);
        for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
            QCoreApplication::postEvent(
                target,
                new QMouseEvent(type, local, global, Qt::LeftButton,
                                type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                                Qt::NoModifier));
        }
    }

    void act() {
        QWidget* window = activeWindow();
        // Short waits everywhere, so that a stalling page costs the run little.
        for (Inet* inet : window->findChildren<Inet*>())
            inet->setStallTimeout(300);
        const int choice = m_random.bounded(100);
        if (choice < 25) {
            // A button of the window, pressed by its own keyboard command.
            const int count = window == m_main ? 9 : window->findChild<Dialog*>() ? 2 : 6;
            const QString name = QStringLiteral("Lumet%1").arg(m_random.bounded(1, count + 1));
            if (QWidget* button = window->findChild<QWidget*>(name))
                post(button, Qt::Key_Space, QStringLiteral(" "));
        } else if (choice < 45) {
            clickSomewhere(window);
        } else if (choice < 60 && window == m_main) {
            const int page = m_random.bounded(kPages + 3);
            QString address = page < kPages    ? m_server.url(pagePath(page))
                              : page == kPages ? m_server.url("/site/moved.html")
                                               : randomText();
            m_main->addressBox()->setText(address);
            post(m_main->addressBox(), Qt::Key_Return);
        } else if (choice < 68 && window == m_main) {
            QComboBox* links = m_main->linkList();
            if (links->count() > 0)
                links->setCurrentIndex(m_random.bounded(links->count()));
            post(m_main->findChild<QWidget*>(QStringLiteral("Lumet8")), Qt::Key_Space,
                 QStringLiteral(" "));
        } else if (choice < 76 && window == m_main) {
            QLineEdit* box = m_random.bounded(2) ? m_main->findBox() : m_main->replaceBox();
            box->setText(randomText());
        } else if (choice < 84) {
            if (auto* finder = qobject_cast<FindFiles*>(window)) {
                CheckList* list = finder->entryList();
                if (list->count() > 0) {
                    const int row = m_random.bounded(list->count());
                    list->setHighlighted(row);
                    if (m_random.bounded(2))
                        post(list, Qt::Key_Space, QStringLiteral(" "));
                }
            } else {
                post(window->focusWidget() ? window->focusWidget() : window,
                     m_random.bounded(2) ? Qt::Key_Tab : Qt::Key_A, QStringLiteral("a"));
            }
        } else if (choice < 90) {
            // The title bar's close, now and then on a child window.
            if (window != m_main)
                window->close();
        } else {
            const auto keys = {Qt::Key_Return, Qt::Key_Tab,    Qt::Key_Backtab, Qt::Key_Down,
                               Qt::Key_Up,     Qt::Key_Escape, Qt::Key_Delete};
            const int key = *(keys.begin() + m_random.bounded(int(keys.size())));
            QWidget* focus = QApplication::focusWidget();
            post(focus && focus->window() == window ? focus : window, key);
        }
    }

    QRandomGenerator m_random;
    int m_events;
    int m_done = 0;
    int m_boxes = 0;
    qint64 m_peakMiB = 0;
    TestHttpServer m_server;
    QPointer<TarvellMain> m_main;
    QSet<const void*> m_finders; // only counted, never used: a window may be gone
    QSet<const void*> m_dialogs;
};

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    int events = 1000;
    quint32 seed = 20261207;
    const QStringList args = QCoreApplication::arguments();
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == QLatin1String("--events"))
            events = args[i + 1].toInt();
        else if (args[i] == QLatin1String("--seed"))
            seed = args[i + 1].toUInt();
    }
    QString error;
    if (!registerControlLibraryForTests(&error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    QNetworkProxyFactory::setApplicationProxyFactory(
        new LoopbackOnly(TestHttpServer::closedPort()));
    std::printf("random-input run: %d events, seed %u\n", events, seed);
    Monkey monkey(seed, events);
    return monkey.run();
}

#include "monkey.moc"
