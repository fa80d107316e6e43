#pragma once

#include "platform/transfersink.h"

#include <QCoreApplication>
#include <QString>

#include <memory>

class QSaveFile;

// Saves a download under path through QSaveFile: the file at path either keeps what it held
// before (or stays absent) or holds exactly the new document, never a mix and never an error
// page. A replaced file keeps its permissions. Memory use does not grow with the document.
class FileSink : public TransferSink {
    Q_DECLARE_TR_FUNCTIONS(FileSink)
public:
    explicit FileSink(QString path);
    ~FileSink() override;

    // Refuses (Kind::Write) a path that is a folder or a symbolic link.
    std::optional<TransferFailure> begin(qint64 announced) override;
    std::optional<TransferFailure> write(QByteArrayView bytes) override;
    std::optional<TransferFailure> finish() override;
    void discard() override;

    [[nodiscard]] QString path() const { return m_path; }

private:
    [[nodiscard]] TransferFailure failure(const QString& reason) const;
    void writeBack();

    QString m_path;
    std::unique_ptr<QSaveFile> m_file; // open from begin until finish or discard
    qint64 m_written = 0;
    qint64 m_writtenBack = 0;
};
