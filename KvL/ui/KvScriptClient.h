// How demonstration scripts reach the program's components: every component
// that a script can drive answers script commands and target queries
// through IKvScriptClient, and while a script is being recorded it writes the
// lines that describe what the user did to the recorder (the playback, which
// implements IKvScriptRecorder).
#pragma once

#include "KvProperties.h"

#include <QPoint>
#include <QString>

#include <optional>
#include <stdexcept>


// What a component recording the user's actions writes to: the playback of
// the script being recorded.
class IKvScriptRecorder {
public:
    // Inserts the line at the recording position.
    virtual void RecordLine(const QString& line) = 0;
    // Whether a "Message" line is recorded with each recorded click.
    virtual bool RecordMessages() const = 0;
    // The text of those lines ("Click" unless the demo editor sets another).
    virtual QString ClickMessage() const = 0;

protected:
    ~IKvScriptRecorder() = default;
};

// A script line that cannot be carried out; the playback reports the text
// with the line concerned.
class EKvScriptError : public std::runtime_error {
public:
    explicit EKvScriptError(const QString& message) : std::runtime_error(message.toStdString()) {}
    QString Message() const { return QString::fromStdString(what()); }
};

class IKvScriptClient {
public:
    // Carries out the upper-cased command when it is one of the component's
    // own and sets handled. Raises EKvScriptError when the command fails.
    // Parameters are ids 0, 1, 2 ... in order. (The playback and the line's
    // action join the parameters when the playback exists.)
    virtual void ExecuteScriptCommand(const QString& command, bool& handled, const TKvCustomProperties& params) = 0;
    // When the first parameter names one of the component's targets, sets
    // found and the target's point on the screen.
    virtual void GetScriptTarget(const TKvCustomProperties& params, bool& found, QPoint& screenPoint) = 0;
    // Recording started (the recorder is kept until StopRecording) or stopped.
    virtual void StartRecording(IKvScriptRecorder* recorder) = 0;
    virtual void StopRecording() = 0;

protected:
    ~IKvScriptClient() = default;
};

// The parameter at the index as text (numbers in decimal); empty when absent.
QString ScriptParamText(const TKvCustomProperties& params, int index);
// Whether the parameter at the index is a number (integer or double).
bool ScriptParamIsNumber(const TKvCustomProperties& params, int index);
// The parameter at the index as a whole number (a double rounded to
// nearest, ties to even); none when it is not a number or does not fit 32
// bits.
std::optional<qint32> ScriptParamWholeNumber(const TKvCustomProperties& params, int index);
// The same, 0 when there is none.
int ScriptParamInt(const TKvCustomProperties& params, int index);
