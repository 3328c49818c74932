#include "KvOutputFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <unistd.h>

namespace {

// A name beside target that no file has yet, hidden and marked as partial.
QString TemporaryName(const QFileInfo& target)
{
    return target.dir().filePath(QStringLiteral(".%1.%2.part")
                                     .arg(target.fileName())
                                     .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0')));
}

// A file that writes every byte it is given or fails: Qt's file reports a
// write cut short by a full disk as fewer bytes written, without an error,
// and writers that do not check the count would leave a truncated file.
class TWholeWriteFile : public QFile {
protected:
    qint64 writeData(const char* data, qint64 length) override
    {
        qint64 written = 0;
        while (written < length) {
            const qint64 part = QFile::writeData(data + written, length - written);
            if (part <= 0) {
                // The retry after a short write carries the reason (no
                // space, file too large); a bare zero carries none.
                if (error() == QFileDevice::NoError)
                    setErrorString(QStringLiteral("the disk took no more bytes"));
                m_failed = true;
                return -1;
            }
            written += part;
        }
        return written;
    }

public:
    bool Failed() const { return m_failed; }

private:
    bool m_failed = false;
};

} // namespace

TKvOutputFiles::~TKvOutputFiles()
{
    Discard();
}

bool TKvOutputFiles::Fail(const QString& target, const QString& reason)
{
    m_error = QStringLiteral("cannot write %1: %2").arg(QDir::toNativeSeparators(target), reason);
    return false;
}

QIODevice* TKvOutputFiles::Add(const QString& name)
{
    // Writing to a symbolic link writes the file it points to; the link
    // stays.
    const QFileInfo link(name);
    const QString target = link.isSymLink() ? link.symLinkTarget() : name;
    const QFileInfo info(target);
    if (info.isDir()) {
        Fail(target, QStringLiteral("it is a folder"));
        return nullptr;
    }
    auto file = std::make_unique<TWholeWriteFile>();
    // Names are random: a clash with a file left by another run is rare and
    // tried again, never written through.
    for (int attempt = 0; attempt < 16 && !file->isOpen(); ++attempt) {
        file->setFileName(TemporaryName(info));
        if (!file->open(QIODevice::WriteOnly | QIODevice::NewOnly) && file->error() != QFileDevice::OpenError)
            break;
    }
    if (!file->isOpen()) {
        Fail(target, file->errorString());
        return nullptr;
    }
    // A file replaced keeps who may read it, as an editor's save does.
    if (info.exists())
        file->setPermissions(info.permissions());
    m_outputs.push_back({target, std::move(file)});
    m_finished = false;
    return m_outputs.back().File.get();
}

bool TKvOutputFiles::Finish()
{
    if (m_finished)
        return true;
    for (TOutput& output : m_outputs) {
        QFile& file = *output.File;
        if (!file.isOpen())
            continue;
        // Written whole means flushed without an error, on disk, and closed.
        bool written = file.flush() && file.error() == QFileDevice::NoError
            && !static_cast<TWholeWriteFile&>(file).Failed();
        QString reason = file.errorString();
        if (written && ::fsync(file.handle()) != 0) {
            written = false;
            reason = QString::fromLocal8Bit(std::strerror(errno));
        }
        file.close();
        if (written && file.error() != QFileDevice::NoError) {
            written = false;
            reason = file.errorString();
        }
        if (!written) {
            Fail(output.Target, reason);
            Discard();
            return false;
        }
    }
    m_finished = true;
    return true;
}

bool TKvOutputFiles::Commit()
{
    if (!Finish())
        return false;
    for (TOutput& output : m_outputs) {
        const QByteArray from = QFile::encodeName(output.File->fileName());
        if (std::rename(from.constData(), QFile::encodeName(output.Target).constData()) != 0) {
            Fail(output.Target, QString::fromLocal8Bit(std::strerror(errno)));
            Discard();
            return false;
        }
        output.File.reset();
    }
    m_outputs.clear();
    return true;
}

bool TKvOutputFiles::Abandon(const QString& target, const QString& reason)
{
    Discard();
    return Fail(target, reason);
}

void TKvOutputFiles::Discard()
{
    for (TOutput& output : m_outputs)
        if (output.File) {
            output.File->close();
            output.File->remove();
        }
    m_outputs.clear();
    m_finished = false;
}

bool WriteWholeFile(const QString& path, const QByteArray& bytes)
{
    TKvOutputFiles output;
    QIODevice* file = output.Add(path);
    return file && file->write(bytes) == bytes.size() && output.Commit();
}
