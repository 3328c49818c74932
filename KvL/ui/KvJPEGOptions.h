// The JPEG options dialog: asks for the quality (0 to 100) a JPEG file is
// written with, through three coupled controls that always show the same
// value: a number edit, a list of five named presets and a slider. The
// slider holds the value; the edit and the list mirror it.
#pragma once

#include "KvForms.h"

#include <QString>

#include <optional>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;

// What the quality edit's text means: valid when the whole text, trimmed,
// is a whole number (optional sign; decimal, or hexadecimal after "$" or
// "0x") from 0 to 100. An invalid text still yields a number: the whole
// text's value when it converts, otherwise the value of the digits before
// the first character that does not belong to a number, without the sign
// (0 when there are none).
struct TKvQualityText {
    bool Valid = false;
    long long Value = 0;
};
TKvQualityText ParseQualityText(const QString& text);

// The preset list entry shown for a quality: the highest preset not above
// it, "Low" below all of them.
int QualityPresetIndex(int quality);

// Created with NewInitialized, so that it is captioned at once.
class TKvJPEGOptionsForm : public TKvForm {
    Q_OBJECT
public:
    explicit TKvJPEGOptionsForm(QWidget* parent = nullptr);

    // Sets the slider (kept within 0..100) and shows the value in the other
    // two controls.
    void SetQuality(int value);
    int GetQuality() const;

    // Re-captions the dialog from the language files.
    void Localize() override;

    QGroupBox* QualityGroupBox;
    QLabel* QualityLabel;
    QLineEdit* QualityEdit;
    QComboBox* QualityComboBox;
    QSlider* QualityTrackBar;
    QLabel* SmallFileLabel;
    QLabel* LargeFileLabel;
    QPushButton* OkButton;
    QPushButton* CancelButton;

private:
    // The change handler of all three controls: makes the other two follow
    // the one that changed.
    void QualityChange(QObject* sender);
    // Closes with OK when the edit holds a valid value; otherwise says so
    // and puts the nearest acceptable value into all three controls.
    void OkButtonClick();

    bool m_changing = false;
};

// Shows the dialog preset with the quality; the chosen quality, or none
// when the user cancelled.
std::optional<int> AskJPEGQuality(int quality, QWidget* parent = nullptr);
