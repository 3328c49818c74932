// A drop-down list of named colours, each shown with a swatch, and a first
// item that lets the user mix any other colour in the colour dialog.
// Colours are TColor numbers ($00BBGGRR), as the settings and scripts keep
// them.
#pragma once

#include "KvBitmap.h"

#include <QColor>
#include <QComboBox>

#include <functional>

// The QColor of a TColor and back.
QColor ColorFromTColor(TColor color);
TColor TColorFromColor(const QColor& color);

class TKvColorBox : public QComboBox {
    Q_OBJECT
public:
    // The named colours: the sixteen standard ones and four more.
    static constexpr int NamedColorCount = 20;
    // Index of the custom item, before the named colours.
    static constexpr int CustomItem = 0;

    explicit TKvColorBox(QWidget* parent = nullptr);

    // The colour shown.
    TColor Selected() const;
    // Shows the colour: its named item, or the custom item carrying it when
    // no named colour matches. Emits nothing.
    void SetSelected(TColor color);

    // The colour dialog the custom item opens; replaceable so that the box
    // can be driven without a modal dialog. Returns false when the user
    // cancelled.
    std::function<bool(QWidget* parent, TColor& color)> ChooseColor;

    // Captions the items in the current language.
    void Localize();

signals:
    // The user chose a colour (a named one, or a custom one in the dialog).
    void Select(TColor color);

private:
    void ItemActivated(int index);
    void SetItemColor(int index, TColor color);

    int m_previousIndex = -1;
};
