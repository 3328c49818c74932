#include "KvGraphicsEditor.h"

#include "KvGraphicsView.h"
#include "KvImportSource.h"
#include "KvJPEGOptions.h"
#include "KvLocalizer.h"
#include "KvSDF.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontInfo>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>

const QUuid TKvGraphicsEditor::GraphicsSettingsGuid{QStringLiteral("{E1195915-FFAE-4A56-B331-F4567336FF25}")};

namespace {

QAction* Named(QAction* item, const char* name)
{
    item->setObjectName(QLatin1String(name));
    return item;
}

} // namespace

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

std::optional<int> TKvGraphicsEditor::AskJpegQuality()
{
    const std::optional<int> chosen = AskJPEGQuality(m_formats.JpegQuality, MainWindow());
    if (chosen)
        m_formats.JpegQuality = *chosen;
    return chosen;
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

// Seven pairs of a label and its field; h is the height of the main form's
// font in pixels.
void TKvGraphicsEditor::CreateStatusPanels()
{
    QStatusBar* bar = Shell()->Items().StatusBar;
    const int h = std::abs(QFontInfo(MainWindow()->font()).pixelSize());
    m_statusPanels = std::make_unique<TKvStatusPanels>(bar, h);
    XStatusPanel = m_statusPanels->X;
    YStatusPanel = m_statusPanels->Y;
    WStatusPanel = m_statusPanels->W;
    HStatusPanel = m_statusPanels->H;
    RStatusPanel = m_statusPanels->R;
    GStatusPanel = m_statusPanels->G;
    BStatusPanel = m_statusPanels->B;

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
    m_statusPanels->ShowImageSize(width, height);
}

void TKvGraphicsEditor::ShowPointerInfo(const QPoint& imagePoint, TColorTriple pixel)
{
    m_statusPanels->ShowPointerInfo(imagePoint, pixel);
}

bool TKvGraphicsEditor::OpenFile(const QString& fileName, TKvDocument*& document, bool addToRecent)
{
    if (!TKvEditor::OpenFile(fileName, document, addToRecent))
        return false;
    TKvGraphicsView* view = document ? static_cast<TKvGraphicsView*>(document->ExistingView()) : nullptr;
    if (!view)
        return true;
    m_folder.Scan(fileName);
    FitView();
    m_script.RecordOpen(fileName, *view);
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
    m_pluginMode.Enter();
    TKvEditor::SetPluginMode(on);
}

bool TKvGraphicsEditor::SaveDocumentAs(TKvDocument* document)
{
    if (PluginMode() && document && document->CanSave())
        return m_pluginMode.Save(document);
    return TKvEditor::SaveDocumentAs(document);
}

void TKvGraphicsEditor::OkClick(QObject*)
{
    m_pluginMode.Ok();
}

void TKvGraphicsEditor::CancelClick(QObject*)
{
    m_pluginMode.Cancel();
}

// ---------------------------------------------------------------------------
// Zoom

TKvZoom TKvGraphicsEditor::Zoom() const
{
    const TKvGraphicsView* view = ActiveView();
    return view ? ViewZoom(*view) : TKvZoom{1, 1};
}

void TKvGraphicsEditor::SetZoom(TKvGraphicsView* view, TKvZoom zoom)
{
    SetViewZoom(*view, zoom);
}

void TKvGraphicsEditor::ZoomInClick(QObject*)
{
    m_script.RecordCommand(QStringLiteral("ZoomIn"), QStringLiteral("Zoom In"));
    if (TKvGraphicsView* view = ActiveView())
        SetZoom(view, NextZoomIn(Zoom().Thousandths()));
}

void TKvGraphicsEditor::ZoomOutClick(QObject*)
{
    m_script.RecordCommand(QStringLiteral("ZoomOut"), QStringLiteral("Zoom Out"));
    if (TKvGraphicsView* view = ActiveView())
        SetZoom(view, NextZoomOut(Zoom().Thousandths()));
}

void TKvGraphicsEditor::ActualSizeClick(QObject*)
{
    m_script.RecordCommand(QStringLiteral("ActualSize"), QStringLiteral("Actual Size"));
    if (TKvGraphicsView* view = ActiveView())
        SetZoom(view, {1, 1});
}

void TKvGraphicsEditor::BestFitClick(QObject*)
{
    m_script.RecordCommand(QStringLiteral("BestFit"), QStringLiteral("Best Fit"));
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
    m_script.SetMinViewSize(width, height);
}

void TKvGraphicsEditor::SetMinWindowSize(int width, int height)
{
    m_script.SetMinWindowSize(width, height);
}

// ---------------------------------------------------------------------------
// Folder

void TKvGraphicsEditor::NextImageClick(QObject*) { StepFolder(1); }

void TKvGraphicsEditor::PrevImageClick(QObject*) { StepFolder(-1); }

// Opens the picture step places away in the folder list. When it is gone,
// the folder is read again and the step taken in what it holds now; an
// open picture whose own file went too counts as unsaved, so that closing
// it asks first.
void TKvGraphicsEditor::StepFolder(int step)
{
    if (!m_folder.CanStep(step))
        return;
    const TKvFolderImages::TStep next = m_folder.Step(step);
    if (next.Rescanned) {
        if (TKvDocument* document = ActiveDocument();
            document && !document->FileName().isEmpty() && !QFileInfo(document->FileName()).isFile())
            document->NotifyChanged();
    }
    if (next.Target.isEmpty()) {
        KvApplication->MessageBox(LocalFormat(1030, {QDir::toNativeSeparators(next.Missing)}), 16);
        return;
    }
    TKvDocument* document = nullptr;
    OpenFile(next.Target, document, true);
}

// ---------------------------------------------------------------------------
// Undo and redo

// A change still open (an adjustment waiting for Ok) is committed by the
// undo and undone at once; running work keeps undo out.
bool TKvGraphicsEditor::CanUndo()
{
    const TKvGraphicsDocument* document = ActiveGraphicsDocument();
    return document && (document->LockedByOpenChange() || (TKvEditor::CanUndo() && !document->Locked()));
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
    // A change still open is settled first; running work refuses the step.
    if (TKvGraphicsDocument* document = ActiveGraphicsDocument())
        document->CommitOrCancelOpenChanges();
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

void TKvGraphicsEditor::ExecuteScriptCommand(const QString& command, bool& handled, const TKvCustomProperties& params)
{
    if (m_script.Execute(command, params))
        handled = true;
    else
        TKvEditor::ExecuteScriptCommand(command, handled, params);
}

void TKvGraphicsEditor::GetScriptTarget(const TKvCustomProperties& params, bool& found, QPoint& screenPoint)
{
    if (!m_script.FindTarget(params, found, screenPoint))
        TKvEditor::GetScriptTarget(params, found, screenPoint);
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
        m_folder.Clear();
        UpdateCaption();
    }
    QFile::remove(transferFile);
}
