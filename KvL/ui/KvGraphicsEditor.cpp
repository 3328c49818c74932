#include "KvGraphicsEditor.h"

#include "KvGraphicsView.h"
#include "KvImageList.h"
#include "KvJPEGOptions.h"
#include "KvLocalizer.h"
#include "KvSDF.h"
#include "KvImportSource.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontInfo>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QIcon>
#include <QPixmap>
#include <QProgressBar>
#include <QScreen>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>

#include <algorithm>

const QUuid TKvGraphicsEditor::GraphicsSettingsGuid{QStringLiteral("{E1195915-FFAE-4A56-B331-F4567336FF25}")};

namespace {

// The extensions of the picture files Previous and Next step through. An
// extension counts when it occurs anywhere in this text, so ".JP" does.
const QString FolderImageExtensions = QStringLiteral(".KVI;.JPG;.JPEG;.TIF;.TIFF;.PNG;.BMP;.RLE;.DIB");

QAction* Named(QAction* item, const char* name)
{
    item->setObjectName(QLatin1String(name));
    return item;
}

// The centre of a toolbar button on the screen; false when it is not shown.
bool ButtonCentre(QToolBar* toolbar, QAction* button, QPoint& screenPoint)
{
    QWidget* widget = button ? toolbar->widgetForAction(button) : nullptr;
    if (!widget || !widget->isVisible())
        return false;
    screenPoint = widget->mapToGlobal(widget->rect().center());
    return true;
}

// One axis of a window fitted into the screen's work area: it starts no
// earlier than the area; reaching beyond the area's end it is centred when
// it is smaller than the area, otherwise it takes the area.
void FitSpan(int& position, int& size, int areaStart, int areaSize)
{
    position = std::max(position, areaStart);
    if (position + size <= areaStart + areaSize)
        return;
    if (size < areaSize) {
        position = areaStart + (areaSize - size) / 2;
    } else {
        position = areaStart;
        size = areaSize;
    }
}

QRect WorkArea(const QWidget* window)
{
    const QScreen* screen = window ? window->screen() : QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
}

// The script parameter as text, upper-cased: a command's target name.
QString UpperParam(const TKvCustomProperties& params, int index)
{
    return ScriptParamText(params, index).toUpper();
}

} // namespace

// ---------------------------------------------------------------------------
// Zoom arithmetic

int TKvZoom::Thousandths() const { return MulDiv(Numerator, 1000, Denominator); }

TKvZoom TKvGraphicsEditor::NextZoomIn(int currentThousandths)
{
    for (const TKvZoom& step : ZoomSteps)
        if (step.Thousandths() > currentThousandths)
            return step;
    return ZoomSteps.back();
}

TKvZoom TKvGraphicsEditor::NextZoomOut(int currentThousandths)
{
    for (auto step = ZoomSteps.rbegin(); step != ZoomSteps.rend(); ++step)
        if (step->Thousandths() < currentThousandths)
            return *step;
    return ZoomSteps.front();
}

TKvZoom TKvGraphicsEditor::BestFitZoom(QSize picture, QSize view)
{
    if (picture.isEmpty() || view.isEmpty())
        return {1, 1};
    if (double(picture.height()) / view.height() >= double(picture.width()) / view.width())
        return {view.height(), picture.height()};
    return {view.width(), picture.width()};
}

bool TKvGraphicsEditor::IsFolderImage(const QString& fileName)
{
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    if (dot < 0)
        return false;
    const QString extension = fileName.mid(dot).toUpper();
    return extension.size() > 2 && FolderImageExtensions.contains(extension);
}

// ---------------------------------------------------------------------------
// Construction

TKvGraphicsEditor::TKvGraphicsEditor(const TKvShellMaker& makeShell) : TKvEditor(makeShell)
{
    setObjectName(QStringLiteral("GraphicsEditor"));
    // Cancelling the quality question cancels the save: no failure to report.
    m_formats.SetJpegOptionsDialog([this](int quality) {
        const std::optional<int> chosen = AskJPEGQuality(quality, MainWindow());
        if (!chosen)
            NoteSaveCancelled();
        return chosen;
    });
    MergeGraphicsItems();
    CreateStatusPanels();
    Shell()->SetOnDropFile([this](const QString& fileName) {
        // A plug-in edits the one picture its host gave it.
        if (PluginMode())
            return;
        TKvDocument* document = nullptr;
        OpenFile(fileName, document, true);
    });
}

TKvGraphicsEditor::~TKvGraphicsEditor()
{
    if (IKvShell* shell = Shell())
        shell->SetOnDropFile(nullptr);
    for (TKvGraphicsTool* tool : m_tools)
        tool->DetachEditor();
}

