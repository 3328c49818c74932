#include "KvForms.h"

#include "KvLocalizer.h"
#include "KvOutputFiles.h"
#include "KvSDF.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QLibraryInfo>
#include <QPushButton>
#include <QStandardPaths>
#include <QTranslator>

#include <algorithm>
#include <cstdio>
#include <memory>

TKvApplication* KvApplication = nullptr;

// ---------------------------------------------------------------------------
// Message boxes

TKvMessageBoxLayout MessageBoxLayout(unsigned flags)
{
    using B = QMessageBox;
    // Buttons in the order Windows shows them, for the default-button bits.
    std::vector<B::StandardButton> order;
    switch (flags & 0xF) {
    case 1: order = {B::Ok, B::Cancel}; break;
    case 2: order = {B::Abort, B::Retry, B::Ignore}; break;
    case 3: order = {B::Yes, B::No, B::Cancel}; break;
    case 4: order = {B::Yes, B::No}; break;
    case 5: order = {B::Retry, B::Cancel}; break;
    default: order = {B::Ok}; break;
    }
    TKvMessageBoxLayout layout{};
    for (B::StandardButton button : order)
        layout.Buttons |= button;
    const size_t defaultIndex = (flags >> 8) & 0xF;
    layout.DefaultButton = order[defaultIndex < order.size() ? defaultIndex : 0];
    switch (flags & 0xF0) {
    case 0x10: layout.Icon = B::Critical; break;
    case 0x20: layout.Icon = B::Question; break;
    case 0x30: layout.Icon = B::Warning; break;
    case 0x40: layout.Icon = B::Information; break;
    default: layout.Icon = B::NoIcon; break;
    }
    return layout;
}

int MessageBoxResult(QMessageBox::StandardButton button)
{
    switch (button) {
    case QMessageBox::Ok: return idOk;
    case QMessageBox::Abort: return idAbort;
    case QMessageBox::Retry: return idRetry;
    case QMessageBox::Ignore: return idIgnore;
    case QMessageBox::Yes: return idYes;
    case QMessageBox::No: return idNo;
    default: return idCancel;
    }
}

// ---------------------------------------------------------------------------
// Application object

namespace {

// Events that only follow from drawing, layout and state notifications.
// They do not make the program's state change, so they do not call for
// another idle pass; otherwise a handler that repaints something would keep
// the idle dispatch running forever.
bool IsConsequenceOfDrawing(const QObject* receiver, const QEvent* event)
{
    switch (event->type()) {
    case QEvent::Paint:
    case QEvent::UpdateRequest:
    case QEvent::UpdateLater:
    case QEvent::LayoutRequest:
    case QEvent::Polish:
    case QEvent::PolishRequest:
    case QEvent::ChildAdded:
    case QEvent::ChildPolished:
    case QEvent::ChildRemoved:
    case QEvent::DeferredDelete:
    case QEvent::Resize:
    case QEvent::Move:
    case QEvent::Expose:
    case QEvent::Show:
    case QEvent::Hide:
    case QEvent::ShowToParent:
    case QEvent::HideToParent:
    case QEvent::EnabledChange:
    case QEvent::ActionAdded:
    case QEvent::ActionChanged:
    case QEvent::ActionRemoved:
    case QEvent::StyleChange:
    case QEvent::FontChange:
    case QEvent::PaletteChange:
    case QEvent::ToolTipChange:
    case QEvent::ModifiedChange:
    case QEvent::ReadOnlyChange:
    case QEvent::ContentsRectChange:
    case QEvent::WindowTitleChange:
    case QEvent::WindowIconChange:
    case QEvent::IconTextChange:
    case QEvent::ZOrderChange:
    case QEvent::ParentChange:
    case QEvent::ParentAboutToChange:
    case QEvent::DynamicPropertyChange:
    case QEvent::PlatformSurface:
    case QEvent::WinIdChange:
    case QEvent::StatusTip:
    case QEvent::LanguageChange:
    case QEvent::LocaleChange:
    case QEvent::WindowBlocked:
    case QEvent::WindowUnblocked:
        return true;
    case QEvent::Timer:
        // A window's own timer paces its repaints.
        return receiver->isWindowType();
    default:
        return false;
    }
}

} // namespace

TKvApplication::TKvApplication()
{
    KvApplication = this;
    connect(QAbstractEventDispatcher::instance(thread()), &QAbstractEventDispatcher::aboutToBlock, this,
            &TKvApplication::AboutToBlock);
    QCoreApplication::instance()->installEventFilter(this);
}

TKvApplication::~TKvApplication()
{
    DestroyComponents();
    RemoveLocalizeHandler(TKvMethod(this, &TKvApplication::LocalizeFramework));
    if (KvApplication == this)
        KvApplication = nullptr;
}

void TKvApplication::Initialize()
{
    // Pictures of 24 megapixels and more exceed Qt's default limit.
    QImageReader::setAllocationLimit(0);
    // The main loop ends when the main form closes, not with the last window.
    QApplication::setQuitOnLastWindowClosed(false);
    AddLocalizeHandler(TKvMethod(this, &TKvApplication::LocalizeFramework), this);
}

