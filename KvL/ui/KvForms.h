// The spine every window and module hangs on: the application object (one
// per run) with its components, configuration file, idle-time updates,
// deferred calls and message boxes; the interface through which it
// initialises, configures and starts its components; and the base classes
// of the program's windows (forms) and panels (frames), which register
// themselves for re-captioning and idle updates.
#pragma once

#include "KvMethodList.h"

#include <QCloseEvent>
#include <QDialog>
#include <QEvent>
#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

class QTranslator;
class TKvSDFReader;
class TKvSDFWriter;

// ---------------------------------------------------------------------------
// Construction into a variable

// Creates a T in `reference`: the variable holds the new object's address
// before its constructor runs, as the application object's CreateComponent
// and the tool panel's AddToolFrame promise their callers; if the
// constructor throws, the variable is null again and the exception passes
// on. Objects made this way are freed with plain delete (directly or by
// their Qt parent).
template <class T, class... Args>
T* ConstructInto(T*& reference, Args&&... args)
{
    static_assert(alignof(T) <= __STDCPP_DEFAULT_NEW_ALIGNMENT__);
    void* memory = ::operator new(sizeof(T));
    reference = static_cast<T*>(memory);
    try {
        new (memory) T(std::forward<Args>(args)...);
    } catch (...) {
        reference = nullptr;
        ::operator delete(memory);
        throw;
    }
    return reference;
}

// ---------------------------------------------------------------------------
// Application components

// What the application object asks of each of its components: settings
// loaded (only when the configuration file holds the component's node),
// then Initialize, component by component in creation order; once all are
// initialised, Start; after the main loop, SaveSettings.
class IKvAppComponent {
public:
    virtual void Initialize() = 0;
    virtual void LoadSettings(TKvSDFReader& reader) = 0;
    virtual void SaveSettings(TKvSDFWriter& writer) = 0;
    virtual void Start() = 0;

protected:
    ~IKvAppComponent() = default;
};

// ---------------------------------------------------------------------------
// Message boxes

// Flags and results are those of the Windows MessageBox function, which the
// callers were written against: flags = buttons (0 OK, 1 OK/Cancel,
// 2 Abort/Retry/Ignore, 3 Yes/No/Cancel, 4 Yes/No, 5 Retry/Cancel) + icon
// (16 error, 32 question, 48 warning, 64 information) + default button
// (0, 256, 512 for the first, second, third).
enum TKvMessageBoxResult { idOk = 1, idCancel = 2, idAbort = 3, idRetry = 4, idIgnore = 5, idYes = 6, idNo = 7 };

struct TKvMessageBoxLayout {
    QMessageBox::StandardButtons Buttons;
    QMessageBox::StandardButton DefaultButton;
    QMessageBox::Icon Icon;
};

TKvMessageBoxLayout MessageBoxLayout(unsigned flags);
// The result number of the pressed button; idCancel for a box closed
// without a button.
int MessageBoxResult(QMessageBox::StandardButton button);

// ---------------------------------------------------------------------------
// Application object

class TKvApplication : public QObject {
    Q_OBJECT
public:
    // The event that runs one posted call on the main form.
    static constexpr QEvent::Type PostCallEvent = static_cast<QEvent::Type>(QEvent::User + 100);

    // Needs the Qt application object; becomes the global KvApplication.
    TKvApplication();
    // Frees the components, last created first.
    ~TKvApplication() override;

    // Prepares the Qt application object for the program.
    void Initialize();

    // Shown as the caption of message boxes; OnTitleChange runs after it
    // was set.
    QString Title() const { return m_title; }
    void SetTitle(const QString& title);
    TKvMethod OnTitleChange;

    // Runs before the idle handlers; leaving `done` false skips them.
    std::function<void(QObject* sender, bool& done)> OnIdle;

    // Creates a component owned by the application in `reference` (set
    // before the constructor runs, null again if it throws), passing the
    // arguments to its constructor. CreateForm makes the first window
    // created this way the main form.
    template <class T, class... Args>
    void CreateForm(T*& reference, Args&&... args);
    template <class T, class... Args>
    void CreateComponent(T*& reference, Args&&... args);
    template <class T>
    T* CreateComponent();

