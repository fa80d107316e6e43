#pragma once

#include "transfer/transferfailure.h"
#include "transfer/transferresult.h"

#include <QFutureWatcher>
#include <QMetaType>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <atomic>
#include <memory>
#include <optional>

class Inet;
class TextSink;

// A page as a window shows it: its text with every line feed turned into a carriage return and
// line feed, and the links found in that text.
struct PageResult {
    std::optional<TransferFailure> failure; // empty when the page came whole
    QString text;
    QStringList links; // in the page's order, each once
    QUrl address;      // where the page finally came from, after redirects
    [[nodiscard]] bool succeeded() const { return !failure; }
};
Q_DECLARE_METATYPE(PageResult)

// Fetching a page for a window, as one job: start() returns at once, progress() follows the
// bytes, and exactly one finished() tells how it ended. The bytes come through the window's
// transfer component and are decoded on workers as they come (TextSink); turning the line ends
// and searching the links run on a worker too, so that the window's thread only ever waits for
// events. cancel() ends
// the job wherever it is, with finished() (Kind::Cancelled) before it returns; work already
// running on a worker finishes on its own copy and its result goes nowhere.
class PageLoad : public QObject {
    Q_OBJECT
public:
    // transfer is the window's own component, which the job borrows while it fetches.
    explicit PageLoad(Inet* transfer, QObject* parent = nullptr);
    ~PageLoad() override;

    // False, and nothing happens, while a job runs or while the transfer component is busy.
    bool start(const QString& address);
    void cancel();
    [[nodiscard]] bool isRunning() const { return m_running; }

signals:
    void progress(qint64 received, qint64 total);
    void finished(const PageResult& result);

private:
    void transferEnded(const TransferResult& result);
    void decodingEnded();
    void workEnded();
    void end(PageResult result);

    QPointer<Inet> m_transfer;
    bool m_running = false;
    TextSink* m_sink = nullptr;        // while the bytes come; the transfer component owns it
    QUrl m_address;                    // where the page came from, once it has
    QFutureWatcher<QString> m_decoded; // the text, decoded on workers as the bytes came
    QFutureWatcher<PageResult> m_work;
    // Set when the job is cancelled or goes; the worker looks at it between its steps. Each page
    // that comes whole has its own, which names its job.
    std::shared_ptr<std::atomic<bool>> m_abandoned;
    std::shared_ptr<std::atomic<bool>> m_preparing; // the job the worker prepares a page for
};