// The pictures of the navigation and zoom items come from the shared image
// list; the composition root gives them their indices.
void TKvGraphicsEditor::MergeGraphicsItems()
{
    constexpr int NoImage = -1;
    IKvShell* form = Shell();
    const TKvShellItems main = form->Items();
    QToolBar* toolbar = StandardToolbar;

    // Previous and next picture around the Save button.
    form->AddToolButton(toolbar, nullptr, SaveToolButton, LocalStr(2104), NoImage,
                        TKvMethod(this, &TKvGraphicsEditor::PrevImageClick), PrevImageButton);
    Named(PrevImageButton, "PrevImageButton");
    form->AddToolButton(toolbar, nullptr, EditToolbarSeparator, LocalStr(2105), NoImage,
                        TKvMethod(this, &TKvGraphicsEditor::NextImageClick), NextImageButton);
    Named(NextImageButton, "NextImageButton");

    // The zoom commands in the View menu, before Toolbars.
    QMenu* viewMenu = main.ViewMenuItem;
    ZoomMenuSeparator = Named(form->AddSeparator(viewMenu, main.ToolbarsMenuItem->menuAction()), "ZoomMenuSeparator");
    // Ctrl with the keypad's plus and minus, and for keyboards without a
    // keypad with those of the main keys.
    const QKeySequence keypadZoomIn(QKeyCombination(Qt::ControlModifier | Qt::KeypadModifier, Qt::Key_Plus));
    const QKeySequence keypadZoomOut(QKeyCombination(Qt::ControlModifier | Qt::KeypadModifier, Qt::Key_Minus));
    ZoomInMenuItem = Named(form->AddMenuItem(LocalStr(98), keypadZoomIn,
                                             TKvMethod(this, &TKvGraphicsEditor::ZoomInClick), NoImage, viewMenu,
                                             ZoomMenuSeparator),
                           "ZoomInMenuItem");
    ZoomInMenuItem->setShortcuts({keypadZoomIn, QKeySequence(Qt::CTRL | Qt::Key_Plus),
                                  QKeySequence(Qt::CTRL | Qt::Key_Equal)});
    ZoomOutMenuItem = Named(form->AddMenuItem(LocalStr(99), keypadZoomOut,
                                              TKvMethod(this, &TKvGraphicsEditor::ZoomOutClick), NoImage,
                                              viewMenu, ZoomMenuSeparator),
                            "ZoomOutMenuItem");
    ZoomOutMenuItem->setShortcuts({keypadZoomOut, QKeySequence(Qt::CTRL | Qt::Key_Minus)});
    ActualSizeMenuItem = Named(form->AddMenuItem(LocalStr(166), QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_0),
                                                 TKvMethod(this, &TKvGraphicsEditor::ActualSizeClick),
                                                 NoImage, viewMenu, ZoomMenuSeparator),
                               "ActualSizeMenuItem");
    ScaleToBestFitMenuItem = Named(form->AddMenuItem(LocalStr(178), QKeySequence(),
                                                     TKvMethod(this, &TKvGraphicsEditor::BestFitClick), NoImage,
                                                     viewMenu, ZoomMenuSeparator),
                                   "ScaleToBestFitMenuItem");

    ZoomToolbarSeparator = Named(form->AddSeparator(toolbar), "ZoomToolbarSeparator");
    form->AddToolButton(toolbar, nullptr, nullptr, LocalStr(98), NoImage,
                        TKvMethod(this, &TKvGraphicsEditor::ZoomInClick), ZoomInButton);
    form->AddToolButton(toolbar, nullptr, nullptr, LocalStr(99), NoImage,
                        TKvMethod(this, &TKvGraphicsEditor::ZoomOutClick), ZoomOutButton);
    form->AddToolButton(toolbar, nullptr, nullptr, LocalStr(166), NoImage,
                        TKvMethod(this, &TKvGraphicsEditor::ActualSizeClick), ActualSizeButton);
    form->AddToolButton(toolbar, nullptr, nullptr, LocalStr(178), NoImage,
                        TKvMethod(this, &TKvGraphicsEditor::BestFitClick), ScaleToBestFitButton);
    Named(ZoomInButton, "ZoomInButton");
    Named(ZoomOutButton, "ZoomOutButton");
    Named(ActualSizeButton, "ActualSizeButton");
    Named(ScaleToBestFitButton, "ScaleToBestFitButton");

    // Scanning, in the File menu before its separator.
    QMenu* file = main.FileMenuItem;
    QAction* fileSeparator = main.FileMenuSeparator;
    CloseMenuSeperator = Named(form->AddSeparator(file, fileSeparator), "CloseMenuSeperator");
    SelectTwainSourceMenuItem = Named(form->AddMenuItem(LocalStr(102), QKeySequence(),
                                                        TKvMethod(this, &TKvGraphicsEditor::SelectSourceClick), -1,
                                                        file, fileSeparator),
                                      "SelectTwainSourceMenuItem");
    AcquireMenuItem = Named(form->AddMenuItem(LocalStr(101), QKeySequence(),
                                              TKvMethod(this, &TKvGraphicsEditor::AcquireClick), -1, file,
                                              fileSeparator),
                            "AcquireMenuItem");
    SelectTwainSourceMenuItem->setVisible(false);
    AcquireMenuItem->setVisible(false);
    ImportSubmenu = form->AddSubmenu(LocalStr(17), file, fileSeparator);
    ImportSubmenu->setObjectName(QStringLiteral("ImportSubmenu"));
    connect(ImportSubmenu, &QMenu::aboutToShow, this, [this] { FillImportSubmenu(); });
    for (QAction* item : {SelectTwainSourceMenuItem, AcquireMenuItem, ImportSubmenu->menuAction()})
        item->setEnabled(false);
}

