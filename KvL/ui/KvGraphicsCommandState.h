// Command states of the graphics editor: an operation of a tool on a
// rectangle of a graphics document, and the usual kind that keeps the
// rectangle's pixels as they were before and after the edit.
#pragma once

#include "KvBitmap.h"
#include "KvCommandHistory.h"

class IKvGraphicsTool;
class TKvGraphicsDocument;

// Says "Out of memory." and gives up the undo or redo under way
// (EKvCommandNotDone): for a state that could not restore its pictures and
// left the document as it was.
[[noreturn]] void AbandonForLackOfMemory();

// An operation of a tool on a rectangle (image coordinates) of a document.
// Creating one tells every tool that the tool's state changed there.
class TKvCustomGraphicsCommandState : public TKvCommandState {
public:
    TKvCustomGraphicsCommandState(IKvGraphicsTool* tool, const TRect& rect, TKvGraphicsDocument* document);

    IKvGraphicsTool* Tool() const { return m_tool; }
    TKvGraphicsDocument* Document() const { return m_document; }
    TRect Rect() const { return m_rect; }

    // Tells every tool that this state changed its rectangle (after an undo
    // or redo).
    void Undo() override;
    void Redo() override;

private:
    IKvGraphicsTool* m_tool;
    TKvGraphicsDocument* m_document;
    TRect m_rect;
};

// An edit kept as the rectangle's pixels before it (from the document's
// Committed picture) and after it (from Image, taken at the first undo, so
// that an edit never undone keeps one copy, and its recording copies the
// rectangle once). Undo and redo put them back and bring Committed up to
// date.
class TKvGraphicsCommandState : public TKvCustomGraphicsCommandState {
public:
    // rect is clipped to the picture.
    TKvGraphicsCommandState(IKvGraphicsTool* tool, const TRect& rect, TKvGraphicsDocument* document);

    void Undo() override;
    void Redo() override;


private:
    void Restore(const TKvPixelBuffer& pixels);

    TKvPixelBuffer m_before;
    TKvPixelBuffer m_after;
};
