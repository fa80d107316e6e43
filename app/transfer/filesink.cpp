#include "transfer/filesink.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <utility>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#endif
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

// A replacement is first written under the old name with ".XXXXXX" added, then renamed over
// it; a name within this much of the file system's longest cannot have that companion.
constexpr int companionSuffix = 7;

#ifdef Q_OS_UNIX
bool statOf(const QString& path, struct stat* info) {
    return ::lstat(QFile::encodeName(path).constData(), info) == 0;
}

QString systemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}
#endif

} // namespace

FileSink::Target FileSink::Target::at(const QString& path) {
    Target target;
#ifdef Q_OS_UNIX
    struct stat info {};
    if (statOf(path, &info)) {
        target.exists = true;
        target.device = quint64(info.st_dev);
        target.inode = quint64(info.st_ino);
    }
#else
    target.exists = QFileInfo::exists(path) || QFileInfo(path).isSymLink();
#endif
    return target;
}

bool FileSink::Target::operator==(const Target& other) const {
    return exists == other.exists && device == other.device && inode == other.inode;
}

FileSink::FileSink(QString path)
    : m_path(std::move(path)) {}

FileSink::~FileSink() = default; // an uncommitted QSaveFile removes its temporary file

void FileSink::replaceOnly(const Target& agreed) {
    m_agreed = agreed;
}

std::optional<TransferFailure> FileSink::refusal(const QString& path) {
    const QFileInfo destination(path);
    // A link may point anywhere: written through, a download could replace a file outside the
    // folder the user chose.
    if (destination.isSymLink())
        return failure(path,
                       tr("it is a symbolic link, and downloads are never saved through one."));
    if (destination.isDir())
        return failure(path, tr("it is a folder."));
#ifdef Q_OS_UNIX
    struct stat info {};
    if (!statOf(path, &info))
        return std::nullopt;
    if (!S_ISREG(info.st_mode))
        return failure(path, tr("it is not an ordinary file."));
    // Not a matter of who may write it: the system lets an administrator write anything, and
    // the owner's mark is the only one that says "keep this".
    if ((info.st_mode & S_IWUSR) == 0)
        return failure(path, tr("the file is read-only; its owner has not allowed it to be "
                                "changed."));
    if (::geteuid() != 0 && info.st_uid != ::geteuid())
        return failure(path, tr("the file belongs to another user, and a new file saved in its "
                                "place could not be given back to them."));
    const long longestName =
        ::pathconf(QFile::encodeName(destination.absolutePath()).constData(), _PC_NAME_MAX);
    if (longestName > 0 &&
        QFile::encodeName(destination.fileName()).size() + companionSuffix > longestName) {
        return failure(path, tr("the name is too long for the file to be replaced safely: the "
                                "new file is first written beside it under the name with %1 "
                                "characters added, which the file system does not allow. Save "
                                "it under a shorter name.")
                                 .arg(companionSuffix));
    }
#else
    if (destination.exists() && !destination.isWritable())
        return failure(path, tr("the file is read-only."));
#endif
    return std::nullopt;
}

std::optional<TransferFailure> FileSink::begin(qint64 /*announced*/,
                                               const QByteArray& /*contentType*/) {
    // A sink may be handed a second answer to the same request: it starts afresh.
    discard();
    if (std::optional<TransferFailure> refused = refusal(m_path))
        return refused;
    auto file = std::make_unique<QSaveFile>(m_path);
    if (!file->open(QIODevice::WriteOnly))
        return failure(m_path, file->errorString());
    m_file = std::move(file);
    m_written = 0;
    m_writtenBack = 0;
    return std::nullopt;
}

std::optional<TransferFailure> FileSink::write(QByteArrayView bytes) {
    if (!m_file)
        return failure(m_path, tr("the file is not open."));
    // A write the system cuts short (disk full, file size limit) tells why only when the rest
    // is tried again.
    for (qsizetype done = 0; done < bytes.size();) {
        const qint64 written = m_file->write(bytes.data() + done, bytes.size() - done);
        if (written <= 0)
            return failure(m_path, m_file->errorString());
        done += written;
    }
    m_written += bytes.size();
    writeBack();
    return std::nullopt;
}

std::optional<TransferFailure> FileSink::finish() {
    if (!m_file) {
        if (std::optional<TransferFailure> refused = begin(-1, QByteArray()))
            return refused;
    }
    // The name may have changed hands while the document arrived.
    if (std::optional<TransferFailure> refused = refusal(m_path))
        return refused;
    if (m_agreed) {
        const Target now = Target::at(m_path);
        if (now.exists && !m_agreed->exists)
            return failure(m_path, tr("a file of that name appeared while the download ran; it "
                                      "was kept."));
        if (now.exists && !(now == *m_agreed))
            return failure(m_path, tr("another file took that name while the download ran; it "
                                      "was kept."));
    }
    if (std::optional<TransferFailure> refused = takeOverTheOldFile())
        return refused;
    const std::unique_ptr<QSaveFile> file = std::move(m_file);
    if (!file->commit())
        return failure(m_path, file->errorString());
    return std::nullopt;
}

std::optional<TransferFailure> FileSink::takeOverTheOldFile() {
#ifdef Q_OS_UNIX
    struct stat old {};
    if (!statOf(m_path, &old))
        return std::nullopt;
    const int handle = m_file->handle();
    struct stat fresh {};
    if (::fstat(handle, &fresh) != 0)
        return failure(m_path, systemError(errno));
    // Owner first: handing a file over clears its set-user and set-group marks, which a
    // download never carries anyway.
    if ((fresh.st_uid != old.st_uid || fresh.st_gid != old.st_gid) &&
        ::fchown(handle, old.st_uid, old.st_gid) != 0) {
        return failure(m_path, tr("the new file could not be given the old one's owner and "
                                  "group (%1); the old file was kept.")
                                   .arg(systemError(errno)));
    }
    if (::fchmod(handle, old.st_mode & 0777) != 0) {
        return failure(m_path, tr("the new file could not be given the old one's permissions "
                                  "(%1); the old file was kept.")
                                   .arg(systemError(errno)));
    }
#endif
    return std::nullopt;
}

void FileSink::discard() {
    m_file.reset();
}

TransferFailure FileSink::failure(const QString& path, const QString& reason) {
    return {TransferFailure::Kind::Write, tr("The download could not be saved as %1: %2")
                                              .arg(QDir::toNativeSeparators(path), reason)};
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
