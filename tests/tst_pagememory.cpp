#include "logic/pagememory.h"
#include "transfer/memorysink.h"
#include "transfer/textsink.h"

#include <QFile>
#include <QTest>

#include <sys/resource.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <utility>

namespace {

// What the system says of the mapping that holds an address: its size, how much of it is in
// memory, and whether it was asked for large pages (the "hg" flag).
struct Mapping {
    qsizetype size = 0;
    qsizetype residentBytes = 0;
    qsizetype largePageBytes = 0; // in memory in pages of 2 MB
    bool largePagesAsked = false;
};

Mapping mappingHolding(quintptr wanted) {
    QFile maps(QStringLiteral("/proc/self/smaps"));
    if (!maps.open(QIODevice::ReadOnly))
        return {};
    bool inside = false;
    Mapping mapping;
    const QList<QByteArray> lines = maps.readAll().split('\n');
    for (const QByteArray& line : lines) {
        const qsizetype dash = line.indexOf('-');
        const qsizetype space = line.indexOf(' ');
        if (dash > 0 && space > dash && !line.endsWith(" kB") && !line.startsWith("VmFlags")) {
            if (inside)
                break;
            const quintptr from = line.left(dash).toULongLong(nullptr, 16);
            const quintptr to = line.mid(dash + 1, space - dash - 1).toULongLong(nullptr, 16);
            inside = from <= wanted && wanted < to;
            mapping.size = qsizetype(to - from);
        } else if (inside && line.startsWith("Rss:")) {
            mapping.residentBytes = line.mid(4).trimmed().split(' ').first().toLongLong() * 1024;
        } else if (inside && line.startsWith("AnonHugePages:")) {
            mapping.largePageBytes = line.mid(14).trimmed().split(' ').first().toLongLong() * 1024;
        } else if (inside && line.startsWith("VmFlags:")) {
            mapping.largePagesAsked = line.split(' ').contains("hg");
        }
    }
    return inside ? mapping : Mapping{};
}

long pageFaultsSoFar() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

} // namespace

class TestPageMemory : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void theHeapKeepsAStretchBackedInLargePages();
    void aFreedPageBufferIsReusedWithoutFaults();
    void aPagesTextIsKeptForTheNextPage();
    void aBufferBeyondTheHeapIsAskedForLargePages();
    void aPageBeyondTheHeapIsAskedForLargePages_data();
    void aPageBeyondTheHeapIsAskedForLargePages();
};

void TestPageMemory::initTestCase() {
#if defined(__SANITIZE_ADDRESS__)
    QSKIP("the address sanitizer brings its own allocator, which keeps freed memory apart");
#endif
}

void TestPageMemory::theHeapKeepsAStretchBackedInLargePages() {
    // The first buffer of a page comes from the stretch grown at the start, which a worker has
    // the system back soon after; the start itself must not have written it, or the system
    // gives it in pages of 4 KB after all.
    void* volatile buffer = std::malloc(size_t(8) << 20);
    const auto inside = reinterpret_cast<quintptr>(buffer) + (4 << 20);
    std::free(buffer);
    const Mapping mapping = mappingHolding(inside);
    QVERIFY(mapping.largePagesAsked);
    QVERIFY2(mapping.size >= qsizetype(64) << 20, qPrintable(QString::number(mapping.size)));
    QTRY_VERIFY_WITH_TIMEOUT(mappingHolding(inside).largePageBytes >= qsizetype(64) << 20, 10000);
}

void TestPageMemory::aFreedPageBufferIsReusedWithoutFaults() {
    // Two buffers of a page's size, written and freed, are there for the next page as they
    // are: writing them again costs no fault.
    constexpr size_t kSize = size_t(24) << 20;
    for (int page = 0; page < 2; ++page) {
        // volatile: the compiler would otherwise drop writes into memory freed unread.
        void* volatile text = std::malloc(kSize);
        void* volatile editor = std::malloc(kSize / 2);
        const long before = pageFaultsSoFar();
        std::memset(text, page, kSize);
        std::memset(editor, page, kSize / 2);
        const long faults = pageFaultsSoFar() - before;
        std::free(editor);
        std::free(text);
        if (page == 1)
            QVERIFY2(faults < 64, qPrintable(QString::number(faults)));
    }
}