    // The components in creation order (construction start).
    int ComponentCount() const { return static_cast<int>(m_components.size()); }
    QObject* Components(int index) const;
    QWidget* MainForm() const { return m_mainForm; }

    // Loads the settings, initialises and starts every component, shows the
    // main form and runs the main loop until it closes, then saves the
    // settings. Returns the exit code.
    int Run();
    void LoadAllSettings();
    void SaveAllSettings();
    // Frees the components, last created first.
    void DestroyComponents();

    // "<base>/<base>.cfg" in the user's configuration folder, where <base>
    // is the executable's name without extension; beside the executable
    // when the user has no configuration folder.
    QString ConfigFileName() const;

    void AddIdleHandler(const TKvMethod& method, QObject* component);
    void RemoveIdleHandler(const TKvMethod& method);

    // Queues a call to run from the main loop, one call per event posted to
    // the main form, in posting order. Dropped while there is no main form.
    void PostCall(const TKvMethod& method, QObject* component);
    // Runs the first queued call; the main form's handling of PostCallEvent.
    void RunPostedCall();

    // A modal message box over the active window, captioned with the text
    // or Title; returns the result number of the pressed button. While the
    // program runs unattended, the text goes to standard error instead and
    // the answer is the one that changes nothing (UnattendedAnswer).
    int MessageBox(const QString& text, const QString& caption, unsigned flags);
    int MessageBox(const QString& text, unsigned flags);
    // A run nobody watches (a script played from the command line) shows
    // no message box.
    bool Unattended() const { return m_unattended; }
    void SetUnattended(bool unattended) { m_unattended = unattended; }
    static int UnattendedAnswer(unsigned flags);

    int ExitCode() const { return m_exitCode; }
    void SetExitCode(int code) { m_exitCode = code; }
    // Whether Run saves the components' settings when the main loop ends
    // (a run that plays a script leaves the user's settings alone).
    void SetSaveSettingsOnExit(bool save) { m_saveSettingsOnExit = save; }

    // Called by a form that closed; closing the main form ends the main loop.
    void FormClosed(QWidget* form);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    template <class T, class... Args>
    void CreateOwned(T*& reference, Args&&... args);
    size_t ReserveComponentSlot();
    void FillComponentSlot(size_t slot, QObject* component);
    void ReleaseComponentSlot(size_t slot);
    void SetMainForm(QWidget* form);
    std::vector<QObject*> ComponentsSnapshot() const;

    void AboutToBlock();
    void DispatchIdle();
    void LocalizeFramework();

    QString m_title;
    std::vector<QObject*> m_components;
    QPointer<QWidget> m_mainForm;
    TKvMethodList m_idleHandlers;
    TKvMethodList m_postedCalls;
    QTranslator* m_frameworkTranslator = nullptr;
    bool m_activitySinceIdle = true;
    bool m_inIdle = false;
    bool m_running = false;
    int m_exitCode = 0;
    bool m_saveSettingsOnExit = true;
    bool m_unattended = false;
};

// The application object of the run; null while there is none.
extern TKvApplication* KvApplication;

template <class T, class... Args>
void TKvApplication::CreateOwned(T*& reference, Args&&... args)
{
    const size_t slot = ReserveComponentSlot();
    try {
        ConstructInto(reference, std::forward<Args>(args)...);
    } catch (...) {
        ReleaseComponentSlot(slot);
        throw;
    }
    FillComponentSlot(slot, reference);
}

template <class T, class... Args>
void TKvApplication::CreateForm(T*& reference, Args&&... args)
{
    CreateOwned(reference, std::forward<Args>(args)...);
    if constexpr (std::is_base_of_v<QWidget, T>) {
        if (!m_mainForm)
            SetMainForm(reference);
    }
}

template <class T, class... Args>
void TKvApplication::CreateComponent(T*& reference, Args&&... args)
{
    CreateOwned(reference, std::forward<Args>(args)...);
}

