#pragma once

#include "transfer/transfersink.h"

#include <QCoreApplication>
#include <QString>

#include <memory>

class QSaveFile;

// Saves a download under path through QSaveFile: the file at path either keeps what it held
// before (or stays absent) or holds exactly the new document, never a mix and never an error
// page. A replaced file keeps its owner, group and permissions; a file its owner made read-only
// is never replaced, whoever runs the program. Memory use does not grow with the document.
class FileSink : public TransferSink {
    Q_DECLARE_TR_FUNCTIONS(FileSink)
public:
    // Which file a name stood for when the user agreed to save under it: none, or one file by
    // its place on disk.
    struct Target {
        bool exists = false;
        quint64 device = 0;
        quint64 inode = 0;
        static Target at(const QString& path);
        bool operator==(const Target& other) const;
    };

    explicit FileSink(QString path);
    ~FileSink() override;

    // Why nothing may be saved at path, before anything is fetched: a symbolic link, a folder or
    // another kind of non-file, a read-only file, a file of another user that could not be given
    // back to them, or a name too long to be replaced safely. Empty when a save may go ahead.
    static std::optional<TransferFailure> refusal(const QString& path);

    // From now on the download replaces only what the user agreed to replace: when the name
    // stood for no file and one has appeared meanwhile, or for another file than it stands for
    // at the end, that file is kept and the download fails.
    void replaceOnly(const Target& agreed);

    std::optional<TransferFailure> begin(qint64 announced, const QByteArray& contentType) override;
    std::optional<TransferFailure> write(QByteArrayView bytes) override;
    std::optional<TransferFailure> finish() override;
    void discard() override;

    [[nodiscard]] QString path() const { return m_path; }

private:
    [[nodiscard]] static TransferFailure failure(const QString& path, const QString& reason);
    [[nodiscard]] std::optional<TransferFailure> takeOverTheOldFile();
    void writeBack();

    QString m_path;
    std::optional<Target> m_agreed;
    std::unique_ptr<QSaveFile> m_file; // open from begin until finish or discard
    qint64 m_written = 0;
    qint64 m_writtenBack = 0;
};
