// The picture of a plug-in edit, kept in memory while a demonstration has
// the editor to itself: the host's exchange file is written only by OK, so
// the user's work in progress cannot go to disk as if it were confirmed.
// Keep copies the document's pictures, crop rectangle, metadata, file,
// format and whether it was saved; PutBack closes whatever the
// demonstration left open, without asking, and shows the kept picture as
// the active document again (its undo history starts afresh). The
// demonstration module uses it.
#pragma once

#include "KvBitmap.h"
#include "KvImageMetadata.h"

#include <QString>

class TKvGraphicsDocument;
class TKvGraphicsEditor;

class TKvKeptPicture {
public:
    // Copies the document's picture; false, keeping nothing, when the
    // memory for the copies is lacking.
    bool Keep(const TKvGraphicsDocument& document);
    bool Holds() const { return m_holds; }
    // Shows the kept picture again and forgets it; false when the editor
    // could not take a new document (the picture is then still kept).
    bool PutBack(TKvGraphicsEditor& editor);

private:
    bool m_holds = false;
    TKvPixelBuffer m_image;
    TKvPixelBuffer m_original;
    TRect m_cropRect;
    TKvGraphicsDocumentProperties m_properties;
    QString m_fileName;
    qint32 m_formatKey = 0;
    bool m_saved = false;
};