// A field of the status bar: as wide as it was made, narrower only when the
// window is too narrow for every field.
class TKvStatusPanel : public QLabel {
public:
    TKvStatusPanel(const QString& text, int width, QWidget* parent) : QLabel(text, parent), m_width(width)
    {
        setMaximumWidth(width);
    }
    QSize sizeHint() const override { return {m_width, QLabel::sizeHint().height()}; }

private:
    int m_width;
};

// Seven pairs of a label and its field; h is the height of the main form's
// font in pixels.
void TKvGraphicsEditor::CreateStatusPanels()
{
    QStatusBar* bar = Shell()->Items().StatusBar;
    const int h = std::abs(QFontInfo(MainWindow()->font()).pixelSize());
    const auto add = [&](const QString& caption, int labelWidth, int fieldWidth, bool framed, const char* name) {
        auto* label = new TKvStatusPanel(caption, labelWidth, bar);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        bar->addWidget(label);
        auto* field = new TKvStatusPanel(QString(), fieldWidth, bar);
        field->setObjectName(QLatin1String(name));
        field->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        field->setFrameStyle(framed ? QFrame::Panel | QFrame::Sunken : QFrame::NoFrame);
        bar->addWidget(field);
        return field;
    };
    const int narrow = MulDiv(h, 3, 2);
    XStatusPanel = add(QStringLiteral("X:"), 2 * h, 4 * h, false, "XStatusPanel");
    YStatusPanel = add(QStringLiteral("Y:"), narrow, 5 * h, true, "YStatusPanel");
    WStatusPanel = add(QStringLiteral("W:"), 2 * h, 4 * h, false, "WStatusPanel");
    HStatusPanel = add(QStringLiteral("H:"), narrow, 5 * h, true, "HStatusPanel");
    RStatusPanel = add(QStringLiteral("R:"), narrow, 4 * h, false, "RStatusPanel");
    GStatusPanel = add(QStringLiteral("G:"), narrow, 4 * h, false, "GStatusPanel");
    BStatusPanel = add(QStringLiteral("B:"), narrow, 5 * h, true, "BStatusPanel");

    CancelScanButton = new QToolButton(bar);
    CancelScanButton->setObjectName(QStringLiteral("CancelScanButton"));
    CancelScanButton->setText(LocalStr(2));
    CancelScanButton->setAutoRaise(true);
    CancelScanButton->hide();
    connect(CancelScanButton, &QToolButton::clicked, this, [this] {
        if (m_scanner)
            m_scanner->Cancel();
    });
    bar->addPermanentWidget(CancelScanButton);
}

void TKvGraphicsEditor::SetImportSource(TKvImportSource* source)
{
    m_scanner = source;
    source->setParent(this);
    connect(m_scanner, &TKvImportSource::AvailabilityChanged, this, [this](bool available) {
        for (QAction* item : {SelectTwainSourceMenuItem, AcquireMenuItem, ImportSubmenu->menuAction()})
            item->setEnabled(available);
    });
    connect(m_scanner, &TKvImportSource::Progress, this, [this](int percent) { ShowScanProgress(percent); });
    connect(m_scanner, &TKvImportSource::AcquireFinished, this, [this] { EndScanProgress(); });
    connect(m_scanner, &TKvImportSource::ImageReady, this, [this](const QString& file) { ScannerImageReady(file); });
    connect(m_scanner, &TKvImportSource::AcquireFailed, this,
            [](const QString& message) { KvApplication->MessageBox(message, 16); });
}

// ---------------------------------------------------------------------------
// Module

void TKvGraphicsEditor::Localize()
{
    TKvEditor::Localize();
    const std::pair<QAction*, qint32> captions[] = {
        {ZoomInMenuItem, 98},   {ZoomOutMenuItem, 99},           {ActualSizeMenuItem, 166},
        {ScaleToBestFitMenuItem, 178}, {AcquireMenuItem, 101},    {SelectTwainSourceMenuItem, 102}};
    for (const auto& [item, id] : captions)
        item->setText(PlainCaption(LocalStr(id)));
    const std::pair<QAction*, qint32> hints[] = {{PrevImageButton, 2104}, {NextImageButton, 2105},
                                                 {ZoomInButton, 98},      {ZoomOutButton, 99},
                                                 {ActualSizeButton, 166}, {ScaleToBestFitButton, 178},
                                                 {OkButton, 1},           {CancelButton, 2}};
    for (const auto& [button, id] : hints) {
        if (!button)
            continue;
        button->setText(PlainCaption(LocalStr(id)));
        button->setToolTip(LocalStr(id));
    }
    ImportSubmenu->setTitle(PlainCaption(LocalStr(17)));
    CancelScanButton->setText(LocalStr(2));
}

