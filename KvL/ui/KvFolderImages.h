// The picture files of the open file's folder, which the graphics editor's
// Previous and Next buttons step through: the list, sorted by name, and the
// open file's place in it. Stepping to a file that went away reads the
// folder again, so that the open picture keeps its place by name.
#pragma once

#include <QString>
#include <QStringList>

class TKvFolderImages {
public:
    // Whether a file name's extension is one of the picture files stepped
    // through.
    static bool IsFolderImage(const QString& fileName);

    // The full paths of the picture files, and the open file's position
    // among them (-1: not there).
    QStringList Images;
    int Index = -1;

    // Lists the picture files of the file's folder, sorted by name, and
    // finds the file among them. An empty path changes nothing.
    void Scan(const QString& path);
    void Clear();
    // Whether there is a file step places away.
    bool CanStep(int step) const;

    // Where a step goes: the file to open, none when the folder (read again
    // because the file had gone) has no file there any more.
    struct TStep {
        QString Target;
        // The folder was read again.
        bool Rescanned = false;
        // The file that was not found, when there is no target.
        QString Missing;
    };
    TStep Step(int step);

private:
    // Scan of the open file; a file no longer there is put back into the
    // list at its place by name, so that stepping goes on from it.
    void RescanAround(const QString& current);
};
