// The graphics editor's plug-in mode: started by a host program on an
// exchange file, the editor edits that one picture and reports OK (the file
// written back, exit code 0) or Cancel (the file untouched, exit code -1).
// Entering it captions the program as a plug-in, hides the folder stepping
// and the File menu and adds the OK and Cancel buttons. The graphics editor
// owns one and hands it its OK and Cancel clicks.
#pragma once

class TKvDocument;
class TKvGraphicsEditor;

class TKvPluginMode {
public:
    explicit TKvPluginMode(TKvGraphicsEditor& editor) : m_editor(editor) {}

    // The caption, the hidden items and the two buttons (the editor's
    // OkButton and CancelButton).
    void Enter();
    // Saves the exchange file and sets the exit code to 0; says so when
    // that failed.
    bool Save(TKvDocument* document);
    // OK writes the picture back and closes the main window; a failed
    // write keeps it open.
    void Ok();
    // Cancel leaves the exchange file as it was and closes the main window.
    void Cancel();

private:
    TKvGraphicsEditor& m_editor;
};
