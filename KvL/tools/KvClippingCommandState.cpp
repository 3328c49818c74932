#include "KvClippingCommandState.h"

#include "KvGraphicsDocument.h"

namespace {

bool KeepsBefore(const TKvClippingRecord& record)
{
    return record.Kind != TKvClippingRecord::ckSwap && record.Kind != TKvClippingRecord::ckParameters;
}

bool KeepsAfter(const TKvClippingRecord& record)
{
    return record.Kind == TKvClippingRecord::ckNone || record.Kind == TKvClippingRecord::ckMarks;
}

void Snapshot(const TKvPixels& pixels, const TRect& rect, TKvPixelBuffer& into)
{
    if (into.SetFormat(pixels.Format, rect))
        into.Assign(pixels);
}

} // namespace

TKvClippingCommandState::TKvClippingCommandState(TKvClippingTool* tool, const TRect& rect,
                                                 TKvGraphicsDocument* document)
    : TKvCustomGraphicsCommandState(tool, IntersectRect(rect, document->Image().GetBounds()), document), m_tool(tool)
{
    const TRect r = Rect();
    m_beforeRecord = tool->BeforeRecord();
    m_afterRecord = tool->AfterRecord();
    TMarkedRegion& region = Region();
    if (KeepsBefore(m_beforeRecord)) {
        Snapshot(document->Committed(), r, m_beforeImage);
        m_beforeMarks.SetSize(r.Width(), r.Height());
        region.CopyCommitted(m_beforeCounts, r, m_beforeMarks);
    }
    if (KeepsAfter(m_afterRecord)) {
        Snapshot(document->Image().Pixels(), r, m_afterImage);
        m_afterMarks.SetSize(r.Width(), r.Height());
        region.CopyCurrent(m_afterCounts, r, m_afterMarks);
    }
    document->UpdateCommitted(r);
    region.Commit(r);
}

void TKvClippingCommandState::Restore(const TKvPixelBuffer& image, const TLabelCounts& counts,
                                      const TMarkedPointArray& marks)
{
    Document()->Image().Pixels().Assign(image);
    Region().RestoreCurrent(counts, Rect(), marks);
}

void TKvClippingCommandState::ShowObjectIn(quint8 object)
{
    m_tool->Session().StartShowingObject(object).Run();
}

void TKvClippingCommandState::RenderBackground(const TKvClippingRecord& record)
{
    m_tool->Session().StartRefresh(record.Parameters()).Run();
}

void TKvClippingCommandState::Undo()
{
    switch (m_beforeRecord.Kind) {
    case TKvClippingRecord::ckSwap:
        // Back to the object shown before the swap, however many segments
        // there are.
        ShowObjectIn(m_beforeRecord.Object);
        break;
    case TKvClippingRecord::ckParameters:
        RenderBackground(m_beforeRecord);
        break;
    default:
        Restore(m_beforeImage, m_beforeCounts, m_beforeMarks);
        break;
    }
    Finish(true);
}

void TKvClippingCommandState::Redo()
{
    switch (m_afterRecord.Kind) {
    case TKvClippingRecord::ckDone:
        m_tool->Session().Finish();
        break;
    case TKvClippingRecord::ckEffect:
        // With the parameters of the time, whatever the panel shows now.
        m_tool->Session().StartEffect(m_afterRecord.Parameters()).Run();
        break;
    case TKvClippingRecord::ckClear:
        m_tool->Session().StartClear().Run();
        m_tool->Outline().Clear();
        break;
    case TKvClippingRecord::ckSwap:
        ShowObjectIn(m_afterRecord.Object);
        break;
    case TKvClippingRecord::ckParameters:
        RenderBackground(m_afterRecord);
        break;
    default:
        Restore(m_afterImage, m_afterCounts, m_afterMarks);
        break;
    }
    Finish(false);
}

void TKvClippingCommandState::Finish(bool undo)
{
    TKvGraphicsDocument* document = Document();
    TMarkedRegion& region = Region();
    document->InvalidateImageRect(Rect());
    document->ResetCommitted();
    region.Commit(Rect());
    if (undo)
        TKvCustomGraphicsCommandState::Undo();
    else
        TKvCustomGraphicsCommandState::Redo();
    m_tool->FollowObject();
    IKvGraphicsEditor* editor = m_tool->Editor();
    // Nobody is left in a half-finished cut while another tool is current:
    // the history goes on to the next step.
    const bool goOn = !region.IsEmpty() && editor && editor->PreviousActiveTool() != m_tool;
    if (editor)
        editor->SetContinueUndoRedo(goOn);
    if (!goOn)
        m_tool->Outline().Rebuild(region);
}