void TKvApplication::SetTitle(const QString& title)
{
    m_title = title;
    OnTitleChange.Call(this);
}

QObject* TKvApplication::Components(int index) const
{
    return m_components.at(static_cast<size_t>(index));
}

size_t TKvApplication::ReserveComponentSlot()
{
    m_components.push_back(nullptr);
    return m_components.size() - 1;
}

void TKvApplication::FillComponentSlot(size_t slot, QObject* component)
{
    m_components[slot] = component;
    connect(component, &QObject::destroyed, this, [this](QObject* destroyed) {
        m_components.erase(std::remove(m_components.begin(), m_components.end(), destroyed), m_components.end());
    });
}

void TKvApplication::ReleaseComponentSlot(size_t slot)
{
    m_components.erase(m_components.begin() + static_cast<std::ptrdiff_t>(slot));
}

void TKvApplication::SetMainForm(QWidget* form)
{
    m_mainForm = form;
    // Calls queued for a main form that is gone would wait forever.
    connect(form, &QObject::destroyed, this, [this] { m_postedCalls.Clear(); });
}

std::vector<QObject*> TKvApplication::ComponentsSnapshot() const
{
    std::vector<QObject*> components;
    std::copy_if(m_components.begin(), m_components.end(), std::back_inserter(components),
                 [](QObject* component) { return component != nullptr; });
    return components;
}

void TKvApplication::DestroyComponents()
{
    std::vector<QPointer<QObject>> components;
    for (QObject* component : ComponentsSnapshot())
        components.emplace_back(component);
    std::reverse(components.begin(), components.end());
    // Freeing one component may free another (a widget and its children).
    for (const QPointer<QObject>& component : components)
        delete component.data();
}

QString TKvApplication::ConfigFileName() const
{
    const QFileInfo executable(QCoreApplication::applicationFilePath());
    const QString baseName = executable.completeBaseName();
    const QString configFolder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (!configFolder.isEmpty())
        return QDir(configFolder).filePath(baseName + QLatin1Char('/') + baseName + QStringLiteral(".cfg"));
    return executable.dir().filePath(baseName + QStringLiteral(".cfg"));
}

void TKvApplication::LoadAllSettings()
{
    const QString path = ConfigFileName();
    QFile file(path);
    std::unique_ptr<TKvSDFReader> reader;
    if (QFileInfo(path).isFile() && file.open(QIODevice::ReadOnly))
        reader = std::make_unique<TKvSDFReader>(&file, false);

    const std::vector<QObject*> components = ComponentsSnapshot();
    for (QObject* object : components) {
        auto* component = dynamic_cast<IKvAppComponent*>(object);
        if (!component)
            continue;
        if (reader) {
            // Each component looks its node up from the top level, even
            // when the one before it did not leave its own.
            while (reader->CurrentNode())
                reader->LeaveNode();
            component->LoadSettings(*reader);
        }
        component->Initialize();
    }
    reader.reset();
    for (QObject* object : components)
        if (auto* component = dynamic_cast<IKvAppComponent*>(object))
            component->Start();
}

namespace {

// Replaces the file only once the new contents are completely on disk; a
// failed write leaves the old file as it was.
bool WriteSettingsFile(const QString& path, const QByteArray& contents)
{
    return QDir().mkpath(QFileInfo(path).absolutePath()) && WriteWholeFile(path, contents);
}

} // namespace

void TKvApplication::SaveAllSettings()
{
    QBuffer stream;
    stream.open(QIODevice::WriteOnly);
    {
        TKvSDFWriter writer(&stream, false);
        for (QObject* object : ComponentsSnapshot())
            if (auto* component = dynamic_cast<IKvAppComponent*>(object))
                component->SaveSettings(writer);
    }
    if (stream.data().isEmpty())
        return;
    // Settings that cannot be written are lost without a message; the
    // program still ends normally.
    WriteSettingsFile(ConfigFileName(), stream.data());
}

int TKvApplication::Run()
{
    LoadAllSettings();
    if (m_mainForm) {
        m_mainForm->show();
        m_running = true;
        QApplication::exec();
        m_running = false;
    }
    if (m_saveSettingsOnExit)
        SaveAllSettings();
    return m_exitCode;
}

void TKvApplication::FormClosed(QWidget* form)
{
    if (form == m_mainForm && m_running)
        QCoreApplication::quit();
}

// ---------------------------------------------------------------------------
// Idle dispatch

bool TKvApplication::eventFilter(QObject* watched, QEvent* event)
{
    // Events sent while the idle handlers run are their own doing.
    if (!m_inIdle && !IsConsequenceOfDrawing(watched, event))
        m_activitySinceIdle = true;
    return false;
}