void TKvGraphicsEditor::SaveSettings(TKvSDFWriter& writer)
{
    TKvEditor::SaveSettings(writer);
    writer.BeginNode(1, GraphicsSettingsGuid);
    writer.WriteInteger(1, m_formats.JpegQuality);
    writer.WriteBoolean(2, KeepSetting);
    writer.EndNode();
}

void TKvGraphicsEditor::LoadSettings(TKvSDFReader& reader)
{
    TKvEditor::LoadSettings(reader);
    while (reader.CurrentNode())
        reader.LeaveNode();
    if (!reader.EnterNode(1, GraphicsSettingsGuid))
        return;
    qint32 quality = m_formats.JpegQuality;
    if (reader.ReadInteger(1, quality))
        m_formats.JpegQuality = qBound(0, quality, 100);
    reader.ReadBoolean(2, KeepSetting);
    reader.LeaveNode();
}

void TKvGraphicsEditor::UpdateControls()
{
    TKvEditor::UpdateControls();
    const bool zoomable = SaveAsMenuItem->isEnabled();
    for (QAction* item : {ZoomInMenuItem, ZoomOutMenuItem, ActualSizeMenuItem, ScaleToBestFitMenuItem, ZoomInButton,
                          ZoomOutButton, ActualSizeButton, ScaleToBestFitButton})
        item->setEnabled(zoomable);
    PrevImageButton->setEnabled(!FolderImages.isEmpty() && FolderIndex > 0);
    NextImageButton->setEnabled(!FolderImages.isEmpty() && FolderIndex < FolderImages.size() - 1);
}

// ---------------------------------------------------------------------------
// Documents

TKvGraphicsDocument* TKvGraphicsEditor::ActiveGraphicsDocument() const
{
    return static_cast<TKvGraphicsDocument*>(ActiveDocument());
}

TKvGraphicsView* TKvGraphicsEditor::ActiveView() const
{
    const TKvGraphicsDocument* document = ActiveGraphicsDocument();
    return document ? static_cast<TKvGraphicsView*>(document->ExistingView()) : nullptr;
}

std::unique_ptr<TKvDocument> TKvGraphicsEditor::CreateDocument()
{
    return std::make_unique<TKvGraphicsDocument>(this);
}

QWidget* TKvGraphicsEditor::CreateView(TKvGraphicsDocument* document)
{
    auto* view = new TKvGraphicsView(document, this);
    view->setObjectName(QStringLiteral("GraphicsView"));
    return view;
}

void TKvGraphicsEditor::ActivateDocument(TKvDocument* document)
{
    if (document && document->FormatKey() == FormatKeyExchange)
        SetPluginMode(true);
    TKvEditor::ActivateDocument(document);
}

void TKvGraphicsEditor::UpdateCaption()
{
    if (PluginMode() && MainWindow() && KvApplication)
        MainWindow()->setWindowTitle(KvApplication->Title());
    else
        TKvEditor::UpdateCaption();
}

bool TKvGraphicsEditor::ShowDocument(TKvDocument* document, QWidget*& view)
{
    if (!TKvEditor::ShowDocument(document, view))
        return false;
    auto* graphicsView = static_cast<TKvGraphicsView*>(view);
    for (TKvGraphicsTool* tool : std::vector(m_tools))
        tool->CreateControl(graphicsView);
    FitView(graphicsView);
    if (m_activeTool)
        m_activeTool->Activated();
    graphicsView->Picture()->SetActive(true);
    const TKvLTBitmap& image = static_cast<TKvGraphicsDocument*>(document)->Image();
    ShowImageSize(image.Width(), image.Height());
    return true;
}

void TKvGraphicsEditor::ShowImageSize(int width, int height)
{
    WStatusPanel->setText(QString::number(width));
    HStatusPanel->setText(QString::number(height));
}

void TKvGraphicsEditor::ShowPointerInfo(const QPoint& imagePoint, TColorTriple pixel)
{
    XStatusPanel->setText(QString::number(imagePoint.x()));
    YStatusPanel->setText(QString::number(imagePoint.y()));
    RStatusPanel->setText(QString::number(pixel.Red));
    GStatusPanel->setText(QString::number(pixel.Green));
    BStatusPanel->setText(QString::number(pixel.Blue));
}

bool TKvGraphicsEditor::OpenFile(const QString& fileName, TKvDocument*& document, bool addToRecent)
{
    if (!TKvEditor::OpenFile(fileName, document, addToRecent))
        return false;
    TKvGraphicsView* view = document ? static_cast<TKvGraphicsView*>(document->ExistingView()) : nullptr;
    if (!view)
        return true;
    ScanFolder(fileName);
    FitView();
    if (IKvScriptRecorder* recorder = Recorder()) {
        recorder->RecordLine(QStringLiteral("MouseCurvedMove Open"));
        if (recorder->RecordMessages())
            recorder->RecordLine(QStringLiteral("Message \"Open Image\""));
        recorder->RecordLine(QStringLiteral("ImageOpen \"%1\", %2, %3")
                                         .arg(QFileInfo(fileName).fileName())
                                         .arg(view->width())
                                         .arg(view->height()));
    }
    return true;
}

