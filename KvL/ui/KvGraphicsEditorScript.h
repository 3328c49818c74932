// What demonstration scripts ask of the graphics editor: the commands
// IMAGEOPEN, ZOOMIN, ZOOMOUT, ACTUALSIZE, BESTFIT, NEXTIMAGE, PREVIMAGE,
// SETMINWINDOWSIZE and SETMINVIEWSIZE, the targets OPEN, OPENBUTTON, the
// four zoom buttons, the folder's NEXTIMAGE and PREVIMAGE and IMAGE (a
// picture point), the lines recorded for the editor's commands
// while a script is being recorded, and the sizing of the main window the
// size commands need. The graphics editor owns one and passes on to it.
#pragma once

#include <QString>

class QPoint;
class QWidget;
class TKvCustomProperties;
class TKvGraphicsEditor;
class TKvGraphicsView;

class TKvGraphicsEditorScript {
public:
    explicit TKvGraphicsEditorScript(TKvGraphicsEditor& editor) : m_editor(editor) {}

    // Runs a command of the graphics editor; false for any other command.
    bool Execute(const QString& command, const TKvCustomProperties& params);
    // Finds a target of the graphics editor; false for any other name.
    bool FindTarget(const TKvCustomProperties& params, bool& found, QPoint& screenPoint);

    // While a script is recorded: "MouseCurvedMove <name>", the message
    // line when asked for, "<name>".
    void RecordCommand(const QString& name, const QString& message);
    // While a script is recorded: the lines of a picture opened in the view.
    void RecordOpen(const QString& fileName, const TKvGraphicsView& view);

    // The main window grows so that the view is at least this large, and
    // is fitted into the screen's work area.
    void SetMinViewSize(int width, int height);
    // The main window becomes at least this large, centred in the work area
    // on an axis where it grows.
    void SetMinWindowSize(int width, int height);

private:
    QString ScriptFile(const QString& name) const;

    TKvGraphicsEditor& m_editor;
};
