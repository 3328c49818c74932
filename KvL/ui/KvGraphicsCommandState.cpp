#include "KvGraphicsCommandState.h"

#include "KvForms.h"
#include "KvGraphicsDocument.h"
#include "KvLocalizer.h"

void AbandonForLackOfMemory()
{
    if (KvApplication)
        KvApplication->MessageBox(LocalStr(2920, QStringLiteral("Out of memory.")), 16);
    throw EKvCommandNotDone();
}

namespace {

TRect ClippedToPicture(const TRect& rect, const TKvGraphicsDocument* document)
{
    return IntersectRect(rect, document->Image().GetBounds());
}

// A copy of the rect part of pixels, in their format, at rect's position;
// false when the memory for it cannot be had. A rect within the pixels is
// written whole, so its storage may be a freed picture's, not cleared.
bool Snapshot(const TKvPixels& pixels, const TRect& rect, TKvPixelBuffer& into)
{
    const bool written = IntersectRect(rect, pixels.GetBounds()) == rect;
    if (!(written ? into.SetFormatForOverwrite(pixels.Format, rect) : into.SetFormat(pixels.Format, rect)))
        return false;
    into.Assign(pixels);
    return true;
}

} // namespace

TKvCustomGraphicsCommandState::TKvCustomGraphicsCommandState(IKvGraphicsTool* tool, const TRect& rect,
                                                             TKvGraphicsDocument* document)
    : m_tool(tool), m_document(document), m_rect(rect)
{
    m_document->BroadcastStateChanged(m_tool, m_rect);
}

void TKvCustomGraphicsCommandState::Undo() { m_document->BroadcastStateChanged(m_tool, m_rect); }

void TKvCustomGraphicsCommandState::Redo() { m_document->BroadcastStateChanged(m_tool, m_rect); }

TKvGraphicsCommandState::TKvGraphicsCommandState(IKvGraphicsTool* tool, const TRect& rect,
                                                 TKvGraphicsDocument* document)
    : TKvCustomGraphicsCommandState(tool, ClippedToPicture(rect, document), document)
{
    Snapshot(document->Committed(), Rect(), m_before);
}

void TKvGraphicsCommandState::Restore(const TKvPixelBuffer& pixels)
{
    TKvGraphicsDocument* document = Document();
    document->Image().Pixels().Assign(pixels);
    document->InvalidateImageRect(pixels.GetBounds());
    document->ResetCommitted();
}

void TKvGraphicsCommandState::Undo()
{
    // The rectangle as the edit left it is what the document shows now (an
    // undo finds the document as the edit left it): it is kept from the
    // first undo on, for the redo, instead of from the edit on.
    if (!m_after.Data && !Rect().IsEmpty() && !Snapshot(Document()->Image().Pixels(), Rect(), m_after))
        AbandonForLackOfMemory();
    Restore(m_before);
    TKvCustomGraphicsCommandState::Undo();
}

void TKvGraphicsCommandState::Redo()
{
    Restore(m_after);
    TKvCustomGraphicsCommandState::Redo();
}