template <class T>
T* TKvApplication::CreateComponent()
{
    T* reference = nullptr;
    CreateOwned(reference);
    return reference;
}

// ---------------------------------------------------------------------------
// Forms and frames

// Registration of a form's or frame's re-captioning and idle update, and
// its removal (removing what was never added does nothing).
void RegisterLocalizeAndIdle(const TKvMethod& localize, const TKvMethod& updateControls, QObject* component);
void UnregisterLocalizeAndIdle(const TKvMethod& localize, const TKvMethod& updateControls);

// A widget that is an application component. Initialize registers Localize
// with the localizer (which calls it once at once) and UpdateControls as an
// idle handler; destruction removes both. A widget owned by the application
// object is initialised by the start-up pass; any other is initialised by
// its creator right after construction (see NewInitialized).
template <class TWidget>
class TKvAppWidget : public TWidget, public IKvAppComponent {
public:
    explicit TKvAppWidget(QWidget* parent = nullptr) : TWidget(parent) {}
    ~TKvAppWidget() override
    {
        UnregisterLocalizeAndIdle(TKvMethod(this, &TKvAppWidget::Localize),
                                  TKvMethod(this, &TKvAppWidget::UpdateControls));
    }

    // Re-captions the widget from the current language.
    virtual void Localize() {}
    // Idle-time enabling, checking and captions of the widget's controls.
    virtual void UpdateControls() {}
    void LoadSettings(TKvSDFReader&) override {}
    void SaveSettings(TKvSDFWriter&) override {}
    void Start() override {}
    void Initialize() override
    {
        RegisterLocalizeAndIdle(TKvMethod(this, &TKvAppWidget::Localize),
                                TKvMethod(this, &TKvAppWidget::UpdateControls), this);
    }
};

// A window of the program. TWindow is the Qt window class: QDialog for the
// dialogs (TKvForm), QMainWindow for the main form. The form runs the posted
// calls sent to it and asks OnCloseQuery before it closes; a closed main form
// ends the main loop.
template <class TWindow>
class TKvFormOf : public TKvAppWidget<TWindow> {
public:
    explicit TKvFormOf(QWidget* parent = nullptr) : TKvAppWidget<TWindow>(parent) {}

    // Asked before the form closes; setting canClose to false keeps it open.
    std::function<void(QObject* sender, bool& canClose)> OnCloseQuery;

protected:
    bool event(QEvent* event) override
    {
        if (event->type() == TKvApplication::PostCallEvent) {
            if (KvApplication)
                KvApplication->RunPostedCall();
            return true;
        }
        return TWindow::event(event);
    }

    void closeEvent(QCloseEvent* event) override
    {
        bool canClose = true;
        if (OnCloseQuery)
            OnCloseQuery(this, canClose);
        if (!canClose) {
            event->ignore();
            return;
        }
        TWindow::closeEvent(event);
        if (event->isAccepted() && KvApplication)
            KvApplication->FormClosed(this);
    }
};

using TKvForm = TKvFormOf<QDialog>;

// A panel of controls inside a form or dockable panel.
class TKvFrame : public TKvAppWidget<QWidget> {
    Q_OBJECT
public:
    explicit TKvFrame(QWidget* parent = nullptr);

    // Sets the enabled state of every control inside the frame, nested ones
    // included, when the value changes; the frame's own state stays as it
    // is. False until Initialize, which sets it true without touching any
    // control.
    bool ControlsEnabled() const { return m_controlsEnabled; }
    void SetControlsEnabled(bool enabled);

    void Initialize() override;

private:
    bool m_controlsEnabled = false;
};

// Creates a form or frame that the application object does not own (a
// dialog, a frame in a panel) and initialises it at once, so that it is
// captioned in the current language from the start.
template <class T, class... Args>
T* NewInitialized(Args&&... args)
{
    T* widget = new T(std::forward<Args>(args)...);
    widget->Initialize();
    return widget;
}

// Captions from the language files are plain text; menus and buttons read
// "&" as the mark of a keyboard mnemonic, so it is doubled for them.
QString PlainCaption(const QString& text);
