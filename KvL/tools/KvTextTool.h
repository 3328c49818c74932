// The text tool: writes the memo's text into the picture.  The text is
// rendered once at its natural size as a white-on-black mask; the user
// drags a rectangle (moved and resized like the paste tool's, drawn
// leftwards or upwards it mirrors the letters) into which the mask is
// stretched, and the mask is the opacity with which the colour is blended:
// a chosen colour or, pixel by pixel, the inverse of the picture.  The text
// is shown live at the view's resolution; Enter or a click outside blends
// it into the picture as one undoable step, Esc or the right button drops
// it.
#pragma once

#include "KvPlacedRectControl.h"
#include "KvTextFrame.h"
#include "TextMask.h"

#include <QTimer>
#include <QUuid>

#include <memory>

class TKvTextTool;
class TKvToolPanelModule;

class TKvTextToolControl : public TKvPlacedRectControl {
public:
    using TKvPlacedRectControl::TKvPlacedRectControl;

    TKvTextTool* TextTool() const;

protected:
    void PaintPreview(TKvPixels& canvas, const TViewPixels& view) override;
    void Commit() override;
    void Cancel() override;
};

class TKvTextTool : public TKvGraphicsTool {
    Q_OBJECT
public:
    static const QUuid SettingsGuid;
    static constexpr int PanelWidth = 272;
    static constexpr int DefaultFontSize = 32;
    // The fonts chosen first, in this order, when installed.
    static const QStringList DefaultFonts;
    // The typing animation's pause between letters.
    static constexpr int DemoTypingMs = 500;

    TKvTextTool(IKvGraphicsEditor* editor, TKvToolPanelModule* panel = nullptr);
    ~TKvTextTool() override;

    TKvTextFrame* TextFrame() const { return m_frame; }
    int FontSize() const { return m_fontSize; }
    int ColorMode() const { return m_rule.ColorMode; }
    TColor TextColor() const { return m_rule.TextColor; }
    bool MaxInverse() const { return m_rule.MaxInverse; }
    int FontStyle() const { return m_fontStyle; }
    const TTextColorRule& ColorRule() const { return m_rule; }
    const TTextMask& Mask() const { return m_mask; }
    // The control's rectangle as the text's placement.
    TTextPlacement PlacementOf(const TKvTextToolControl& control) const;
    // The control that holds a rectangle on the document; none.
    TKvTextToolControl* ControlWithRectangle(const TKvGraphicsDocument* document = nullptr) const;

    // --- Settings, each shown in its control; a change is recorded and
    // shown at once (the size and the style render the mask again).
    // Values outside their ranges are brought into them.
    void SetFontSize(int size);
    void SetColorMode(int mode);
    void SetTextColor(TColor color);
    void SetMaxInverse(bool maxInverse);
    void SetFontStyle(int style);
    // The user clicked a colour item or the check box: set and recorded.
    void ColorModeClicked(int mode);
    void MaxInverseChanged(bool maxInverse);

    // Renders the memo's lines into the mask in the chosen font and shows
    // the text again.
    void RenderMask();
    // Selects the first default font installed, else the families the
    // system uses for serif and sans-serif text, else the first font listed.
    void SelectDefaultFont();
    // The demonstration's typing of "Yalta" into the memo, a letter every
    // half second, while the program goes on.
    void TypeDemoText();
    bool Typing() const { return m_typing.isActive(); }

    // --- The rectangle
    // Blends the text into the picture as one undoable step; a rectangle
    // that changes no pixel records nothing.
    void CommitText(TKvTextToolControl* control);
    void CancelText(TKvTextToolControl* control);

    // --- Tool framework
    void AfterCreate() override;
    void Activated() override;
    void Deactivated() override;
    void SetAvailable(bool available) override;
    void DocumentClosing(TKvGraphicsDocument* document) override;
    // A placed rectangle is committed, one being drawn or dragged dropped,
    // before the document is saved, printed, undone or closed.
    void CommitOrCancelOpenChange(TKvGraphicsDocument* document) override;
    bool HasOpenChange(const TKvGraphicsDocument* document) const override;
    void UpdateControls() override;
    void Localize() override;
    void LoadSettings(TKvSDFReader& reader) override;
    void SaveSettings(TKvSDFWriter& writer) override;

private:
    void RegisterDemoNames();
    // Every rectangle shows the text again.
    void Reblend();
    void RecordSetting(const QString& suffix, qint64 value);
    void CancelRectangles(const TKvGraphicsDocument* document = nullptr);
    void TypeNextLetter();

    TKvToolPanelModule* m_panel;
    TKvTextFrame* m_frame = nullptr;
    std::unique_ptr<TKvTextFrame> m_ownFrame;
    int m_fontSize = 0;
    int m_fontStyle = 0;
    TTextColorRule m_rule;
    TTextMask m_mask;
    // The colour box shows TextColor at the next idle update.
    bool m_syncColorBox = true;
    QTimer m_typing;
    int m_typed = 0;
};
