// The clipping tool's panel: the brush size, the six steps of the work
// (Separate, Clear, Effect, Swap, Save Object, Done) and the background
// effect with its parameters. The clipping tool creates it in the tool panel
// and hands the user's clicks and choices to the tool; its controls carry
// the names demonstration scripts find them by.
#pragma once

#include "KvForms.h"

class QButtonGroup;
class QGroupBox;
class QLabel;
class QRadioButton;
class QSlider;
class QToolButton;
class TKvClippingTool;
class TKvColorBox;
class TKvImageList;

class TKvClippingFrame : public TKvFrame {
    Q_OBJECT
public:
    static constexpr int ButtonWidth = 80;
    static constexpr int ButtonHeight = 52;

    explicit TKvClippingFrame(QWidget* parent = nullptr);

    TKvClippingTool* Tool = nullptr;

    QLabel* TitleLabel;
    QLabel* SizeLabel;
    QSlider* SizeTrackBar;
    QGroupBox* ActionsTntGroupBox;
    QToolButton* SeparateTBXButton;
    QToolButton* ClearTBXButton;
    QToolButton* EffectTBXButton;
    QToolButton* SwapTBXButton;
    QToolButton* StoreTBXButton;
    QToolButton* DoneTBXButton;
    QGroupBox* EffectTntGroupBox;
    // The radio group: one item per background effect.
    QGroupBox* BackgroundEffectTntRadioGroup;
    TKvColorBox* ColorBox;
    QSlider* ShadowTntTrackBar;
    QSlider* BlurRadiusTntTrackBar;
    TKvColorBox* MonochromeColorBox;
    // The buttons' pictures, by the buttons' image indices 2 to 7.
    TKvImageList* Self24TBXImageList;

    // The radio group's selected item (-1 when none), and its selection;
    // selecting another item raises the group's click.
    int EffectItemIndex() const;
    void SetEffectItemIndex(int index);
    QRadioButton* EffectItem(int index) const;

    void Localize() override;

    void SeparateTBXButtonClick();
    void ClearTBXButtonClick();
    void EffectTBXButtonClick();
    void SwapTBXButtonClick();
    void StoreTBXButtonClick();
    void DoneTBXButtonClick();
    void BackgroundEffectTntRadioGroupClick();
    void ColorBoxSelect();
    void ShadowTntTrackBarChange();
    void BlurRadiusTntTrackBarChange();
    void MonochromeColorBoxSelect();

private:
    QToolButton* NewActionButton(const char* name, int imageIndex);
    void SetActionCaption(QToolButton* button, const QString& caption);

    QButtonGroup* m_effectItems;
};
