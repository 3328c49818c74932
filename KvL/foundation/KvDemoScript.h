// Demonstration scripts: the ".dsc" file (an ini-like text with the
// sections "Info", "Script" and one section of texts per language), and
// the reading of one script line into its command word and arguments. The
// playback runs the lines of "Script"; the demonstrations window lists the
// scripts by their titles; the demo editor edits and saves them.
//
// Bytes stay as the file holds them and are decoded when read: a script
// with the UTF-8 flag is UTF-8 throughout; otherwise a language section is
// in its language's ANSI code page and every other section in the system's.
#pragma once

#include "KvProperties.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <QtGlobal>

#include <vector>

// The Windows ANSI code page of a language (1252 for English and German,
// 1251 for Russian, ...); 0 for a language that has none.
int AnsiCodePageOfLanguage(quint16 langId);

struct TKvScriptSection {
    QByteArray Name;
    // In file order, trimmed; outside "Script" the blanks around a line's
    // first "=" are removed.
    std::vector<QByteArray> Lines;
};

class TKvDemoScript {
public:
    // Larger files are not read: no script comes near this size.
    static constexpr qint64 MaxFileSize = 16 * 1024 * 1024;
    static constexpr QByteArrayView InfoSection = "Info";
    static constexpr QByteArrayView ScriptSection = "Script";

    // An empty script: the sections "Info" and "Script", without lines.
    TKvDemoScript();

    // Reads the file (opened read-only). A missing, unreadable or oversized
    // file leaves an empty script and returns false.
    bool LoadFromFile(const QString& fileName);
    // Reads a script from the bytes of a file.
    void LoadFromBytes(const QByteArray& bytes);
    // Writes the script whole or not at all; false when it could not be
    // written (the file is then as it was).
    bool SaveToFile(const QString& fileName) const;
    // The bytes SaveToFile writes: a byte order mark when the script is
    // UTF-8, then each section as "[name]" and its lines, CR LF after each.
    QByteArray ToBytes() const;
    // Back to an empty script (also forgets the file name).
    void Clear();

    bool Utf8() const { return m_utf8; }
    QString FileName() const { return m_fileName; }
    void SetFileName(const QString& fileName) { m_fileName = fileName; }

    // Sections in file order; names are compared without regard to case.
    const std::vector<TKvScriptSection>& Sections() const { return m_sections; }
    int IndexOfSection(QByteArrayView name) const;
    // The index of the section of that name, appended when there is none.
    int AddSection(const QByteArray& name);
    void DeleteSection(int index);
    // A section's lines as text, one line each, and their replacement by
    // the lines of a text (trimmed, empty lines dropped).
    QString SectionText(int index) const;
    void SetSectionText(int index, const QString& text);

    // The value of the key in "Info", in the system's code page.
    QString InfoValue(QByteArrayView key) const;
    // The key's value in the section of the current language, else of the
    // default language; empty when neither section exists or the chosen
    // one lacks the key.
    QString LocalizedText(QByteArrayView key) const;
    QString LocalizedText(QByteArrayView key, quint16 currentLanguage, quint16 defaultLanguage) const;
    // The localized "Title", else the "Title" of "Info", else the file's
    // base name.
    QString Title() const;

    // The executable lines: those of "Script".
    int LineCount() const;
    QString Line(int index) const;
    // Inserts a line before index (appends when index is the line count).
    void InsertLine(int index, const QString& line);

private:
    void EnsureStandardSections();
    int ScriptIndex() const;
    int CodePageOf(int sectionIndex) const;
    QString Decode(int sectionIndex, const QByteArray& bytes) const;
    QByteArray Encode(const QString& text);
    void ConvertToUtf8();
    QByteArray Value(int sectionIndex, QByteArrayView key) const;

    std::vector<TKvScriptSection> m_sections;
    bool m_utf8 = false;
    QString m_fileName;
};

// ---------------------------------------------------------------------------
// Script lines

struct TKvScriptLineParts {
    QString Command;   // the command word upper-cased; empty for a comment
    QString Arguments; // the rest of the line
};

// Splits a line at the end of its command word (a blank, a tab or "(",
// which then stays with the arguments). A line whose word is empty or
// starts with "#", "*", "/" or ";" is a comment.
TKvScriptLineParts SplitScriptLine(QStringView line);

// More arguments than any command takes are not read.
constexpr int MaxScriptArguments = 256;

// Reads comma-separated arguments into params (ids 0, 1, 2, ... in order):
// quoted strings (the two characters "\n" become a line break), numbers
// (integers, or doubles when "." or "E" occurs; "." is the decimal
// separator whatever the locale), false (0) and true (-1), and bare words
// as strings. Returns false when a number does not convert (a lone "-",
// "1.2.3", an integer beyond 32 bits); params then hold the arguments
// before it.
bool ParseScriptArguments(QStringView text, TKvCustomProperties& params);