void TKvGraphicsEditor::AddRecentDocument(TKvDocument* document)
{
    if (!PluginMode())
        TKvEditor::AddRecentDocument(document);
}

int TKvGraphicsEditor::AskSaveChanges(const QString& name)
{
    return TKvEditor::AskSaveChanges(PluginMode() ? LocalStr(500) : name);
}

// ---------------------------------------------------------------------------
// Plug-in mode

void TKvGraphicsEditor::SetPluginMode(bool on)
{
    if (!on || PluginMode())
        return;
    KvApplication->SetTitle(KvApplication->Title() + QStringLiteral(" Plug-in"));
    PrevImageButton->setVisible(false);
    NextImageButton->setVisible(false);
    Shell()->Items().FileMenuItem->menuAction()->setVisible(false);
    Shell()->AddSeparator(StandardToolbar);
    const int h = std::abs(QFontInfo(MainWindow()->font()).pixelSize());
    const auto addButton = [&](qint32 caption, void (TKvGraphicsEditor::*handler)(QObject*), QAction*& button,
                               const char* name) {
        Shell()->AddToolButton(StandardToolbar, nullptr, nullptr, LocalStr(caption), -1, TKvMethod(this, handler),
                               button);
        Named(button, name);
        // Wide buttons with their caption, not icons.
        if (auto* widget = qobject_cast<QToolButton*>(StandardToolbar->widgetForAction(button))) {
            widget->setToolButtonStyle(Qt::ToolButtonTextOnly);
            widget->setMinimumWidth(6 * h);
        }
    };
    addButton(1, &TKvGraphicsEditor::OkClick, OkButton, "OkButton");
    addButton(2, &TKvGraphicsEditor::CancelClick, CancelButton, "CancelButton");
    TKvEditor::SetPluginMode(on);
}

// Saves the exchange file; says so when that failed.
bool TKvGraphicsEditor::SaveInPluginMode(TKvDocument* document)
{
    if (document->Save()) {
        KvApplication->SetExitCode(0);
        return true;
    }
    KvApplication->MessageBox(LocalFormat(1031, {QDir::toNativeSeparators(document->FileName())}), 16);
    return false;
}

bool TKvGraphicsEditor::SaveDocumentAs(TKvDocument* document)
{
    if (PluginMode() && document && document->CanSave())
        return SaveInPluginMode(document);
    return TKvEditor::SaveDocumentAs(document);
}

// OK writes the picture back into the exchange file and ends the program
// with exit code 0; a failed write keeps the window open.
void TKvGraphicsEditor::OkClick(QObject*)
{
    if (TKvGraphicsDocument* document = ActiveGraphicsDocument()) {
        document->Unlock();
        if (document->CanSave() && !SaveInPluginMode(document))
            return;
    }
    MainWindow()->close();
}

// Cancel leaves the exchange file as it was and ends the program with the
// exit code of a cancelled edit.
void TKvGraphicsEditor::CancelClick(QObject*)
{
    if (TKvGraphicsDocument* document = ActiveGraphicsDocument()) {
        document->Unlock();
        document->MarkSaved();
    }
    MainWindow()->close();
}

// ---------------------------------------------------------------------------
// Zoom

TKvZoom TKvGraphicsEditor::Zoom() const
{
    const TKvGraphicsView* view = ActiveView();
    if (!view)
        return {1, 1};
    return {view->MapMode().DeviceExtent.x(), view->MapMode().LogicalExtent.x()};
}

void TKvGraphicsEditor::SetZoom(TKvGraphicsView* view, TKvZoom zoom)
{
    const QRect client = view->ClientRect();
    const QPoint centre = view->ClientToImage(QPoint(client.width() / 2, client.height() / 2));
    view->MapMode().DeviceExtent = {zoom.Numerator, zoom.Numerator};
    view->MapMode().LogicalExtent = {zoom.Denominator, zoom.Denominator};
    view->CenterOn(centre);
    view->FollowPointer();
}

void TKvGraphicsEditor::RecordCommand(const QString& name, const QString& message)
{
    IKvScriptRecorder* recorder = Recorder();
    if (!recorder)
        return;
    recorder->RecordLine(QStringLiteral("MouseCurvedMove ") + name);
    if (recorder->RecordMessages())
        recorder->RecordLine(QStringLiteral("Message \"%1\"").arg(message));
    recorder->RecordLine(name);
}

void TKvGraphicsEditor::ZoomInClick(QObject*)
{
    RecordCommand(QStringLiteral("ZoomIn"), QStringLiteral("Zoom In"));
    if (TKvGraphicsView* view = ActiveView())
        SetZoom(view, NextZoomIn(Zoom().Thousandths()));
}

void TKvGraphicsEditor::ZoomOutClick(QObject*)
{
    RecordCommand(QStringLiteral("ZoomOut"), QStringLiteral("Zoom Out"));
    if (TKvGraphicsView* view = ActiveView())
        SetZoom(view, NextZoomOut(Zoom().Thousandths()));
}

void TKvGraphicsEditor::ActualSizeClick(QObject*)
{
    RecordCommand(QStringLiteral("ActualSize"), QStringLiteral("Actual Size"));
    if (TKvGraphicsView* view = ActiveView())
        SetZoom(view, {1, 1});
}

