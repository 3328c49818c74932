// The text tool's panel: the font (a list of the installed fonts, each
// drawn in itself), its size, the bold, italic, underline and strikeout
// toggles, the colour rule (a chosen colour or the inverse of the picture,
// optionally of the strongest contrast) and the memo holding the text.  The
// text tool creates it in the tool panel and hands the user's choices to
// the tool; its controls carry the names demonstration scripts find them by.
#pragma once

#include "KvForms.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QRadioButton;
class QSpinBox;
class QToolButton;
class TKvColorBox;
class TKvTextTool;

class TKvTextFrame : public TKvFrame {
    Q_OBJECT
public:
    static constexpr int MinFontSize = 8;
    static constexpr int MaxFontSize = 400;

    explicit TKvTextFrame(QWidget* parent = nullptr);

    TKvTextTool* Tool = nullptr;

    QLabel* TitleLabel;
    QGroupBox* FontTntGroupBox;
    QComboBox* FontNameComboBox;
    QLabel* SizeTBXLabel;
    QSpinBox* SizeSpinEdit;
    QToolButton* BoldTBXButton;
    QToolButton* ItalicTBXButton;
    QToolButton* UnderlineTBXButton;
    QToolButton* StrikeoutTBXButton;
    // The radio group: "Selected" and "Inverted".
    QGroupBox* FontColorTntRadioGroup;
    TKvColorBox* ColorBox;
    QCheckBox* MaxInverseTBXCheckBox;
    QPlainTextEdit* TextMemo;

    // The radio group's selected item (-1 when none), and its selection
    // without raising the group's click.
    int ColorItemIndex() const;
    void SetColorItemIndex(int index);
    QRadioButton* ColorItem(int index) const;
    // The style bits the four toggles show.
    int StyleBits() const;
    void SetStyleBits(int style);
    // The size box's step for a size: a hundredth of it, rounded (halves to
    // even), at least 1.
    static int SizeIncrement(int size);

    void Localize() override;

    void BITBXButtonClick();
    void ColorBoxSelect();
    void FontColorTntRadioGroupClick();
    void MaxInverseTBXCheckBoxChange();
    void SizeSpinEditChange();
    void TextMemoChange();

private:
    QToolButton* NewStyleButton(const char* name);

    QButtonGroup* m_colorItems;
};
