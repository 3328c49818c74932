// `orvane --play SCRIPT [--save-as FILE] [PICTURE]`: the program starts as
// usual on the picture, plays the demonstration script from its first line
// once the main window is up, and closes when the script ends, asking
// nothing on the way out. With --save-as, a script that ran to its end is
// followed by saving the picture as FILE (its format from the extension, no
// dialog). The exit status says how it went; nothing is written unless it
// is 0, and a run does not change the user's settings. For testing, for
// unattended presentations, and for repeating a recorded series of edits
// on another picture.
#pragma once

#include "KvDemoScript.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class TKvDemonstrationModule;
class TKvGraphicsEditor;

struct TPlayOptions {
    QString Script;
    QString SaveAs; // empty: nothing is saved
    QString Picture; // empty: none is opened
};

enum TPlayStatus : int {
    PlayCompleted = 0,   // the script ran to its end (and the save succeeded)
    PlayUsageError = 2,  // the command line or the script file is wrong
    PlayLineFailed = 3,  // a line raised an error
    PlayStopped = 4,     // the user stopped the script
    PlaySaveFailed = 5,  // the picture could not be saved
};

// Reads the play options of a command line (the program's name first).
// None without --play; with a malformed one, none and the error's text.
std::optional<TPlayOptions> ParsePlayArguments(const QStringList& arguments, QString& error);

class TPlayRun : public QObject {
    Q_OBJECT
public:
    // Prepares a run: reads the script and checks the format to save in;
    // none and the error's text when either is wrong. The editor then
    // opens the picture at start, and the script starts once the main loop
    // runs. The exit status is PlayStopped until the run ends otherwise
    // (closing the window stops it).
    static std::unique_ptr<TPlayRun> Create(const TPlayOptions& options, TKvGraphicsEditor& editor,
                                            TKvDemonstrationModule& demonstrations, QString& error);

    int Status() const { return m_status; }
    // The format key the file name's extension chooses; none when the
    // editor does not save such files.
    static std::optional<int> SaveFormatOf(const QString& fileName, TKvGraphicsEditor& editor);

private:
    TPlayRun(const TPlayOptions& options, const TKvDemoScript& script, TKvGraphicsEditor& editor,
             TKvDemonstrationModule& demonstrations);
    void Begin();
    void ScriptFinished();
    void LineFailed(const QString& message, const QString& line);
    void ScriptStopped();
    int SaveResult();
    void End(int status);
    void DropUnsavedChanges();

    TPlayOptions m_options;
    TKvDemoScript m_script;
    TKvGraphicsEditor& m_editor;
    TKvDemonstrationModule& m_demonstrations;
    int m_status = PlayStopped;
    bool m_failed = false;
    bool m_ended = false;
};

// Prints a message of the run on standard error.
void PrintPlayMessage(const QString& message);
