// The file format registry of a document editor: the formats it reads and
// writes, the format lists of the open and save dialogs, and descriptions
// and previews of files for those dialogs. Abstract; the picture formats
// fill it in.
#pragma once

#include <QRect>
#include <QString>
#include <QtGlobal>

#include <memory>
#include <vector>

class QPainter;

struct TKvFileFormatInfo {
    qint32 Key = 0;            // what the registry's owner knows the format by
    QString Name;              // shown in the dialogs' format list
    QString Patterns;          // wildcards separated by ";"
    QString DefaultExtension;  // with its dot; empty for the "all" entries
};

using TKvFileFormatList = std::vector<TKvFileFormatInfo>;

// The dialog filter of a format list: per entry the name, " (", the
// patterns, ")|" and the patterns again, entries separated by "|" (for
// example "JPEG (*.jpg;*.jpeg)|*.jpg;*.jpeg|PNG (*.png)|*.png").
QString BuildFilter(const TKvFileFormatList& formats);
// Position of the first entry with the key, -1 if none.
int FindFormat(const TKvFileFormatList& formats, qint32 key);

// A short description of one file, for the dialogs' information label.
class TKvFileInfo {
public:
    explicit TKvFileInfo(QString path) : Path(std::move(path)) {}
    virtual ~TKvFileInfo() = default;
    virtual QString Text() const { return {}; }

    QString Path;
};

// A preview picture of one file.
class TKvThumbnail {
public:
    virtual ~TKvThumbnail() = default;
    // Draws into `rect`; `drawn` receives the part actually painted.
    virtual bool Draw(QPainter& painter, const QRect& rect, QRect& drawn) = 0;
};

class TKvFileFormats {
public:
    virtual ~TKvFileFormats() = default;

    virtual int Count() const = 0;
    virtual TKvFileFormatInfo Items(int index) const = 0;
    // Description of a file; false when the registry cannot describe it.
    virtual bool GetFileInfo(const QString& path, std::unique_ptr<TKvFileInfo>& info) const;
    // A preview fitting width x height; false when none can be made. Called
    // on the open dialog's preview thread: must not touch user interface.
    virtual bool GetThumbnail(const QString& path, int width, int height,
                              std::unique_ptr<TKvThumbnail>& thumbnail) const;
    // Formats offered by Save As: every item in order.
    virtual void SaveFormats(TKvFileFormatList& list) const;
    // Formats offered by Open: every item, then "all supported files" (key
    // 0, the patterns of all items) and "all files" (key 0, "*.*").
    virtual void OpenFormats(TKvFileFormatList& list) const;

    int IndexOfKey(qint32 key) const;

private:
    TKvFileFormatList AllItems() const;
};
