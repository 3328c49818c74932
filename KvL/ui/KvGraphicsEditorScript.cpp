#include "KvGraphicsEditorScript.h"

#include "KvDemo.h"
#include "KvGraphicsEditor.h"
#include "KvGraphicsView.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QToolBar>

#include <algorithm>

namespace {

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

bool TwoNumbers(const TKvCustomProperties& params, int first)
{
    return ScriptParamIsNumber(params, first) && ScriptParamIsNumber(params, first + 1);
}

} // namespace

// A picture a script names without its folder is the one beside the
// script, where demonstrations keep their pictures; failing that, the name
// is taken as it is (from the current folder).
QString TKvGraphicsEditorScript::ScriptFile(const QString& name) const
{
    const TKvDemoScriptUserAction* running = m_editor.DemoRegistry().RunningCommand();
    if (!running || QFileInfo(name).isAbsolute())
        return name;
    const QString folder = running->Playback().ScriptFolder();
    const QString beside = folder.isEmpty() ? QString() : QDir(folder).filePath(name);
    return !beside.isEmpty() && QFileInfo(beside).isFile() ? beside : name;
}

bool TKvGraphicsEditorScript::Execute(const QString& command, const TKvCustomProperties& params)
{
    TKvGraphicsEditor& editor = m_editor;
    if (command == QStringLiteral("IMAGEOPEN")) {
        TKvDocument* document = nullptr;
        if (!editor.OpenFile(ScriptFile(ScriptParamText(params, 0)), document, true))
            throw EKvScriptError(QStringLiteral("Cannot open the file."));
        document->SetNoSavePrompt(true);
        if (params.Count() == 3 && TwoNumbers(params, 1)) {
            SetMinViewSize(ScriptParamInt(params, 1), ScriptParamInt(params, 2));
            editor.FitView();
        }
    } else if (command == QStringLiteral("ZOOMIN")) {
        editor.ZoomInClick(editor.ZoomInButton);
    } else if (command == QStringLiteral("ZOOMOUT")) {
        editor.ZoomOutClick(editor.ZoomOutButton);
    } else if (command == QStringLiteral("ACTUALSIZE")) {
        editor.ActualSizeClick(editor.ActualSizeButton);
    } else if (command == QStringLiteral("BESTFIT")) {
        editor.BestFitClick(editor.ScaleToBestFitButton);
    } else if (command == QStringLiteral("NEXTIMAGE")) {
        editor.NextImageClick(editor.NextImageButton);
    } else if (command == QStringLiteral("PREVIMAGE")) {
        editor.PrevImageClick(editor.PrevImageButton);
    } else if (command == QStringLiteral("SETMINWINDOWSIZE")) {
        if (params.Count() == 2 && TwoNumbers(params, 0)) {
            SetMinWindowSize(ScriptParamInt(params, 0), ScriptParamInt(params, 1));
            editor.FitView();
        }
    } else if (command == QStringLiteral("SETMINVIEWSIZE")) {
        if (params.Count() == 2 && TwoNumbers(params, 0)) {
            SetMinViewSize(ScriptParamInt(params, 0), ScriptParamInt(params, 1));
            editor.FitView();
        }
    } else {
        return false;
    }
    return true;
}

bool TKvGraphicsEditorScript::FindTarget(const TKvCustomProperties& params, bool& found, QPoint& screenPoint)
{
    const TKvGraphicsEditor& editor = m_editor;
    const QString name = ScriptParamText(params, 0).toUpper();
    const std::pair<const char*, QAction*> buttons[] = {
        {"OPEN", editor.OpenToolButton},     {"OPENBUTTON", editor.OpenToolButton},
        {"ZOOMIN", editor.ZoomInButton},     {"ZOOMOUT", editor.ZoomOutButton},
        {"ACTUALSIZE", editor.ActualSizeButton}, {"BESTFIT", editor.ScaleToBestFitButton},
        {"NEXTIMAGE", editor.NextImageButton}, {"PREVIMAGE", editor.PrevImageButton}};
    for (const auto& [target, button] : buttons)
        if (name == QLatin1String(target)) {
            found = ButtonCentre(editor.StandardToolbar, button, screenPoint);
            return true;
        }
    if (name == QStringLiteral("IMAGE")) {
        if (const TKvGraphicsView* view = editor.ActiveView()) {
            const QPoint image(ScriptParamInt(params, 1), ScriptParamInt(params, 2));
            screenPoint = view->mapToGlobal(view->ImageToClient(image));
            found = true;
        }
        return true;
    }
    return false;
}

void TKvGraphicsEditorScript::RecordCommand(const QString& name, const QString& message)
{
    IKvScriptRecorder* recorder = m_editor.Recorder();
    if (!recorder)
        return;
    recorder->RecordLine(QStringLiteral("MouseCurvedMove ") + name);
    if (recorder->RecordMessages())
        recorder->RecordLine(QStringLiteral("Message \"%1\"").arg(message));
    recorder->RecordLine(name);
}

void TKvGraphicsEditorScript::RecordOpen(const QString& fileName, const TKvGraphicsView& view)
{
    IKvScriptRecorder* recorder = m_editor.Recorder();
    if (!recorder)
        return;
    recorder->RecordLine(QStringLiteral("MouseCurvedMove Open"));
    if (recorder->RecordMessages())
        recorder->RecordLine(QStringLiteral("Message \"Open Image\""));
    recorder->RecordLine(QStringLiteral("ImageOpen \"%1\", %2, %3")
                             .arg(QFileInfo(fileName).fileName())
                             .arg(view.width())
                             .arg(view.height()));
}

void TKvGraphicsEditorScript::SetMinViewSize(int width, int height)
{
    const TKvGraphicsView* view = m_editor.ActiveView();
    QWidget* window = m_editor.MainWindow();
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

void TKvGraphicsEditorScript::SetMinWindowSize(int width, int height)
{
    QWidget* window = m_editor.MainWindow();
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
