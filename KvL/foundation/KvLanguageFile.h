// Reading the program's text files: an in-memory ini file, the encoding
// rules of language files (UTF-8 with or without byte order mark, or a
// Windows code page named by a "CodePage=" line), and the whole-number
// syntax those files use.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QtGlobal>

#include <optional>
#include <vector>

// The whole-number syntax of the program's text files: an optional sign,
// then decimal digits, or hexadecimal digits after "$" or "0x". Decimal
// numbers must fit 32 bits; up to eight hexadecimal digits are read as a
// 32-bit pattern ("$FFFFFFFF" is -1). Nothing else may follow.
std::optional<qint32> ParseInteger(QByteArrayView text);

// UTF-8 bytes as text; bytes that are not valid UTF-8 give an empty text.
QString DecodeUtf8(QByteArrayView utf8);

// Converts bytes in a Windows code page (1251, 1252, 932, ...) to UTF-8;
// nothing when the code page is unknown here. Bytes the code page does not
// define become U+FFFD.
std::optional<QByteArray> CodePageToUtf8(const QByteArray& bytes, int codePage);

// An ini file held in memory, over UTF-8 text. Lines are trimmed; empty
// lines and lines starting with ";" are dropped; "[name]" starts a section
// (a section named twice continues the first); in other lines the blanks
// around the first "=" are removed. Section and key names are compared
// without regard to case (ASCII). Lines before the first section are
// ignored.
class TKvMemIniFile {
public:
    struct Line {
        QByteArray Text;   // the whole trimmed line
        QByteArray Name;   // before the first "=" (empty without one)
        QByteArray Value;  // after it
        bool HasValue = false;
    };

    void SetText(const QByteArray& utf8);
    void Clear() { m_sections.clear(); }

    bool SectionExists(QByteArrayView section) const;
    // The names of the sections, in file order.
    QList<QByteArray> SectionNames() const;
    // The lines of a section in file order; empty when it does not exist.
    const std::vector<Line>& SectionLines(QByteArrayView section) const;
    // The value of the first line with this name.
    QByteArray ReadString(QByteArrayView section, QByteArrayView key, const QByteArray& defaultValue = {}) const;
    qint32 ReadInteger(QByteArrayView section, QByteArrayView key, qint32 defaultValue) const;

private:
    struct Section {
        QByteArray Name;
        std::vector<Line> Lines;
    };
    qsizetype IndexOfSection(QByteArrayView name) const;
    const Section* FindSection(QByteArrayView name) const;

    std::vector<Section> m_sections;
};

// A language file: section "Language" with LangId (the Windows language
// id), Language (the display name) and optionally CodePage; section
// "Strings" with id=text lines.
class TKvLanguageFile : public TKvMemIniFile {
public:
    // Larger files are not read: no language file comes near this size.
    static constexpr qint64 MaxFileSize = 16 * 1024 * 1024;

    TKvLanguageFile() = default;
    // A missing, unreadable or oversized file gives an empty ini.
    explicit TKvLanguageFile(const QString& path);

    // Applies the encoding rules to the raw bytes, then parses them.
    void LoadFromBytes(const QByteArray& raw);

    // The file's LangId; 0 when it is not a language file (LangId missing,
    // not a number, or outside 1..65535).
    quint16 LangId() const;
    QString LanguageName() const;

    // The raw bytes as UTF-8, following the encoding rules.
    static QByteArray DecodeBytes(const QByteArray& raw);
};
