// The about box: the About item in the Help menu and the window it opens, a
// picture with labels laid out on it from a table of entries (texts, links,
// a legal notice) on one or more tabs. The composition root gives the
// module the table and the picture; the window lays the labels out in the
// picture's coordinates, scaled to the window.
#pragma once

#include "KvForms.h"
#include "KvModule.h"

#include <QImage>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <vector>

class IKvShell;
class QAction;
class QLabel;
class QTabBar;

// Flags of an entry.
enum : quint32 {
    AboutBold = 1 << 0,
    AboutSameLine = 1 << 1,  // to the right of the previous label
    AboutLink = 1 << 2,      // the text is an address, opened when clicked
    AboutWordWrap = 1 << 3,
    AboutRightAligned = 1 << 4,
    AboutColon = 1 << 5,     // ":" appended
    AboutWhite = 1 << 6,
};

// One row of the layout table. Positions and sizes are in the picture's
// pixels; 0 means not given.
struct TKvAboutEntry {
    qint32 TextId = 0; // a string id; 0 for the fixed Text
    QString Text;      // the fixed text, or the string's default text
    quint32 Flags = 0;
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
    float LineSpacing = 0; // extra space before the label, in lines
    int Page = 0;          // the tab it shows on; -1 on every tab
    QStringList Values;    // put into the string's placeholders
};

struct TKvAboutDescription {
    std::vector<TKvAboutEntry> Entries;
    // The picture, a resource path (":/images/...").
    QString Picture;
};

// The caption of a link: for a web address (scheme://host/path) its host
// part, the text after the first ":" (leading "/", ":" and "\" skipped) up
// to the next "/", ":", "\" or the end, empty without a ":"; for a local
// file (file:...) the file's name, since such an address has no host.
QString AboutLinkCaption(const QString& address);

// The caption of a tab from its page number: About, Credits, License.
QString AboutPageCaption(int page);

// A control that fills itself with its picture stretched to its size; a
// missing picture leaves the window's plain background.
class TKvLogoBackground : public QWidget {
    Q_OBJECT
public:
    explicit TKvLogoBackground(QWidget* parent = nullptr);

    void SetPicture(const QImage& picture);
    const QImage& Picture() const { return m_picture; }

signals:
    void Resized();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QImage m_picture;
};

class TKvAboutForm : public TKvForm {
    Q_OBJECT
public:
    explicit TKvAboutForm(const TKvAboutDescription& description, QWidget* parent = nullptr);

    void Localize() override;

    QWidget* AboutTabControl;
    QTabBar* AboutTabs;
    TKvLogoBackground* LogoBackground;

    // The labels in table order, and the page each shows on.
    const std::vector<QLabel*>& Labels() const { return m_labels; }
    static int PageOf(const QLabel* label);

    // Opens a link's address; the desktop's default application unless a
    // caller says otherwise.
    std::function<bool(const QUrl&)> OpenLink;

    void AboutTabControlChange();
    void LinkLabelClick(QLabel* label);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // One label per entry, styled by its flags, on the background.
    void CreateLabels();
    // Captions the labels and lays them out for the background's current
    // size and the current language.
    void LayOutEntries();
    QString EntryText(const TKvAboutEntry& entry) const;
    void AddTabFor(int page);

    TKvAboutDescription m_description;
    std::vector<QLabel*> m_labels;
};

class TKvAbout : public TKvModule {
    Q_OBJECT
public:
    // Appends a separator and the About item to the main window's Help menu.
    explicit TKvAbout(IKvShell* shell);

    QAction* AboutMenuSeparator = nullptr;
    QAction* AboutMenuItem = nullptr;
    TKvAboutDescription Description;

    void Localize() override;
    // Shows the about box modally.
    void AboutMenuItemClick(QObject* sender);
};
