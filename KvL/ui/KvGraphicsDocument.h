// The document of the graphics editor: one 24-bit picture being edited, the
// pristine picture as loaded, the picture as it stood after the last
// recorded edit, the picture's metadata, an optional crop rectangle, the
// edit lock through which one tool at a time changes pixels, and the
// lossless JPEG codec that follows the picture's turns, flips and crops.
#pragma once

#include "JpegCodec.h"
#include "KvEditor.h"
#include "KvLTBitmap.h"
#include "KvImageMetadata.h"

#include <memory>
#include <optional>
#include <vector>

class TKvGraphicsDocument;

// What a graphics document asks of a graphics tool: end an edit it
// interrupted, and the notifications every tool receives.
class IKvGraphicsTool {
public:
    // Records the tool's open edit (called when another tool takes the lock).
    virtual void EndEdit() = 0;
    virtual void DocumentOpened(TKvGraphicsDocument* document) = 0;
    virtual void DocumentClosing(TKvGraphicsDocument* document) = 0;
    virtual void DocumentSaving(TKvGraphicsDocument* document) = 0;
    virtual void BeforeUndo(TKvCommandState* state) = 0;
    virtual void AfterUndo(TKvCommandState* state) = 0;
    virtual void BeforeRedo(TKvCommandState* state) = 0;
    virtual void AfterRedo(TKvCommandState* state) = 0;
    // A command state of `tool` was created, undone or redone for rect.
    virtual void StateChanged(TKvGraphicsDocument* document, IKvGraphicsTool* tool, const TRect& rect) = 0;
    // The change the tool holds open on the document (an adjustment or a
    // preview waiting for Ok, a rectangle being placed) is committed or
    // cancelled now, because something is about to read or write the
    // document as a whole: saving, printing, plug-in OK, undo and redo,
    // closing it or opening another picture in its place. A committed
    // change is recorded as a command before the caller goes on; a
    // cancelled one leaves the pixels as they were before it.
    virtual void CommitOrCancelOpenChange(TKvGraphicsDocument* document) = 0;
    // Whether the tool holds such a change on the document: its lock on the
    // document then waits for the user, it does not stand for running work.
    virtual bool HasOpenChange(const TKvGraphicsDocument* document) const = 0;

protected:
    ~IKvGraphicsTool() = default;
};

// What a graphics document asks of its view (the view widget implements it).
class IKvGraphicsDocumentView {
public:
    // Repaints the part of the view that shows rect (image coordinates)
    // without erasing it first.
    virtual void InvalidateImageRect(const TRect& rect) = 0;
    // The picture changed its size or crop rectangle: the view takes the new
    // picture rectangle and recomputes its scroll range.
    virtual void ImageChanged() = 0;

protected:
    ~IKvGraphicsDocumentView() = default;
};

// What a graphics document asks of the graphics editor.
class IKvGraphicsDocumentEditor : public virtual IKvDocumentEditor {
public:
    // Every graphics tool of the application, in creation order.
    virtual const std::vector<IKvGraphicsTool*>& GraphicsTools() const = 0;
    // Shows the picture's size in the status bar.
    virtual void ShowImageSize(int width, int height) = 0;
    // Creates the graphics view of the document (it implements
    // IKvGraphicsDocumentView).
    virtual QWidget* CreateView(TKvGraphicsDocument* document) = 0;

protected:
    ~IKvGraphicsDocumentEditor() = default;
};

// Where the picture lies: the crop rectangle and, while the codec follows
// the picture, the codec's geometry. Command states that put whole pictures
// back take it with the pictures and hand it to ReplaceImage.
struct TKvGraphicsGeometry {
    TRect CropRect;
    std::optional<TJpegGeometry> Codec; // none when the codec did not follow the picture
};

class TKvGraphicsDocument : public TKvDocument {
public:
    explicit TKvGraphicsDocument(IKvGraphicsDocumentEditor* editor = nullptr);
    ~TKvGraphicsDocument() override;

    IKvGraphicsDocumentEditor* GraphicsEditor() const { return m_graphicsEditor; }

    TKvLTBitmap& Image() { return m_image; }
    const TKvLTBitmap& Image() const { return m_image; }
    // Turned and mirrored with the picture only when first looked at after
    // the turns: turning a picture four times turns its original not at
    // all. Should the memory for that be lacking, the original is dropped
    // (empty) and the codec no longer counted in step.
    TKvLTBitmap& Original();
    const TKvLTBitmap& Original() const;
    // Made from Image on first use after a turn, a flip or a crop, which
    // leave the two equal: turning four times copies the picture once.
    TKvPixelBuffer& Committed();
    const TKvPixelBuffer& Committed() const;
    TKvGraphicsDocumentProperties& Properties() { return m_properties; }
    const TKvGraphicsDocumentProperties& Properties() const { return m_properties; }
    JpegCodec& Codec() { return *m_codec; }
    const JpegCodec& Codec() const { return *m_codec; }

    // Called once Image holds a freshly loaded picture: Original and
    // Committed become copies of it, the crop rectangle is cleared, and the
    // codec counts as following the picture when it holds a source of the
    // picture's size. False when the copies cannot be made.
    bool ImageLoaded();

    // True while the codec holds a source JPEG and follows every turn, flip,
    // crop and undo of the picture, so that a save can keep the source's
    // coefficients.
    bool CodecInStep() const;

    // --- Geometry

    // The crop rectangle, or the whole picture when there is none.
    TRect GetImageRect() const;
    TRect CropRect() const { return m_cropRect; }
    bool HasCropRect() const { return !m_cropRect.IsEmpty(); }
    void ClearCropRect() { m_cropRect = {}; }
    // The rectangle within the picture; the whole picture is kept as none.
    void SetCropRect(const TRect& rect);

