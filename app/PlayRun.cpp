#include "PlayRun.h"

#include "KvDemonstration.h"
#include "KvFileFormats.h"
#include "KvForms.h"
#include "KvGraphicsEditor.h"
#include "KvLocalizer.h"

#include <QDir>
#include <QFileInfo>
#include <QMainWindow>
#include <QTimer>

#include <cstdio>

namespace {

// Pictures written from pixels as JPEG get this quality, without a dialog.
constexpr int PlayJpegQuality = 90;

QString Usage()
{
    return LocalStr(3104, QStringLiteral("Usage: orvane [PICTURE] or orvane --play SCRIPT [--save-as FILE] [PICTURE]"));
}

} // namespace

void PrintPlayMessage(const QString& message)
{
    std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
    std::fflush(stderr);
}

std::optional<TPlayOptions> ParsePlayArguments(const QStringList& arguments, QString& error)
{
    error.clear();
    if (!arguments.contains(QStringLiteral("--play")))
        return std::nullopt;
    TPlayOptions options;
    bool scriptGiven = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        const bool hasValue = i + 1 < arguments.size();
        if (argument == QLatin1String("--play") && !scriptGiven && hasValue) {
            options.Script = arguments[++i];
            scriptGiven = true;
        } else if (argument == QLatin1String("--save-as") && options.SaveAs.isEmpty() && hasValue) {
            options.SaveAs = arguments[++i];
        } else if (!argument.startsWith(QLatin1String("--")) && options.Picture.isEmpty() && !argument.isEmpty()) {
            options.Picture = argument;
        } else {
            error = Usage();
            return std::nullopt;
        }
    }
    if (options.SaveAs.isEmpty() && arguments.contains(QStringLiteral("--save-as"))) {
        error = Usage();
        return std::nullopt;
    }
    return options;
}

std::optional<int> TPlayRun::SaveFormatOf(const QString& fileName, TKvGraphicsEditor& editor)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix.isEmpty())
        return std::nullopt;
    TKvFileFormatList formats;
    editor.GraphicsFormats().SaveFormats(formats);
    for (const TKvFileFormatInfo& format : formats)
        for (const QString& pattern : format.Patterns.split(QLatin1Char(';')))
            if (pattern.trimmed().toLower() == QStringLiteral("*.") + suffix)
                return format.Key;
    return std::nullopt;
}

std::unique_ptr<TPlayRun> TPlayRun::Create(const TPlayOptions& options, TKvGraphicsEditor& editor,
                                           TKvDemonstrationModule& demonstrations, QString& error)
{
    TKvDemoScript script;
    if (!script.LoadFromFile(options.Script)) {
        error = LocalFormat(3105, {QDir::toNativeSeparators(options.Script)},
                            QStringLiteral("Cannot read the demonstration script %s."));
        return nullptr;
    }
    if (!options.SaveAs.isEmpty() && !SaveFormatOf(options.SaveAs, editor)) {
        error = LocalFormat(3106, {QDir::toNativeSeparators(options.SaveAs)},
                            QStringLiteral("Cannot save %s: its extension names no picture format this program "
                                           "writes."));
        return nullptr;
    }
    return std::unique_ptr<TPlayRun>(new TPlayRun(options, script, editor, demonstrations));
}

TPlayRun::TPlayRun(const TPlayOptions& options, const TKvDemoScript& script, TKvGraphicsEditor& editor,
                   TKvDemonstrationModule& demonstrations)
    : m_options(options), m_script(script), m_editor(editor), m_demonstrations(demonstrations)
{
    m_editor.CommandLineFile = options.Picture;
    m_demonstrations.SetCommandLineRun();
    if (KvApplication) {
        KvApplication->SetExitCode(PlayStopped);
        KvApplication->SetSaveSettingsOnExit(false);
        KvApplication->SetUnattended(true);
    }
    // The first timer event comes once the main loop runs, after the main
    // window was shown.
    QTimer::singleShot(0, this, &TPlayRun::Begin);
}

void TPlayRun::Begin()
{
    DropUnsavedChanges();
    TKvDemoPlayback& playback = m_demonstrations.Playback();
    playback.OnError = [this](const QString& message, bool& stop, const QString& line) {
        stop = true;
        LineFailed(message, line);
    };
    playback.OnFinished = [this] { QTimer::singleShot(0, this, &TPlayRun::ScriptFinished); };
    playback.OnStopped = [this] { QTimer::singleShot(0, this, &TPlayRun::ScriptStopped); };
    // Whoever presses Escape is there to answer whether to stop.
    playback.OnQueryStop = [ask = playback.OnQueryStop](bool& stop) {
        KvApplication->SetUnattended(false);
        if (ask)
            ask(stop);
        KvApplication->SetUnattended(true);
    };
    if (!m_demonstrations.PlayScript(m_script))
        End(PlayStopped);
}

void TPlayRun::LineFailed(const QString& message, const QString& line)
{
    m_failed = true;
    const int number = m_demonstrations.Playback().CurrentLine() + 1;
    PrintPlayMessage(LocalFormat(3107, {QString::number(number), line, message},
                                 QStringLiteral("Line %s of the script, %s: %s")));
    QTimer::singleShot(0, this, [this] { End(PlayLineFailed); });
}

void TPlayRun::ScriptStopped()
{
    if (!m_failed)
        End(PlayStopped);
}

void TPlayRun::ScriptFinished()
{
    End(SaveResult());
}

int TPlayRun::SaveResult()
{
    if (m_options.SaveAs.isEmpty())
        return PlayCompleted;
    TKvDocument* document = m_editor.ActiveDocument();
    if (!document) {
        PrintPlayMessage(LocalStr(3108, QStringLiteral("There is no picture to save.")));
        return PlaySaveFailed;
    }
    m_editor.GraphicsFormats().SetJpegOptionsDialog([](int) { return std::optional<int>(PlayJpegQuality); });
    if (!document->SaveToFile(m_options.SaveAs, *SaveFormatOf(m_options.SaveAs, m_editor))) {
        PrintPlayMessage(LocalFormat(1031, {QDir::toNativeSeparators(m_options.SaveAs)}));
        return PlaySaveFailed;
    }
    return PlayCompleted;
}

// The open picture is dropped without a question, and the window closes,
// which ends the main loop.
void TPlayRun::End(int status)
{
    if (m_ended)
        return;
    m_ended = true;
    m_status = status;
    if (KvApplication)
        KvApplication->SetExitCode(status);
    DropUnsavedChanges();
    if (QMainWindow* window = m_editor.MainWindow())
        window->close();
}

void TPlayRun::DropUnsavedChanges()
{
    if (TKvDocument* document = m_editor.ActiveDocument())
        document->SetNoSavePrompt(true);
}
