// What the command-line front ends share: messages on standard error that
// start with the program's name, whole numbers within a range, options read
// with a message that says what was expected, and pictures added to the
// outputs a run writes all or none, with the resolution they were read with.
#pragma once

#include "KvLTBitmap.h"
#include "KvOutputFiles.h"
#include "KvPictureWriter.h"

#include <QCommandLineParser>
#include <QString>

#include <cstdio>
#include <optional>

inline void ReportError(const char* program, const QString& message)
{
    std::fprintf(stderr, "%s: %s\n", program, qPrintable(message));
}

inline std::optional<int> ParseInt(const QString& text, int lo, int hi)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok && value >= lo && value <= hi ? std::optional<int>(value) : std::nullopt;
}

// Stores the value of option in target when the option is given; false, with
// error saying what is wrong, when the value does not parse.
template <typename T, typename Parse>
bool ReadOption(const QCommandLineParser& parser, const QCommandLineOption& option, Parse parse,
                const char* expected, T& target, QString& error)
{
    if (!parser.isSet(option))
        return true;
    const QString text = parser.value(option);
    const auto value = parse(text);
    if (!value) {
        error = QStringLiteral("--%1 '%2': expected %3").arg(option.names().constFirst(), text, QLatin1String(expected));
        return false;
    }
    target = *value;
    return true;
}

// Adds the picture to the outputs under path, in the format its name's
// extension names (PNG for an unknown one), with the resolution it was read
// with; a JPEG goes straight from the pixels through libjpeg-turbo at the
// quality given. False, with the outputs' Error saying why, when it cannot be.
inline bool AddPicture(TKvOutputFiles& outputs, const QString& path, const TKvLTBitmap& bitmap,
                       const TKvGraphicsDocumentProperties& metadata, int jpegQuality = 90)
{
    QIODevice* file = outputs.Add(path);
    if (!file)
        return false;
    QString error;
    return WritePicture(*file, path, bitmap.Pixels(), metadata, jpegQuality, error) || outputs.Abandon(path, error);
}
