// The demonstrations window: the installed demonstration scripts of a
// folder as a list of icons, each the script's title under a 64 x 64
// picture framed in light grey, sorted by file name; Start plays the
// selected one, Close leaves, and a check box says whether the list opens
// when the program starts. The demonstration module shows it modally and
// plays what was chosen.
//
// The folder is outside bytes: files that are not scripts, pictures that
// cannot be read or are too large to read, and names that are folders are
// tolerated; a script whose picture fails gets the default picture.
#pragma once

#include "KvDemoScript.h"
#include "KvForms.h"

#include <QImage>
#include <QString>

#include <memory>
#include <vector>

class QCheckBox;
class QLabel;
class QListWidget;
class QPushButton;

class TKvDemonstrationForm : public TKvForm {
    Q_OBJECT
public:
    static constexpr int PictureSize = 64;
    // Pictures larger than this many pixels (or wider or higher than
    // MaxPictureSide) are not read: the default picture stands in.
    static constexpr qint64 MaxPicturePixels = 64LL * 1024 * 1024;
    static constexpr int MaxPictureSide = 32768;
    // Script files beyond this count are not listed.
    static constexpr int MaxScripts = 1000;

    // Lists the scripts of the folder; lastIndex is the item to preselect
    // (the last item when it lies beyond).
    TKvDemonstrationForm(const QString& folder, int lastIndex, bool showAtStartup, QWidget* parent = nullptr);
    ~TKvDemonstrationForm() override;

    void Localize() override;

    QLabel* SelectLabel;
    QListWidget* DemoListView;
    QCheckBox* ShowAtStartupCheckBox;
    QPushButton* StartButton;
    QPushButton* CloseButton;

    // The script of the selected item; none without a selection.
    const TKvDemoScript* SelectedScript() const;
    // The index of the selected item; -1 without one.
    int SelectedIndex() const;
    bool ShowAtStartup() const;
    int ScriptCount() const { return int(m_scripts.size()); }

    // The framed 64 x 64 picture of an image file; a null image when the
    // file cannot be read as a picture within the limits.
    static QImage FramedPicture(const QString& fileName);
    // The picture of a script without one of its own.
    static QImage DefaultPicture();

private:
    void FormCreate(const QString& folder, int lastIndex);
    void DemoListViewChange();
    void DemoListViewDblClick();

    std::vector<std::unique_ptr<TKvDemoScript>> m_scripts;
};
