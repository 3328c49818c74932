#include "KvGraphicsDocument.h"

#include "KvGraphicsCommandState.h"
#include "ParallelRows.h"

#include <QWidget>

namespace {

// The rectangle within the picture; the whole picture is kept as none.
TRect ClipCropRect(const TRect& rect, const TRect& bounds)
{
    const TRect clipped = IntersectRect(rect, bounds);
    return clipped == bounds ? TRect{} : clipped;
}

} // namespace

// ---------------------------------------------------------------------------
// TKvGraphicsDocument

TKvGraphicsDocument::TKvGraphicsDocument(IKvGraphicsDocumentEditor* editor)
    : TKvDocument(editor), m_graphicsEditor(editor), m_codec(std::make_unique<JpegCodec>())
{
}

TKvGraphicsDocument::~TKvGraphicsDocument() { DestroyView(); }

QWidget* TKvGraphicsDocument::CreateView()
{
    return m_graphicsEditor ? m_graphicsEditor->CreateView(this) : nullptr;
}

bool TKvGraphicsDocument::ImageLoaded()
{
    m_cropRect = {};
    m_originalTurn = {};
    if (!m_original.AssignPixels(m_image.Pixels()))
        return false;
    ResetCommitted();
    m_codecInStep = m_codec->HasImage() && m_codec->Width() == m_image.Width()
        && m_codec->Height() == m_image.Height();
    return true;
}

bool TKvGraphicsDocument::CodecInStep() const
{
    return m_codecInStep && m_codec->HasImage();
}

// ---------------------------------------------------------------------------
// Geometry

TRect TKvGraphicsDocument::GetImageRect() const
{
    return HasCropRect() ? m_cropRect : m_image.GetBounds();
}

void TKvGraphicsDocument::SetCropRect(const TRect& rect)
{
    m_cropRect = ClipCropRect(rect, m_image.GetBounds());
    ImageChanged();
}

bool TKvGraphicsDocument::CropTo(const TRect& rect)
{
    const TRect cut = IntersectRect(rect, m_image.GetBounds());
    // Narrowed to windows of their own storage, the pictures need no memory
    // and move no pixel: the crop is made on both or, for a rectangle that
    // misses the picture, on none.
    if (cut.IsEmpty())
        return false;
    MakeOriginal(); // the cut is in the picture's present orientation
    if (!m_image.CropInPlace(cut))
        return false;
    if (!m_original.IsEmpty())
        m_original.CropInPlace(cut);
    ClearCropRect();
    CommitLater();
    if (m_codec->HasImage() && !m_codec->CropTo(cut))
        m_codecInStep = false;
    ImageChanged();
    return true;
}

bool TKvGraphicsDocument::Transform(TPixelTurn turn, void (JpegCodec::*codecTurn)(), const TRect& newCropRect)
{
    // A turn that cannot be made on both pictures leaves the document as it
    // was, so that nothing turned is recorded and no undo turns a picture
    // that never turned. The original takes the turn when it is next
    // looked at (should the memory then be lacking, it is dropped).
    if ((!m_original.IsEmpty() && m_original.Pixels().Format != PixelFormatBGR24) || !m_image.Turn(turn))
        return false;
    if (!m_original.IsEmpty())
        m_originalTurn.Then(turn);
    m_cropRect = newCropRect;
    CommitLater();
    if (m_codec->HasImage())
        ((*m_codec).*codecTurn)();
    ImageChanged();
    return true;
}

bool TKvGraphicsDocument::RotateLeft()
{
    const TRect c = m_cropRect;
    const int w = m_image.Width();
    return Transform(TPixelTurn::Left, &JpegCodec::RotateLeft,
                     HasCropRect() ? TRect{c.Top, w - c.Right, c.Bottom, w - c.Left} : TRect{});
}

bool TKvGraphicsDocument::RotateRight()
{
    const TRect c = m_cropRect;
    const int h = m_image.Height();
    return Transform(TPixelTurn::Right, &JpegCodec::RotateRight,
                     HasCropRect() ? TRect{h - c.Bottom, c.Left, h - c.Top, c.Right} : TRect{});
}

bool TKvGraphicsDocument::FlipHorizontal()
{
    const TRect c = m_cropRect;
    const int w = m_image.Width();
    return Transform(TPixelTurn::MirrorX, &JpegCodec::FlipHorizontal,
                     HasCropRect() ? TRect{w - c.Right, c.Top, w - c.Left, c.Bottom} : TRect{});
}

bool TKvGraphicsDocument::FlipVertical()
{
    const TRect c = m_cropRect;
    const int h = m_image.Height();
    return Transform(TPixelTurn::MirrorY, &JpegCodec::FlipVertical,
                     HasCropRect() ? TRect{c.Left, h - c.Bottom, c.Right, h - c.Top} : TRect{});
}