    // Cuts Image and Original to rect within the picture and clears the
    // crop rectangle. The codec follows exactly: a crop off its block grid
    // is written from pixels at the next save. False, and nothing changed,
    // when rect misses the picture or the pictures cannot both be cut.
    bool CropTo(const TRect& rect);
    // Quarter turns and mirrors of Image, Original, the crop rectangle and
    // the codec's source. False, and nothing changed, when the pictures
    // cannot both be turned.
    bool RotateLeft();
    bool RotateRight();
    bool FlipHorizontal();
    bool FlipVertical();

    TKvGraphicsGeometry Geometry() const;
    // Image takes the pixels of image and, when given, Original those of
    // original (each sized to its buffer); Committed becomes a copy of
    // Image. With a geometry (taken by Geometry() together with the
    // pictures) the crop rectangle and the codec go back to it; without one
    // the codec keeps following only when the Original stays and the size
    // does not change.
    void ReplaceImage(const TKvPixels& image, const TKvPixels* original,
                      const TKvGraphicsGeometry* geometry = nullptr);
    // The same with the buffers' pixels taken over instead of copied.
    void AdoptImage(TKvPixelBuffer&& image, TKvPixelBuffer* original, const TKvGraphicsGeometry* geometry = nullptr);
    // Copies Image (and Original) into the buffers, which take their size.
    void CopyImage(TKvPixelBuffer& image, TKvPixelBuffer* original) const;
    // The picture fitted into a size x size square, Lanczos-resampled; none
    // for an empty picture.
    std::unique_ptr<TKvLTBitmap> CreateScaledCopy(int size) const;

    // --- Edit lock and repainting

    // Starts an edit by tool; an open edit of another tool is recorded first.
    void Lock(IKvGraphicsTool* tool);
    // Ends the lock without calling any tool (the tool ending its own edit,
    // or the editor dropping the lock).
    void Unlock();
    // Ends the lock on behalf of the document: the locking tool's EndEdit
    // records what it changed so far.
    void InterruptEdit();
    // Drops the lock and the tool (after a cancelled edit).
    void ResetLock();
    bool Locked() const { return m_locked; }
    IKvGraphicsTool* LockingTool() const { return m_lockingTool; }
    // Locked by a tool whose change waits for the user (HasOpenChange), so
    // that undo, for one, may go on once the change is settled.
    bool LockedByOpenChange() const;

    // Asks every tool to commit or cancel the change it holds open on the
    // document (IKvGraphicsTool::CommitOrCancelOpenChange). Saving,
    // closing, undo and redo call it; so does anything else that reads the
    // whole document, printing for one.
    void CommitOrCancelOpenChanges() override;

    TRect DirtyRect() const { return m_dirtyRect; }
    // Adds rect to the dirty rectangle of the edit and repaints it.
    void AddDirtyRect(const TRect& rect);
    // Adds rect to the dirty rectangle of the edit without repainting it:
    // what changed there does not show (marks kept beside the pixels).
    void ExtendDirtyRect(const TRect& rect);
    void InvalidateImageRect(const TRect& rect);
    // Tells the view and the status bar the picture's new rectangle.
    void ImageChanged();

    // --- Recording

    // Appends the state to the history.
    void RecordState(std::unique_ptr<TKvCommandState> state);
    // The usual end of an edit: when the dirty rectangle is not empty, a
    // TKvGraphicsCommandState of tool for it is recorded and Committed
    // brought up to date. False when nothing changed.
    bool RecordEdit(IKvGraphicsTool* tool);
    // Committed := a copy of the whole of Image.
    void ResetCommitted();
    // Copies rect of Image into Committed (the whole of Image when Committed
    // no longer covers the picture).
    void UpdateCommitted(const TRect& rect);

    // --- Notifications to every graphics tool

    void BroadcastStateChanged(IKvGraphicsTool* tool, const TRect& rect);
    void BroadcastBeforeUndo();
    void BroadcastAfterUndo();
    void BroadcastBeforeRedo();
    void BroadcastAfterRedo();

    void AfterOpen() override;
    void BeforeClose() override;
    void BeforeSave() override;

protected:
    QWidget* CreateView() override;

private:
    IKvGraphicsDocumentView* ViewInterface() const;
    template <typename Notify>
    void ForEachTool(Notify notify);
    // The transformation applied to Image, Original and the codec.
    // What follows a new Image (and Original): Committed, the crop
    // rectangle and the codec.
    void ImageReplaced(bool sameSize, bool newOriginal, const TKvGraphicsGeometry* geometry);
    // Committed equals Image from now on until it is first used; made then.
    void CommitLater() { m_committedIsImage = true; }
    void MakeCommitted() const;
    // Original takes the turns Image took since it last followed.
    void MakeOriginal() const;
    bool Transform(TPixelTurn turn, void (JpegCodec::*codecTurn)(), const TRect& newCropRect);

    IKvGraphicsDocumentEditor* m_graphicsEditor;
    TKvLTBitmap m_image;
    mutable TKvLTBitmap m_original;
    // The turns of Image that Original has still to take.
    mutable TPixelOrientation m_originalTurn;
    mutable TKvPixelBuffer m_committed;
    mutable bool m_committedIsImage = false;
    TKvGraphicsDocumentProperties m_properties;
    std::unique_ptr<JpegCodec> m_codec;
    mutable bool m_codecInStep = false;
    TRect m_cropRect;
    TRect m_dirtyRect;
    bool m_locked = false;
    IKvGraphicsTool* m_lockingTool = nullptr;
};