void TKvApplication::AboutToBlock()
{
    // A handler that opens a modal window starts a nested loop, which must
    // not start a second pass over the handlers.
    if (m_inIdle || !m_activitySinceIdle)
        return;
    DispatchIdle();
}

void TKvApplication::DispatchIdle()
{
    m_activitySinceIdle = false;
    m_inIdle = true;
    bool done = true;
    if (OnIdle)
        OnIdle(this, done);
    if (done)
        m_idleHandlers.CallAll();
    m_inIdle = false;
}

void TKvApplication::AddIdleHandler(const TKvMethod& method, QObject* component)
{
    m_idleHandlers.Add(method, component);
}

void TKvApplication::RemoveIdleHandler(const TKvMethod& method)
{
    m_idleHandlers.Remove(method);
}

// ---------------------------------------------------------------------------
// Posted calls

void TKvApplication::PostCall(const TKvMethod& method, QObject* component)
{
    if (!m_mainForm)
        return;
    m_postedCalls.Add(method, component);
    if (m_postedCalls.Count() == 1)
        QCoreApplication::postEvent(m_mainForm, new QEvent(PostCallEvent));
}

void TKvApplication::RunPostedCall()
{
    if (m_postedCalls.Count() == 0)
        return;
    const TKvMethodList::Entry call = m_postedCalls.Items(0);
    call.Method.Call(call.Component);
    m_postedCalls.Delete(0);
    if (m_postedCalls.Count() > 0 && m_mainForm)
        QCoreApplication::postEvent(m_mainForm, new QEvent(PostCallEvent));
}

// ---------------------------------------------------------------------------
// Message boxes

// The answer that changes nothing: Cancel where there is one, else No,
// else the first button.
int TKvApplication::UnattendedAnswer(unsigned flags)
{
    const QMessageBox::StandardButtons buttons = MessageBoxLayout(flags).Buttons;
    for (const QMessageBox::StandardButton button : {QMessageBox::Cancel, QMessageBox::No, QMessageBox::Abort})
        if (buttons & button)
            return MessageBoxResult(button);
    return buttons & QMessageBox::Retry ? idRetry : idOk;
}

int TKvApplication::MessageBox(const QString& text, const QString& caption, unsigned flags)
{
    if (m_unattended) {
        std::fprintf(stderr, "%s: %s\n", caption.toLocal8Bit().constData(), text.toLocal8Bit().constData());
        std::fflush(stderr);
        return UnattendedAnswer(flags);
    }
    QWidget* owner = QApplication::activeModalWidget();
    if (!owner)
        owner = QApplication::activeWindow();
    if (!owner)
        owner = m_mainForm;
    const TKvMessageBoxLayout layout = MessageBoxLayout(flags);
    QMessageBox box(layout.Icon, caption, QString(), layout.Buttons, owner);
    // Messages carry file names, which may look like markup: shown as they are.
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
    box.setDefaultButton(layout.DefaultButton);
    box.exec();
    return MessageBoxResult(box.standardButton(box.clickedButton()));
}

int TKvApplication::MessageBox(const QString& text, unsigned flags)
{
    return MessageBox(text, m_title, flags);
}

// ---------------------------------------------------------------------------
// Qt's own texts (standard buttons, file dialogs) follow the chosen language
// when Qt's translations are installed.

void TKvApplication::LocalizeFramework()
{
    if (m_frameworkTranslator) {
        QCoreApplication::removeTranslator(m_frameworkTranslator);
        delete m_frameworkTranslator;
        m_frameworkTranslator = nullptr;
    }
    if (CurrentLanguage() == 0)
        return;
    auto translator = std::make_unique<QTranslator>(this);
    if (translator->load(LocaleFromLangId(CurrentLanguage()), QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        m_frameworkTranslator = translator.release();
        QCoreApplication::installTranslator(m_frameworkTranslator);
    }
}

// ---------------------------------------------------------------------------
// Forms and frames

void RegisterLocalizeAndIdle(const TKvMethod& localize, const TKvMethod& updateControls, QObject* component)
{
    AddLocalizeHandler(localize, component);
    if (KvApplication)
        KvApplication->AddIdleHandler(updateControls, component);
}

void UnregisterLocalizeAndIdle(const TKvMethod& localize, const TKvMethod& updateControls)
{
    RemoveLocalizeHandler(localize);
    if (KvApplication)
        KvApplication->RemoveIdleHandler(updateControls);
}

TKvFrame::TKvFrame(QWidget* parent) : TKvAppWidget<QWidget>(parent) {}

void TKvFrame::SetControlsEnabled(bool enabled)
{
    if (enabled == m_controlsEnabled)
        return;
    for (QWidget* control : findChildren<QWidget*>())
        control->setEnabled(enabled);
    m_controlsEnabled = enabled;
}

void TKvFrame::Initialize()
{
    TKvAppWidget<QWidget>::Initialize();
    m_controlsEnabled = true;
}

QString PlainCaption(const QString& text)
{
    QString caption = text;
    return caption.replace(QLatin1Char('&'), QStringLiteral("&&"));
}