void TKvGraphicsEditor::BestFitClick(QObject*)
{
    RecordCommand(QStringLiteral("BestFit"), QStringLiteral("Best Fit"));
    BestFit();
}

void TKvGraphicsEditor::BestFit()
{
    if (TKvGraphicsView* view = ActiveView())
        SetZoom(view, BestFitZoom(ToQRect(view->Document()->Image().GetBounds()).size(), view->size()));
}

void TKvGraphicsEditor::FitView()
{
    if (TKvGraphicsView* view = ActiveView())
        FitView(view);
}

// The view gets its size from the window's layout; a window not yet shown
// is laid out now, and fitted again once it is on the screen.
void TKvGraphicsEditor::FitView(TKvGraphicsView* view)
{
    QWidget* window = MainWindow();
    if (window && window->layout())
        window->layout()->activate();
    if (QWidget* area = view->parentWidget(); area && area->layout())
        area->layout()->activate();
    const QSize picture = ToQRect(view->Document()->Image().GetBounds()).size();
    const QSize outer = view->size();
    const bool fits = outer.width() >= picture.width() && outer.height() >= picture.height();
    SetZoom(view, fits ? TKvZoom{1, 1} : BestFitZoom(picture, outer));
    if (window && !window->isVisible())
        KvApplication->PostCall(TKvMethod(this, &TKvGraphicsEditor::FitViewWhenShown), this);
}

void TKvGraphicsEditor::FitViewWhenShown()
{
    if (TKvGraphicsView* view = ActiveView(); view && MainWindow() && MainWindow()->isVisible())
        FitView(view);
}

void TKvGraphicsEditor::SetMinViewSize(int width, int height)
{
    const TKvGraphicsView* view = ActiveView();
    QWidget* window = MainWindow();
    if (!view || !window)
        return;
    QRect frame = window->geometry();
    frame.setWidth(frame.width() + std::max(0, width - view->width()));
    frame.setHeight(frame.height() + std::max(0, height - view->height()));
    const QRect area = WorkArea(window);
    int left = frame.x(), top = frame.y(), w = frame.width(), h = frame.height();
    FitSpan(left, w, area.x(), area.width());
    FitSpan(top, h, area.y(), area.height());
    window->setGeometry(left, top, w, h);
}

// ---------------------------------------------------------------------------
// Folder

void TKvGraphicsEditor::ScanFolder(const QString& path)
{
    if (path.isEmpty())
        return;
    const QFileInfo opened(path);
    const QDir folder = opened.absoluteDir();
    FolderImages.clear();
    const QStringList names = folder.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name | QDir::IgnoreCase);
    for (const QString& name : names)
        if (IsFolderImage(name))
            FolderImages << folder.filePath(name);
    FolderIndex = -1;
    const QString openedPath = opened.absoluteFilePath();
    for (qsizetype i = 0; i < FolderImages.size(); ++i)
        if (FolderImages[i].compare(openedPath, Qt::CaseInsensitive) == 0) {
            FolderIndex = int(i);
            break;
        }
}

void TKvGraphicsEditor::NextImageClick(QObject*) { StepFolder(1); }

void TKvGraphicsEditor::PrevImageClick(QObject*) { StepFolder(-1); }

// Opens the picture step places away in the folder list. When it is gone,
// the folder is read again: the open picture keeps its place by name even
// when its own file went too (and then counts as unsaved, so that closing it
// asks first), and the step is taken in what the folder holds now.
void TKvGraphicsEditor::StepFolder(int step)
{
    if (FolderImages.isEmpty() || FolderIndex + step < 0 || FolderIndex + step >= FolderImages.size())
        return;
    QString target = FolderImages[FolderIndex + step];
    if (!QFileInfo(target).isFile()) {
        const QString current = FolderIndex >= 0 ? FolderImages[FolderIndex] : QString();
        RescanAround(current);
        if (TKvDocument* document = ActiveDocument();
            document && !document->FileName().isEmpty() && !QFileInfo(document->FileName()).isFile())
            document->NotifyChanged();
        const int index = FolderIndex + step;
        if (FolderIndex < 0 || index < 0 || index >= FolderImages.size()) {
            KvApplication->MessageBox(LocalFormat(1030, {QDir::toNativeSeparators(target)}), 16);
            return;
        }
        target = FolderImages[index];
    }
    TKvDocument* document = nullptr;
    OpenFile(target, document, true);
}

// ScanFolder of the open file; a file no longer there is put back into the
// list at its place by name, so that stepping goes on from it.
void TKvGraphicsEditor::RescanAround(const QString& current)
{
    ScanFolder(current);
    if (current.isEmpty() || FolderIndex >= 0)
        return;
    const QString name = QFileInfo(current).fileName();
    const auto after = std::find_if(FolderImages.begin(), FolderImages.end(), [&](const QString& path) {
        return QFileInfo(path).fileName().compare(name, Qt::CaseInsensitive) > 0;
    });
    FolderIndex = int(after - FolderImages.begin());
    FolderImages.insert(FolderIndex, current);
}