void TestPageMemory::aPagesTextIsKeptForTheNextPage() {
    // The text of a 56 MiB page, more than the stretch the heap keeps from the start and more
    // than it serves buffers of, is made there all the same: freed, it stays in memory, written
    // already, for the next page's text.
    constexpr qint64 kPage = qint64(56) << 20;
    const QByteArray chunk(qsizetype(1) << 20, 'x');
    TextSink sink(qint64(1) << 30, QString());
    QVERIFY(!sink.begin(kPage, QByteArray()));
    for (qint64 written = 0; written < kPage; written += chunk.size())
        QVERIFY(!sink.write(chunk));
    QVERIFY(!sink.finish());
    QString text = sink.text().takeResult();
    QCOMPARE(text.size(), kPage);
    const auto middle = reinterpret_cast<quintptr>(text.constData() + kPage / 2);
    text = QString();
    const qsizetype kept = mappingHolding(middle).residentBytes;
    QVERIFY2(kept >= 2 * kPage, qPrintable(QString::number(kept)));
}

void TestPageMemory::aBufferBeyondTheHeapIsAskedForLargePages() {
    // The editor's document for a page of 200 MB, more than the heap keeps: mapped afresh.
    // Not written here, so it costs no memory.
    const std::unique_ptr<char[]> document(new char[size_t(200) << 20]);
    QVERIFY(
        mappingHolding(reinterpret_cast<quintptr>(document.get()) + (100 << 20)).largePagesAsked);
}

void TestPageMemory::aPageBeyondTheHeapIsAskedForLargePages_data() {
    QTest::addColumn<qint64>("announced");
    QTest::addColumn<qint64>("sent");
    QTest::newRow("its length announced") << (qint64(200) << 20) << (qint64(144) << 20);
    QTest::newRow("its length not announced") << qint64(0) << (qint64(144) << 20);
    QTest::newRow("a length announced and never sent") << (qint64(1) << 30) << qint64(4096);
}

void TestPageMemory::aPageBeyondTheHeapIsAskedForLargePages() {
    // A page bigger than the heap keeps comes into memory mapped for it alone, reserved whole or
    // grown as it comes, its bytes and its text alike; they are written there for the first time.
    // What a hostile server announces and never sends is never written, and so never held.
    QFETCH(qint64, announced);
    QFETCH(qint64, sent);
    const QByteArray chunk(qsizetype(std::min(sent, qint64(1) << 20)), 'x');
    MemorySink bytes(qint64(1) << 30, QString());
    TextSink text(qint64(1) << 30, QString());
    for (TransferSink* sink : std::initializer_list<TransferSink*>{&bytes, &text}) {
        QVERIFY(!sink->begin(announced, QByteArray()));
        for (qint64 written = 0; written < sent; written += chunk.size())
            QVERIFY(!sink->write(chunk));
        QVERIFY(!sink->finish());
    }
    const QByteArray page = bytes.takeDocument();
    const QString decoded = text.text().takeResult(); // each byte a character of two bytes
    for (const auto& [start, width] : {std::pair<const void*, qint64>(page.constData(), 1),
                                       std::pair<const void*, qint64>(decoded.constData(), 2)}) {
        const Mapping mapping = mappingHolding(reinterpret_cast<quintptr>(start) +
                                               quintptr(width * std::max(announced, sent) / 2));
        QVERIFY(mapping.largePagesAsked);
        QVERIFY2(mapping.residentBytes <= width * sent + (qsizetype(4) << 20),
                 qPrintable(QString::number(mapping.residentBytes)));
    }
}

// Memory is set up first thing, as the program does: a thread that took memory before, such
// as the test's own watchdog, would have a heap of its own, which serves big buffers afresh.
int main(int argc, char** argv) {
    reuseFreedPageMemory();
    QCoreApplication app(argc, argv);
    TestPageMemory test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_pagememory.moc"