TKvGraphicsGeometry TKvGraphicsDocument::Geometry() const
{
    TKvGraphicsGeometry geometry{m_cropRect, std::nullopt};
    if (CodecInStep())
        geometry.Codec = m_codec->GetGeometry();
    return geometry;
}

void TKvGraphicsDocument::ReplaceImage(const TKvPixels& image, const TKvPixels* original,
                                       const TKvGraphicsGeometry* geometry)
{
    const bool sameSize = image.Width == m_image.Width() && image.Height == m_image.Height();
    if (original) {
        m_originalTurn = {};
        if (!m_original.AssignPixels(*original))
            m_codecInStep = false;
    }
    m_image.AssignPixels(image);
    ImageReplaced(sameSize, original != nullptr, geometry);
}

void TKvGraphicsDocument::AdoptImage(TKvPixelBuffer&& image, TKvPixelBuffer* original,
                                     const TKvGraphicsGeometry* geometry)
{
    const bool sameSize = image.Width == m_image.Width() && image.Height == m_image.Height();
    if (original) {
        m_originalTurn = {};
        m_original.Adopt(std::move(*original));
    }
    m_image.Adopt(std::move(image));
    ImageReplaced(sameSize, original != nullptr, geometry);
}

void TKvGraphicsDocument::ImageReplaced(bool sameSize, bool newOriginal, const TKvGraphicsGeometry* geometry)
{
    CommitLater();
    if (geometry) {
        m_cropRect = ClipCropRect(geometry->CropRect, m_image.GetBounds());
        m_codecInStep = geometry->Codec && m_codec->HasImage() && m_codec->SetGeometry(*geometry->Codec)
            && m_codec->Width() == m_image.Width() && m_codec->Height() == m_image.Height();
    } else {
        m_cropRect = ClipCropRect(m_cropRect, m_image.GetBounds());
        if (newOriginal || !sameSize)
            m_codecInStep = false;
    }
    ImageChanged();
}

void TKvGraphicsDocument::CopyImage(TKvPixelBuffer& image, TKvPixelBuffer* original) const
{
    const auto copy = [](const TKvPixels& from, TKvPixelBuffer& to) {
        if (to.SetFormatForOverwrite(from.Format, from.GetBounds()))
            AssignInBands(to, from);
    };
    copy(m_image.Pixels(), image);
    if (original)
        copy(Original().Pixels(), *original);
}

std::unique_ptr<TKvLTBitmap> TKvGraphicsDocument::CreateScaledCopy(int size) const
{
    int width = 0;
    int height = 0;
    if (!FitSize(m_image.Width(), m_image.Height(), size, size, width, height))
        return nullptr;
    auto copy = std::make_unique<TKvLTBitmap>();
    if (!copy->SetSize(std::max(width, 1), std::max(height, 1), PixelFormatBGR24))
        return nullptr;
    ResamplePixels(copy->Pixels(), copy->GetBounds(), copy->GetBounds(), TLanczosResampler{},
                   m_image.GetBounds(), m_image.Pixels());
    return copy;
}

// ---------------------------------------------------------------------------
// Edit lock and repainting

void TKvGraphicsDocument::Lock(IKvGraphicsTool* tool)
{
    if (m_locked)
        InterruptEdit();
    m_dirtyRect = {};
    m_lockingTool = tool;
    m_locked = true;
}

void TKvGraphicsDocument::Unlock()
{
    m_locked = false;
    m_dirtyRect = {};
}

void TKvGraphicsDocument::InterruptEdit()
{
    m_locked = false;
    // The tool records its edit from the dirty rectangle, so that is
    // emptied only afterwards.
    if (m_lockingTool)
        m_lockingTool->EndEdit();
    m_dirtyRect = {};
}

bool TKvGraphicsDocument::LockedByOpenChange() const
{
    return m_locked && m_lockingTool && m_lockingTool->HasOpenChange(this);
}

void TKvGraphicsDocument::ResetLock()
{
    m_locked = false;
    m_lockingTool = nullptr;
    m_dirtyRect = {};
}

void TKvGraphicsDocument::AddDirtyRect(const TRect& rect)
{
    ExtendDirtyRect(rect);
    InvalidateImageRect(rect);
}

void TKvGraphicsDocument::ExtendDirtyRect(const TRect& rect)
{
    m_dirtyRect = UnionRect(m_dirtyRect, rect);
}

IKvGraphicsDocumentView* TKvGraphicsDocument::ViewInterface() const
{
    return dynamic_cast<IKvGraphicsDocumentView*>(ExistingView());
}

void TKvGraphicsDocument::InvalidateImageRect(const TRect& rect)
{
    if (IKvGraphicsDocumentView* view = ViewInterface())
        view->InvalidateImageRect(rect);
}

