#include "KvKeptPicture.h"

#include "KvGraphicsDocument.h"
#include "KvGraphicsEditor.h"

bool TKvKeptPicture::Keep(const TKvGraphicsDocument& document)
{
    document.CopyImage(m_image, &m_original);
    const TKvLTBitmap& image = document.Image();
    if (m_image.Width != image.Width() || m_image.Height != image.Height()) {
        m_image.Release();
        m_original.Release();
        m_holds = false;
        return false;
    }
    m_cropRect = document.CropRect();
    m_properties.Assign(&document.Properties());
    m_fileName = document.FileName();
    m_formatKey = document.FormatKey();
    m_saved = document.Saved();
    m_holds = true;
    return true;
}

bool TKvKeptPicture::PutBack(TKvGraphicsEditor& editor)
{
    if (!m_holds)
        return false;
    if (TKvDocument* open = editor.ActiveDocument()) {
        open->SetNoSavePrompt(true);
        if (!open->CloseQuery())
            return false;
    }
    TKvDocument* created = nullptr;
    if (!editor.NewDocument(created) || !created)
        return false;
    auto* document = static_cast<TKvGraphicsDocument*>(created);
    document->SetFileName(m_fileName);
    document->SetFormatKey(m_formatKey);
    document->Properties().Assign(&m_properties);
    // Without a codec geometry: the kept picture is written from its pixels.
    const TKvGraphicsGeometry geometry{m_cropRect, std::nullopt};
    TKvPixelBuffer* original = m_original.Width > 0 ? &m_original : nullptr;
    document->AdoptImage(std::move(m_image), original, &geometry);
    if (m_saved)
        document->MarkSaved();
    else
        document->NotifyChanged();
    editor.ActivateDocument(document);
    editor.FitView();
    m_image.Release();
    m_original.Release();
    m_holds = false;
    return true;
}
