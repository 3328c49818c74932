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

TKvClippingSnapshots TKvClippingCommandState::TakeSnapshots(TKvClippingTool* tool, const TRect& rect,
                                                            TKvGraphicsDocument* document)
{
    TKvClippingSnapshots kept;
    const TRect r = IntersectRect(rect, document->Image().GetBounds());
    kept.Rect = r;
    kept.BeforeRecord = tool->BeforeRecord();
    kept.AfterRecord = tool->AfterRecord();
    TMarkedRegion& region = tool->Region();
    if (KeepsBefore(kept.BeforeRecord)) {
        Snapshot(document->Committed(), r, kept.BeforeImage);
        kept.BeforeMarks.SetSize(r.Width(), r.Height());
        region.CopyCommitted(kept.BeforeCounts, r, kept.BeforeMarks);
    }
    if (KeepsAfter(kept.AfterRecord)) {
        Snapshot(document->Image().Pixels(), r, kept.AfterImage);
        kept.AfterMarks.SetSize(r.Width(), r.Height());
        region.CopyCurrent(kept.AfterCounts, r, kept.AfterMarks);
    }
    document->UpdateCommitted(r);
    region.Commit(r);
    return kept;
}

TKvClippingCommandState::TKvClippingCommandState(TKvClippingTool* tool, const TRect& rect,
                                                 TKvGraphicsDocument* document)
    : TKvClippingCommandState(tool, document, TakeSnapshots(tool, rect, document))
{
}

TKvClippingCommandState::TKvClippingCommandState(TKvClippingTool* tool, TKvGraphicsDocument* document,
                                                 TKvClippingSnapshots snapshots)
    : TKvCustomGraphicsCommandState(tool, snapshots.Rect, document), m_tool(tool), m_kept(std::move(snapshots))
{
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
    switch (m_kept.BeforeRecord.Kind) {
    case TKvClippingRecord::ckSwap:
        // Back to the object shown before the swap, however many segments
        // there are.
        ShowObjectIn(m_kept.BeforeRecord.Object);
        break;
    case TKvClippingRecord::ckParameters:
        RenderBackground(m_kept.BeforeRecord);
        break;
    default:
        Restore(m_kept.BeforeImage, m_kept.BeforeCounts, m_kept.BeforeMarks);
        break;
    }
    Finish(true);
}

void TKvClippingCommandState::Redo()
{
    switch (m_kept.AfterRecord.Kind) {
    case TKvClippingRecord::ckDone:
        m_tool->Session().Finish();
        break;
    case TKvClippingRecord::ckEffect:
        // With the parameters of the time, whatever the panel shows now.
        m_tool->Session().StartEffect(m_kept.AfterRecord.Parameters()).Run();
        break;
    case TKvClippingRecord::ckClear:
        m_tool->Session().StartClear().Run();
        m_tool->Outline().Clear();
        break;
    case TKvClippingRecord::ckSwap:
        ShowObjectIn(m_kept.AfterRecord.Object);
        break;
    case TKvClippingRecord::ckParameters:
        RenderBackground(m_kept.AfterRecord);
        break;
    default:
        Restore(m_kept.AfterImage, m_kept.AfterCounts, m_kept.AfterMarks);
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
