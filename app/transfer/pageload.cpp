#include "transfer/pageload.h"

#include "logic/documentdecoding.h"
#include "logic/fixcode.h"
#include "logic/referencescanner.h"
#include "transfer/inet.h"
#include "transfer/textsink.h"

#include <QtConcurrent/QtConcurrentRun>

#include <utility>

using Kind = TransferFailure::Kind;

namespace {

// Runs on a worker once the text is decoded: everything between it and a page the window can
// show. The text is the worker's own, and so is every string made from it.
PageResult preparePage(QFuture<QString> decoded, const QUrl& address,
                       const std::shared_ptr<std::atomic<bool>>& abandoned) {
    PageResult page;
    page.address = address;
    try {
        QString text = decoded.takeResult();
        if (*abandoned)
            return page;
        // The line ends are turned where the text lies, in the room decoding left, and the
        // links are searched in the text as it is shown. Searching the page as it came on a
        // second worker meanwhile held it twice, and once fresh memory came in large pages it
        // was no faster (bench_fetchroad).
        FixCode(text);
        if (*abandoned)
            return page;
        page.links = scanPageLinks(text);
        page.text = std::move(text);
    } catch (...) {
        // Out of memory on the way: the whole page or nothing.
        page = PageResult();
        page.address = address;
        page.failure =
            TransferFailure(Kind::TooLarge, PageLoad::tr("The page from %1 is too big to be shown.")
                                                .arg(address.toDisplayString()));
    }
    return page;
}

} // namespace

PageLoad::PageLoad(Inet* transfer, QObject* parent)
    : QObject(parent)
    , m_transfer(transfer)
    , m_abandoned(std::make_shared<std::atomic<bool>>(false)) {
    connect(m_transfer, &Inet::progress, this, [this](qint64 received, qint64 total) {
        if (m_sink)
            emit progress(received, total);
    });
    connect(m_transfer, &Inet::finished, this, &PageLoad::transferEnded);
    connect(&m_decoded, &QFutureWatcher<QString>::finished, this, &PageLoad::decodingEnded);
    connect(&m_work, &QFutureWatcher<PageResult>::finished, this, &PageLoad::workEnded);
}

PageLoad::~PageLoad() {
    *m_abandoned = true;
    // The window's transfer component may outlive the job; no signal of it reaches us any more.
    if (m_transfer) {
        disconnect(m_transfer, nullptr, this, nullptr);
        if (m_sink)
            m_transfer->cancel();
    }
}

bool PageLoad::start(const QString& address) {
    if (m_running || !m_transfer || m_transfer->isFetching())
        return false;
    auto sink = std::make_unique<TextSink>(Inet::maxDocumentSize(), address.trimmed());
    TextSink* taken = sink.get();
    m_running = true;
    m_sink = taken;
    if (!m_transfer->start(address, std::move(sink))) {
        m_running = false;
        m_sink = nullptr;
        return false;
    }
    return true;
}

void PageLoad::cancel() {
    if (!m_running)
        return;
    if (m_sink) {
        // The transfer's own finished() ends the job, as a cancelled one.
        m_transfer->cancel();
        return;
    }
    *m_abandoned = true;
    PageResult cancelled;
    cancelled.failure = TransferFailure(Kind::Cancelled, tr("The transfer was cancelled."));
    end(std::move(cancelled));
}

void PageLoad::transferEnded(const TransferResult& result) {
    TextSink* sink = std::exchange(m_sink, nullptr);
    if (!sink)
        return;
    if (!result.succeeded()) {
        PageResult failed;
        failed.failure = result.failure;
        failed.address = result.url;
        end(std::move(failed));
        return;
    }
    m_abandoned = std::make_shared<std::atomic<bool>>(false);
    m_address = result.url;
    m_decoded.setFuture(sink->text());
}

void PageLoad::decodingEnded() {
    if (!m_running || m_sink || *m_abandoned || !m_decoded.isFinished())
        return;
    m_preparing = m_abandoned;
    m_work.setFuture(QtConcurrent::run(preparePage, m_decoded.future(), m_address, m_abandoned));
}

void PageLoad::workEnded() {
    // A worker of a cancelled job may still report, even once the next job's bytes are in; only
    // the running job's own worker counts.
    if (!m_running || m_sink || m_preparing != m_abandoned || *m_abandoned || !m_work.isFinished())
        return;
    end(m_work.future().takeResult());
}

void PageLoad::end(PageResult result) {
    m_running = false;
    emit finished(result);
}
