#include "platform/filesink.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <utility>

#ifdef Q_OS_LINUX
#include <fcntl.h>
#endif

namespace {

#ifdef Q_OS_LINUX
// QSaveFile::commit syncs the file to disk. Left alone, the kernel keeps a whole download of a
// gigabyte in dirty pages and that sync holds the event loop for seconds; written back stretch
// by stretch as it arrives, only the last stretches remain for the commit. Waiting for one
// stretch costs about 10 ms on a disk that writes 400 MB/s.
constexpr qint64 writeBackStretch = qint64(4) * 1024 * 1024;
#endif

} // namespace

FileSink::FileSink(QString path)
    : m_path(std::move(path)) {}

FileSink::~FileSink() = default; // an uncommitted QSaveFile removes its temporary file

std::optional<TransferFailure> FileSink::begin(qint64 /*announced*/) {
    discard();
    const QFileInfo destination(m_path);
    // A link may point anywhere: written through, a download could replace a file outside the
    // folder the user chose.
    if (destination.isSymLink())
        return failure(tr("it is a symbolic link, and downloads are never saved through one."));
    if (destination.isDir())
        return failure(tr("it is a folder."));

    auto file = std::make_unique<QSaveFile>(m_path);
    if (!file->open(QIODevice::WriteOnly))
        return failure(file->errorString());
    m_file = std::move(file);
    m_written = 0;
    m_writtenBack = 0;
    return std::nullopt;
}

std::optional<TransferFailure> FileSink::write(QByteArrayView bytes) {
    if (!m_file)
        return failure(tr("the file is not open."));
    // A write the system cuts short (disk full, file size limit) tells why only when the rest
    // is tried again.
    for (qsizetype done = 0; done < bytes.size();) {
        const qint64 written = m_file->write(bytes.data() + done, bytes.size() - done);
        if (written <= 0)
            return failure(m_file->errorString());
        done += written;
    }
    m_written += bytes.size();
    writeBack();
    return std::nullopt;
}

std::optional<TransferFailure> FileSink::finish() {
    if (!m_file) {
        if (std::optional<TransferFailure> refused = begin(-1))
            return refused;
    }
    const std::unique_ptr<QSaveFile> file = std::move(m_file);
    if (!file->commit())
        return failure(file->errorString());
    return std::nullopt;
}

void FileSink::discard() {
    m_file.reset();
}

TransferFailure FileSink::failure(const QString& reason) const {
    return {TransferFailure::Kind::Write, tr("The download could not be saved as %1: %2")
                                              .arg(QDir::toNativeSeparators(m_path), reason)};
}

void FileSink::writeBack() {
#ifdef Q_OS_LINUX
    if (m_written - m_writtenBack < writeBackStretch || !m_file->flush())
        return; // a failed flush shows in the commit
    const int handle = m_file->handle();
    // Start writing the new stretch, then wait for the ones before it. Errors only mean the
    // file system cannot do this; the commit's sync still makes the file whole.
    ::sync_file_range(handle, m_writtenBack, m_written - m_writtenBack, SYNC_FILE_RANGE_WRITE);
    if (m_writtenBack > 0) {
        ::sync_file_range(handle, 0, m_writtenBack,
                          SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE |
                              SYNC_FILE_RANGE_WAIT_AFTER);
    }
    m_writtenBack = m_written;
#endif
}