void TKvGraphicsDocument::ImageChanged()
{
    if (IKvGraphicsDocumentView* view = ViewInterface())
        view->ImageChanged();
    if (m_graphicsEditor)
        m_graphicsEditor->ShowImageSize(m_image.Width(), m_image.Height());
}

// ---------------------------------------------------------------------------
// Recording

void TKvGraphicsDocument::RecordState(std::unique_ptr<TKvCommandState> state)
{
    History().Add(std::move(state));
}

bool TKvGraphicsDocument::RecordEdit(IKvGraphicsTool* tool)
{
    const TRect changed = m_dirtyRect;
    if (changed.IsEmpty())
        return false;
    History().DiscardRedo();
    RecordState(std::make_unique<TKvGraphicsCommandState>(tool, changed, this));
    UpdateCommitted(changed);
    return true;
}

TKvLTBitmap& TKvGraphicsDocument::Original()
{
    MakeOriginal();
    return m_original;
}

const TKvLTBitmap& TKvGraphicsDocument::Original() const
{
    MakeOriginal();
    return m_original;
}

void TKvGraphicsDocument::MakeOriginal() const
{
    if (m_originalTurn.IsIdentity())
        return;
    const std::vector<TPixelTurn> steps = m_originalTurn.Steps();
    m_originalTurn = {};
    for (const TPixelTurn step : steps)
        if (!m_original.Turn(step)) {
            // An original the wrong way round would be shown and compared
            // with: none is better.
            m_original.Release();
            m_codecInStep = false;
            return;
        }
}

TKvPixelBuffer& TKvGraphicsDocument::Committed()
{
    MakeCommitted();
    return m_committed;
}

const TKvPixelBuffer& TKvGraphicsDocument::Committed() const
{
    MakeCommitted();
    return m_committed;
}

void TKvGraphicsDocument::MakeCommitted() const
{
    if (!m_committedIsImage)
        return;
    m_committedIsImage = false;
    if (m_committed.SetFormatForOverwrite(m_image.Pixels().Format, m_image.GetBounds()))
        AssignInBands(m_committed, m_image.Pixels());
}

void TKvGraphicsDocument::ResetCommitted()
{
    m_committedIsImage = true;
    MakeCommitted();
}

void TKvGraphicsDocument::UpdateCommitted(const TRect& rect)
{
    MakeCommitted();
    if (m_committed.GetBounds() != m_image.GetBounds() || m_committed.Format != m_image.Pixels().Format) {
        ResetCommitted();
        return;
    }
    const TRect area = IntersectRect(rect, m_image.GetBounds());
    m_committed.CopyFrom(area.Left, area.Top, area, m_image.Pixels());
}

// ---------------------------------------------------------------------------
// Notifications

template <typename Notify>
void TKvGraphicsDocument::ForEachTool(Notify notify)
{
    if (!m_graphicsEditor)
        return;
    // A copy: a tool may be created or freed while it is told.
    const std::vector<IKvGraphicsTool*> tools = m_graphicsEditor->GraphicsTools();
    for (IKvGraphicsTool* tool : tools)
        notify(tool);
}

void TKvGraphicsDocument::BroadcastStateChanged(IKvGraphicsTool* tool, const TRect& rect)
{
    ForEachTool([&](IKvGraphicsTool* each) { each->StateChanged(this, tool, rect); });
}

void TKvGraphicsDocument::BroadcastBeforeUndo()
{
    ForEachTool([&](IKvGraphicsTool* each) { each->BeforeUndo(History().NextUndoState()); });
}

void TKvGraphicsDocument::BroadcastAfterUndo()
{
    ForEachTool([&](IKvGraphicsTool* each) { each->AfterUndo(History().NextUndoState()); });
}

void TKvGraphicsDocument::BroadcastBeforeRedo()
{
    ForEachTool([&](IKvGraphicsTool* each) { each->BeforeRedo(History().NextRedoState()); });
}

void TKvGraphicsDocument::BroadcastAfterRedo()
{
    ForEachTool([&](IKvGraphicsTool* each) { each->AfterRedo(History().NextRedoState()); });
}

void TKvGraphicsDocument::CommitOrCancelOpenChanges()
{
    ForEachTool([&](IKvGraphicsTool* each) { each->CommitOrCancelOpenChange(this); });
}

void TKvGraphicsDocument::AfterOpen()
{
    ForEachTool([&](IKvGraphicsTool* each) { each->DocumentOpened(this); });
}

void TKvGraphicsDocument::BeforeClose()
{
    ForEachTool([&](IKvGraphicsTool* each) { each->DocumentClosing(this); });
}

void TKvGraphicsDocument::BeforeSave()
{
    ForEachTool([&](IKvGraphicsTool* each) { each->DocumentSaving(this); });
}
