// The undo entry of a clipping command: it restores the picture and the
// marks of the command's rectangle, but keeps no pixels where a command can
// simply be done again: a swap or a new background keeps none at all, and
// Effect, Done and Clear keep only the state before them.
#pragma once

#include "KvClippingTool.h"
#include "KvGraphicsCommandState.h"

class TKvClippingCommandState : public TKvCustomGraphicsCommandState {
public:
    // Made at the end of the tool's edit from its records, for the part of
    // rect inside the picture; the document's committed picture and the
    // region's committed marks then catch up with the command.
    TKvClippingCommandState(TKvClippingTool* tool, const TRect& rect, TKvGraphicsDocument* document);

    void Undo() override;
    void Redo() override;

    const TKvClippingRecord& BeforeRecord() const { return m_beforeRecord; }
    const TKvClippingRecord& AfterRecord() const { return m_afterRecord; }
    // The snapshots kept; empty where the command is repeated instead.
    const TKvPixelBuffer& BeforeImage() const { return m_beforeImage; }
    const TKvPixelBuffer& AfterImage() const { return m_afterImage; }
    const TMarkedPointArray& BeforeMarks() const { return m_beforeMarks; }
    const TMarkedPointArray& AfterMarks() const { return m_afterMarks; }

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
    TLabelCounts m_beforeCounts{};
    TLabelCounts m_afterCounts{};
    TKvPixelBuffer m_beforeImage;
    TKvPixelBuffer m_afterImage;
    TMarkedPointArray m_beforeMarks;
    TMarkedPointArray m_afterMarks;
    TKvClippingRecord m_beforeRecord;
    TKvClippingRecord m_afterRecord;
};