// ---------------------------------------------------------------------------
// Undo and redo

bool TKvGraphicsEditor::CanUndo()
{
    const TKvGraphicsDocument* document = ActiveGraphicsDocument();
    return TKvEditor::CanUndo() && document && !document->Locked();
}

bool TKvGraphicsEditor::CanRedo()
{
    const TKvGraphicsDocument* document = ActiveGraphicsDocument();
    return TKvEditor::CanRedo() && document && !document->Locked();
}

// One step at a time, the active tool put aside and every tool told before
// and after; a state that sets ContinueUndoRedo has the next step taken in
// the same command.
template <typename Step, typename Can>
void TKvGraphicsEditor::UndoOrRedo(Step step, Can can, void (TKvGraphicsDocument::*before)(),
                                   void (TKvGraphicsDocument::*after)())
{
    // Refused while an edit holds the document (a long step is running).
    if (!can())
        return;
    do {
        TKvGraphicsDocument* document = ActiveGraphicsDocument();
        if (!document)
            return;
        m_continueUndoRedo = false;
        TKvGraphicsTool* tool = m_activeTool;
        SetActiveTool(nullptr);
        (document->*before)();
        step();
        (document->*after)();
        SetActiveTool(tool);
    } while (m_continueUndoRedo && can());
}

void TKvGraphicsEditor::Undo()
{
    UndoOrRedo([this] { TKvEditor::Undo(); }, [this] { return CanUndo(); }, &TKvGraphicsDocument::BroadcastBeforeUndo,
               &TKvGraphicsDocument::BroadcastAfterUndo);
}

void TKvGraphicsEditor::Redo()
{
    UndoOrRedo([this] { TKvEditor::Redo(); }, [this] { return CanRedo(); }, &TKvGraphicsDocument::BroadcastBeforeRedo,
               &TKvGraphicsDocument::BroadcastAfterRedo);
}

// ---------------------------------------------------------------------------
// Tools

void TKvGraphicsEditor::SetActiveTool(TKvGraphicsTool* tool)
{
    if (m_activeTool)
        m_activeTool->Deactivated();
    PreviousTool = m_activeTool;
    if (tool)
        tool->Activated();
    m_activeTool = tool;
}

bool TKvGraphicsEditor::ToolMayAct(const TKvGraphicsTool* tool) const
{
    const TKvGraphicsDocument* document = ActiveGraphicsDocument();
    if (!document)
        return false;
    if (ToolExclusive && tool != m_activeTool)
        return false;
    if (document->Locked()) {
        const auto* locking = dynamic_cast<const TKvGraphicsTool*>(document->LockingTool());
        if (locking && locking != tool && locking->ExclusiveEdit)
            return false;
    }
    return true;
}

void TKvGraphicsEditor::AddGraphicsTool(TKvGraphicsTool* tool)
{
    m_tools.push_back(tool);
    m_toolInterfaces.push_back(tool);
}

void TKvGraphicsEditor::RemoveGraphicsTool(TKvGraphicsTool* tool)
{
    std::erase(m_tools, tool);
    std::erase(m_toolInterfaces, static_cast<IKvGraphicsTool*>(tool));
    if (m_activeTool == tool)
        m_activeTool = nullptr;
    if (PreviousTool == tool)
        PreviousTool = nullptr;
}

// ---------------------------------------------------------------------------
// Demonstration scripts

void TKvGraphicsEditor::ExecuteScriptCommand(TKvDemoPlayback* playback, const QString& command, bool& handled,
                                             TKvDemoAction* action, const TKvCustomProperties& params)
{
    const auto twoNumbers = [&](int first) {
        return ScriptParamIsNumber(params, first) && ScriptParamIsNumber(params, first + 1);
    };
    if (command == QStringLiteral("IMAGEOPEN")) {
        handled = true;
        TKvDocument* document = nullptr;
        if (!OpenFile(ScriptParamText(params, 0), document, true))
            throw EKvScriptError(QStringLiteral("Cannot open the file."));
        document->SetNoSavePrompt(true);
        if (params.Count() == 3 && twoNumbers(1)) {
            SetMinViewSize(ScriptParamInt(params, 1), ScriptParamInt(params, 2));
            FitView();
        }
    } else if (command == QStringLiteral("ZOOMIN")) {
        handled = true;
        ZoomInClick(ZoomInButton);
    } else if (command == QStringLiteral("ZOOMOUT")) {
        handled = true;
        ZoomOutClick(ZoomOutButton);
    } else if (command == QStringLiteral("ACTUALSIZE")) {
        handled = true;
        ActualSizeClick(ActualSizeButton);
    } else if (command == QStringLiteral("BESTFIT")) {
        handled = true;
        BestFitClick(ScaleToBestFitButton);
    } else if (command == QStringLiteral("SETMINWINDOWSIZE")) {
        handled = true;
        if (params.Count() == 2 && twoNumbers(0)) {
            SetMinWindowSize(ScriptParamInt(params, 0), ScriptParamInt(params, 1));
            FitView();
        }
    } else if (command == QStringLiteral("SETMINVIEWSIZE")) {
        handled = true;
        if (params.Count() == 2 && twoNumbers(0)) {
            SetMinViewSize(ScriptParamInt(params, 0), ScriptParamInt(params, 1));
            FitView();
        }
    } else {
        TKvEditor::ExecuteScriptCommand(playback, command, handled, action, params);
    }
}

