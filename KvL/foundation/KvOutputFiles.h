// Several files that one command writes, written all or none. Each file is
// written under a temporary name beside its target; the targets are replaced
// only once every file is complete on disk, so that a failing write (a full
// disk, a missing folder) leaves neither half a result, nor a half-written
// file, nor a temporary one behind, and every old target as it was. The
// command-line front ends write their outputs through it.
#pragma once

#include <QFile>
#include <QString>

#include <memory>
#include <vector>

class TKvOutputFiles {
public:
    TKvOutputFiles() = default;
    // Removes the temporary files of a set that was not committed.
    ~TKvOutputFiles();
    TKvOutputFiles(const TKvOutputFiles&) = delete;
    TKvOutputFiles& operator=(const TKvOutputFiles&) = delete;

    // The device to write target's contents into (a temporary file beside
    // target); none when it cannot be made, Error says why.
    QIODevice* Add(const QString& target);
    // Closes every temporary file with its contents on disk. False, with
    // Error naming the first target that failed, when any could not be
    // written whole; the temporary files are removed then.
    bool Finish();
    // Finishes the set and renames every temporary file over its target;
    // false (Error says why) when the set could not be finished or a rename
    // failed.
    bool Commit();
    // Removes every temporary file; no target is touched.
    void Discard();
    // Gives the set up because target could not be written (its encoder
    // failed, say): Error names it with the reason, the set is discarded.
    // Always false.
    bool Abandon(const QString& target, const QString& reason);

    const QString& Error() const { return m_error; }

private:
    struct TOutput {
        QString Target;
        std::unique_ptr<QFile> File;
    };
    bool Fail(const QString& target, const QString& reason);

    std::vector<TOutput> m_outputs;
    bool m_finished = false;
    QString m_error;
};

// Replaces the file at path by bytes, whole or not at all.
bool WriteWholeFile(const QString& path, const QByteArray& bytes);
