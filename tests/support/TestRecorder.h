// A script recorder that notes the lines it is given. Header-only.
#pragma once

#include "KvScriptClient.h"

#include <QString>
#include <QStringList>

class TestRecorder : public IKvScriptRecorder {
public:
    void RecordLine(const QString& line) override { Lines << line; }
    bool RecordMessages() const override { return Messages; }
    QString ClickMessage() const override { return QStringLiteral("Click"); }

    QStringList Lines;
    // Whether the recording asks for the captions of what is clicked.
    bool Messages = false;
};
