// The undo entry of a clipping command: it restores the picture and the
// marks of the command's rectangle, but keeps no pixels where a command can
// simply be done again: a swap or a new background keeps none at all, and
// Effect, Done and Clear keep only the state before them.
#pragma once

#include "KvClippingTool.h"
#include "KvGraphicsCommandState.h"

// What a clipping command keeps of the picture and the marks of its
// rectangle, before and after it. Taking them is most of the work of ending
// a command on a large picture, so the tool may take them off the main
// thread, while nothing else writes the picture or the marks.
struct TKvClippingSnapshots {
    TRect Rect;
    TKvClippingRecord BeforeRecord;
    TKvClippingRecord AfterRecord;
    TLabelCounts BeforeCounts{};
    TLabelCounts AfterCounts{};
    TKvPixelBuffer BeforeImage;
    TKvPixelBuffer AfterImage;
    TMarkedPointArray BeforeMarks;
    TMarkedPointArray AfterMarks;
};

class TKvClippingCommandState : public TKvCustomGraphicsCommandState {
public:
    // Takes the snapshots of the tool's edit, from its records, for the
    // part of rect inside the picture; the document's committed picture and
    // the region's committed marks then catch up with the command. Touches
    // no user interface.
    static TKvClippingSnapshots TakeSnapshots(TKvClippingTool* tool, const TRect& rect,
                                              TKvGraphicsDocument* document);

    // Made at the end of the tool's edit, taking the snapshots now or from
    // those taken already.
    TKvClippingCommandState(TKvClippingTool* tool, const TRect& rect, TKvGraphicsDocument* document);
    TKvClippingCommandState(TKvClippingTool* tool, TKvGraphicsDocument* document, TKvClippingSnapshots snapshots);

    void Undo() override;
    void Redo() override;

    const TKvClippingRecord& BeforeRecord() const { return m_kept.BeforeRecord; }
    const TKvClippingRecord& AfterRecord() const { return m_kept.AfterRecord; }
    // The snapshots kept; empty where the command is repeated instead.
    const TKvPixelBuffer& BeforeImage() const { return m_kept.BeforeImage; }
    const TKvPixelBuffer& AfterImage() const { return m_kept.AfterImage; }
    const TMarkedPointArray& BeforeMarks() const { return m_kept.BeforeMarks; }
    const TMarkedPointArray& AfterMarks() const { return m_kept.AfterMarks; }

private:
    TKvClippingTool* ClippingTool() const { return m_tool; }
    TMarkedRegion& Region() const { return m_tool->Region(); }
    // The picture and marks of the rectangle from a snapshot.
    void Restore(const TKvPixelBuffer& image, const TLabelCounts& counts, const TMarkedPointArray& marks);
    // Shows the object in the segment, the background keeping its effect.
    void ShowObjectIn(quint8 object);
    // Renders the background with the record's effect and parameter.
    void RenderBackground(const TKvClippingRecord& record);
    // Repaints, brings the committed copies up to date and tells the tools;
    // asks for one more undo or redo step while marks remain and another
    // tool was current.
    void Finish(bool undo);

    TKvClippingTool* m_tool;
    TKvClippingSnapshots m_kept;
};