// A window narrower or lower than asked for takes that size, centred in the
// work area on that axis.
void TKvGraphicsEditor::SetMinWindowSize(int width, int height)
{
    QWidget* window = MainWindow();
    if (!window)
        return;
    QRect frame = window->geometry();
    const QRect area = WorkArea(window);
    if (frame.width() < width) {
        frame.setWidth(width);
        frame.moveLeft(area.x() + (area.width() - width) / 2);
    }
    if (frame.height() < height) {
        frame.setHeight(height);
        frame.moveTop(area.y() + (area.height() - height) / 2);
    }
    window->setGeometry(frame);
}

void TKvGraphicsEditor::GetScriptTarget(TKvDemoPlayback* playback, const TKvCustomProperties& params, bool& found,
                                        QPoint& screenPoint)
{
    const QString name = UpperParam(params, 0);
    const std::pair<const char*, QAction*> buttons[] = {
        {"OPEN", OpenToolButton},         {"OPENBUTTON", OpenToolButton},         {"ZOOMIN", ZoomInButton},
        {"ZOOMOUT", ZoomOutButton},       {"ACTUALSIZE", ActualSizeButton},       {"BESTFIT", ScaleToBestFitButton}};
    for (const auto& [target, button] : buttons)
        if (name == QLatin1String(target)) {
            found = ButtonCentre(StandardToolbar, button, screenPoint);
            return;
        }
    if (name == QStringLiteral("IMAGE")) {
        if (const TKvGraphicsView* view = ActiveView()) {
            const QPoint image(ScriptParamInt(params, 1), ScriptParamInt(params, 2));
            screenPoint = view->mapToGlobal(view->ImageToClient(image));
            found = true;
        }
        return;
    }
    TKvEditor::GetScriptTarget(playback, params, found, screenPoint);
}

// ---------------------------------------------------------------------------
// Scanner

void TKvGraphicsEditor::AcquireClick(QObject*)
{
    if (m_scanner && MayReplaceDocument() && m_scanner->Acquire())
        ShowScanProgress(0);
}

void TKvGraphicsEditor::SelectSourceClick(QObject*)
{
    if (m_scanner)
        m_scanner->SelectSource(MainWindow());
}

void TKvGraphicsEditor::FillImportSubmenu()
{
    ImportSubmenu->clear();
    const QStringList names = m_scanner ? m_scanner->SourceNames() : QStringList();
    for (qsizetype i = 0; i < names.size(); ++i) {
        QAction* item = Shell()->AddMenuItem(names[i], QKeySequence(),
                                             TKvMethod(this, &TKvGraphicsEditor::ImportSourceClick), -1, ImportSubmenu);
        item->setData(int(i));
    }
}

// A picture with unsaved changes is closed (asking to save it) before the
// scan: asked only once the scan is done, a Cancel would throw the scan
// away. A saved picture stays open until the scanned one replaces it, so
// that a failed scan leaves it.
void TKvGraphicsEditor::ImportSourceClick(QObject* sender)
{
    const auto* item = qobject_cast<QAction*>(sender);
    if (!m_scanner)
        return;
    if (const TKvDocument* open = ActiveDocument();
        open && !open->Saved() && !open->NoSavePrompt() && !MayReplaceDocument())
        return;
    const QStringList names = m_scanner->SourceNames();
    const int index = item ? item->data().toInt() : -1;
    if (index >= 0 && index < names.size() && m_scanner->AcquireFrom(names[index]))
        ShowScanProgress(0);
}

// The meter runs from 0 to 100 and is stepped up to the percentage; a
// percentage below the one shown starts it again.
void TKvGraphicsEditor::ShowScanProgress(int percent)
{
    CancelScanButton->show();
    if (!m_progressMeter)
        return;
    if (percent < m_scanPercentShown || m_scanPercentShown < 0) {
        m_progressMeter->StartProgress(100);
        m_scanPercentShown = 0;
    }
    for (; m_scanPercentShown < std::min(percent, 100); ++m_scanPercentShown)
        m_progressMeter->StepIt();
}

void TKvGraphicsEditor::EndScanProgress()
{
    CancelScanButton->hide();
    m_scanPercentShown = -1;
    if (m_progressMeter)
        m_progressMeter->StartProgress(0);
}

// The scanned picture opens untitled, outside the recent files and the
// folder stepping; the transfer file goes whatever happened.
void TKvGraphicsEditor::ScannerImageReady(const QString& transferFile)
{
    TKvDocument* document = nullptr;
    if (OpenFile(transferFile, document, false) && document) {
        document->SetFileName(QString());
        FolderImages.clear();
        FolderIndex = -1;
        UpdateCaption();
    }
    QFile::remove(transferFile);
}
