#include "KvDemoScript.h"

#include "KvLanguageFile.h"
#include "KvLocalizer.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>

// ---------------------------------------------------------------------------
// Code pages

namespace {

struct LanguageCodePage {
    quint16 Language; // a primary language id, or a full language id
    quint16 CodePage;
};

// Languages whose regional variants differ in script come first, by full
// language id; then every other language by its primary id.
constexpr LanguageCodePage RegionalCodePages[] = {
    {0x0404, 950},  {0x0C04, 950},  {0x1404, 950},  // Chinese: Taiwan, Hong Kong, Macao
    {0x0C1A, 1251}, {0x201A, 1251}, {0x1C1A, 1251}, // Serbian and Bosnian in Cyrillic
    {0x082C, 1251},                                 // Azeri in Cyrillic
    {0x0843, 1251},                                 // Uzbek in Cyrillic
};

constexpr LanguageCodePage PrimaryCodePages[] = {
    {0x01, 1256}, {0x02, 1251}, {0x03, 1252}, {0x04, 936},  {0x05, 1250}, {0x06, 1252}, {0x07, 1252},
    {0x08, 1253}, {0x09, 1252}, {0x0A, 1252}, {0x0B, 1252}, {0x0C, 1252}, {0x0D, 1255}, {0x0E, 1250},
    {0x0F, 1252}, {0x10, 1252}, {0x11, 932},  {0x12, 949},  {0x13, 1252}, {0x14, 1252}, {0x15, 1250},
    {0x16, 1252}, {0x18, 1250}, {0x19, 1251}, {0x1A, 1250}, {0x1B, 1250}, {0x1C, 1250}, {0x1D, 1252},
    {0x1E, 874},  {0x1F, 1254}, {0x20, 1256}, {0x21, 1252}, {0x22, 1251}, {0x23, 1251}, {0x24, 1250},
    {0x25, 1257}, {0x26, 1257}, {0x27, 1257}, {0x29, 1256}, {0x2A, 1258}, {0x2C, 1254}, {0x2D, 1252},
    {0x2F, 1251}, {0x36, 1252}, {0x38, 1252}, {0x3E, 1252}, {0x3F, 1251}, {0x40, 1251}, {0x41, 1252},
    {0x43, 1254}, {0x44, 1251}, {0x50, 1251}, {0x56, 1252},
};

int SystemCodePage()
{
    const int codePage = AnsiCodePageOfLanguage(TKvLocalizer::SystemLangId());
    return codePage != 0 ? codePage : 1252;
}

} // namespace

int AnsiCodePageOfLanguage(quint16 langId)
{
    for (const LanguageCodePage& regional : RegionalCodePages)
        if (regional.Language == langId)
            return regional.CodePage;
    for (const LanguageCodePage& primary : PrimaryCodePages)
        if (primary.Language == (langId & 0x3FF))
            return primary.CodePage;
    return 0;
}

// ---------------------------------------------------------------------------
// Script file

namespace {

const QByteArray ByteOrderMark = "\xEF\xBB\xBF";

bool SameName(QByteArrayView a, QByteArrayView b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool IsAscii(QStringView text)
{
    for (QChar c : text)
        if (c.unicode() >= 0x80)
            return false;
    return true;
}

bool IsAscii(QByteArrayView bytes)
{
    for (char c : bytes)
        if (static_cast<uchar>(c) >= 0x80)
            return false;
    return true;
}

// A line as a section keeps it: outside "Script" the blanks around the
// first "=" go, as in every ini file; a command line stays as written, so
// that a text in it keeps its blanks.
QByteArray StoredLine(const QByteArray& trimmedLine, QByteArrayView sectionName)
{
    const qsizetype equals = trimmedLine.indexOf('=');
    if (equals < 0 || SameName(sectionName, TKvDemoScript::ScriptSection))
        return trimmedLine;
    return trimmedLine.first(equals).trimmed() + '=' + trimmedLine.sliced(equals + 1).trimmed();
}

// A file without a byte order mark is UTF-8 when its bytes are valid UTF-8
// and not plain ASCII (which reads the same in every code page).
bool LooksLikeUtf8(const QByteArray& bytes)
{
    return !IsAscii(bytes) && !DecodeUtf8(bytes).isEmpty();
}

} // namespace

TKvDemoScript::TKvDemoScript()
{
    EnsureStandardSections();
}

void TKvDemoScript::EnsureStandardSections()
{
    AddSection(InfoSection.toByteArray());
    AddSection(ScriptSection.toByteArray());
}

bool TKvDemoScript::LoadFromFile(const QString& fileName)
{
    Clear();
    // Only regular files: opening a pipe would wait for a writer.
    QFile file(fileName);
    if (!QFileInfo(fileName).isFile() || !file.open(QIODevice::ReadOnly) || file.size() > MaxFileSize)
        return false;
    const QByteArray bytes = file.read(MaxFileSize + 1);
    if (bytes.size() > MaxFileSize)
        return false;
    LoadFromBytes(bytes);
    m_fileName = fileName;
    return true;
}

void TKvDemoScript::LoadFromBytes(const QByteArray& bytes)
{
    Clear();
    QByteArray text = bytes;
    if (text.startsWith(ByteOrderMark)) {
        text.remove(0, ByteOrderMark.size());
        m_utf8 = true;
    } else {
        m_utf8 = LooksLikeUtf8(text);
    }
    m_sections.clear();
    TKvMemIniFile ini;
    ini.SetText(text);
    for (const QByteArray& name : ini.SectionNames()) {
        TKvScriptSection section{name, {}};
        for (const TKvMemIniFile::Line& line : ini.SectionLines(name))
            section.Lines.push_back(StoredLine(line.Text, name));
        m_sections.push_back(std::move(section));
    }
    EnsureStandardSections();
}

QByteArray TKvDemoScript::ToBytes() const
{
    QByteArray bytes = m_utf8 ? ByteOrderMark : QByteArray();
    for (const TKvScriptSection& section : m_sections) {
        bytes += '[' + section.Name + "]\r\n";
        for (const QByteArray& line : section.Lines)
            bytes += line + "\r\n";
    }
    return bytes;
}

bool TKvDemoScript::SaveToFile(const QString& fileName) const
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(ToBytes());
    return file.commit();
}

void TKvDemoScript::Clear()
{
    m_sections.clear();
    m_utf8 = false;
    m_fileName.clear();
    EnsureStandardSections();
}

int TKvDemoScript::IndexOfSection(QByteArrayView name) const
{
    for (size_t i = 0; i < m_sections.size(); ++i)
        if (SameName(m_sections[i].Name, name))
            return int(i);
    return -1;
}

int TKvDemoScript::AddSection(const QByteArray& name)
{
    const int existing = IndexOfSection(name);
    if (existing >= 0)
        return existing;
    m_sections.push_back({name, {}});
    return int(m_sections.size()) - 1;
}

void TKvDemoScript::DeleteSection(int index)
{
    if (index >= 0 && index < int(m_sections.size()))
        m_sections.erase(m_sections.begin() + index);
}

// A language section is in its language's code page; every other section,
// like the file as a whole, in the system's.
int TKvDemoScript::CodePageOf(int sectionIndex) const
{
    const std::optional<qint32> langId = ParseInteger(m_sections[size_t(sectionIndex)].Name);
    const int codePage = langId && *langId > 0 && *langId <= 0xFFFF ? AnsiCodePageOfLanguage(quint16(*langId)) : 0;
    return codePage != 0 ? codePage : SystemCodePage();
}

QString TKvDemoScript::Decode(int sectionIndex, const QByteArray& bytes) const
{
    if (m_utf8 || IsAscii(bytes))
        return QString::fromUtf8(bytes);
    if (const std::optional<QByteArray> utf8 = CodePageToUtf8(bytes, CodePageOf(sectionIndex)))
        return QString::fromUtf8(*utf8);
    return QString::fromLatin1(bytes);
}

// Text that a code page may not hold turns the whole script into UTF-8,
// so that nothing is lost.
QByteArray TKvDemoScript::Encode(const QString& text)
{
    if (!m_utf8 && !IsAscii(text))
        ConvertToUtf8();
    return text.toUtf8();
}

void TKvDemoScript::ConvertToUtf8()
{
    for (size_t i = 0; i < m_sections.size(); ++i)
        for (QByteArray& line : m_sections[i].Lines)
            line = Decode(int(i), line).toUtf8();
    m_utf8 = true;
}

QString TKvDemoScript::SectionText(int index) const
{
    if (index < 0 || index >= int(m_sections.size()))
        return {};
    QString text;
    for (const QByteArray& line : m_sections[size_t(index)].Lines)
        text += Decode(index, line) + QLatin1Char('\n');
    return text;
}

void TKvDemoScript::SetSectionText(int index, const QString& text)
{
    if (index < 0 || index >= int(m_sections.size()))
        return;
    const QByteArray encoded = Encode(text);
    TKvScriptSection& section = m_sections[size_t(index)];
    section.Lines.clear();
    for (const QByteArray& rawLine : encoded.split('\n')) {
        const QByteArray line = rawLine.trimmed();
        if (!line.isEmpty() && !line.startsWith(';'))
            section.Lines.push_back(StoredLine(line, section.Name));
    }
}

QByteArray TKvDemoScript::Value(int sectionIndex, QByteArrayView key) const
{
    if (sectionIndex < 0)
        return {};
    for (const QByteArray& line : m_sections[size_t(sectionIndex)].Lines) {
        const qsizetype equals = line.indexOf('=');
        if (equals >= 0 && SameName(QByteArrayView(line).first(equals), key))
            return line.sliced(equals + 1);
    }
    return {};
}

QString TKvDemoScript::InfoValue(QByteArrayView key) const
{
    const int info = IndexOfSection(InfoSection);
    return info < 0 ? QString() : Decode(info, Value(info, key));
}

QString TKvDemoScript::LocalizedText(QByteArrayView key) const
{
    return LocalizedText(key, CurrentLanguage(), DefaultLanguage());
}

QString TKvDemoScript::LocalizedText(QByteArrayView key, quint16 currentLanguage, quint16 defaultLanguage) const
{
    int section = IndexOfSection(QByteArray::number(currentLanguage));
    if (section < 0)
        section = IndexOfSection(QByteArray::number(defaultLanguage));
    return section < 0 ? QString() : Decode(section, Value(section, key));
}

QString TKvDemoScript::Title() const
{
    QString title = LocalizedText("Title");
    if (title.isEmpty())
        title = InfoValue("Title");
    if (title.isEmpty())
        title = QFileInfo(m_fileName).completeBaseName();
    return title;
}

int TKvDemoScript::ScriptIndex() const
{
    return IndexOfSection(ScriptSection);
}

int TKvDemoScript::LineCount() const
{
    const int script = ScriptIndex();
    return script < 0 ? 0 : int(m_sections[size_t(script)].Lines.size());
}

QString TKvDemoScript::Line(int index) const
{
    if (index < 0 || index >= LineCount())
        return {};
    const int script = ScriptIndex();
    return Decode(script, m_sections[size_t(script)].Lines[size_t(index)]);
}

void TKvDemoScript::InsertLine(int index, const QString& line)
{
    const int script = AddSection(ScriptSection.toByteArray());
    const QByteArray encoded = Encode(line);
    std::vector<QByteArray>& lines = m_sections[size_t(script)].Lines;
    index = std::clamp(index, 0, int(lines.size()));
    lines.insert(lines.begin() + index, encoded);
}

// ---------------------------------------------------------------------------
// Script lines

namespace {

bool IsBlankOrTab(QChar c)
{
    return c == u' ' || c == u'\t';
}

bool IsSpace(QChar c)
{
    return IsBlankOrTab(c) || c == u'\r' || c == u'\n';
}

bool IsNumberChar(QChar c)
{
    return (c >= u'0' && c <= u'9') || c == u'+' || c == u'-' || c == u'.' || c == u'E';
}

bool StartsNumber(QChar c)
{
    return (c >= u'0' && c <= u'9') || c == u'+' || c == u'-';
}

qsizetype SkipSpaces(QStringView text, qsizetype at)
{
    while (at < text.size() && IsSpace(text[at]))
        ++at;
    return at;
}

// A token of the characters + - . 0-9 E: an integer that fits 32 bits, or
// a finite double when it holds "." or "E". False when it is neither.
bool StoreNumber(QStringView token, int id, TKvCustomProperties& params)
{
    const QByteArray latin = token.toLatin1();
    if (!latin.contains('.') && !latin.contains('E')) {
        const std::optional<qint32> value = ParseInteger(latin);
        if (value)
            params.SetInteger(id, *value);
        return value.has_value();
    }
    const char* begin = latin.constData();
    const char* end = begin + latin.size();
    // from_chars takes a minus sign but not a plus sign.
    if (begin != end && *begin == '+') {
        ++begin;
        if (begin != end && (*begin == '+' || *begin == '-'))
            return false;
    }
    double value = 0;
    const auto [stop, error] = std::from_chars(begin, end, value);
    if (error != std::errc() || stop != end || !std::isfinite(value))
        return false;
    params.SetDouble(id, value);
    return true;
}

} // namespace

TKvScriptLineParts SplitScriptLine(QStringView line)
{
    qsizetype at = 0;
    while (at < line.size() && IsBlankOrTab(line[at]))
        ++at;
    const qsizetype wordStart = at;
    while (at < line.size() && !IsBlankOrTab(line[at]) && line[at] != u'(')
        ++at;
    const QStringView word = line.sliced(wordStart, at - wordStart);
    while (at < line.size() && IsBlankOrTab(line[at]))
        ++at;
    if (word.isEmpty() || QStringView(u"#*/;").contains(word.front()))
        return {};
    return {word.toString().toUpper(), line.sliced(at).toString()};
}

bool ParseScriptArguments(QStringView text, TKvCustomProperties& params)
{
    text = text.trimmed();
    qsizetype at = 0;
    for (int id = 0; id < MaxScriptArguments; ++id) {
        at = SkipSpaces(text, at);
        if (at >= text.size())
            break;
        const QChar first = text[at];
        if (first == u'"' || first == u'\'') {
            qsizetype close = text.indexOf(first, at + 1);
            if (close < 0)
                close = text.size();
            QString value = text.sliced(at + 1, close - at - 1).toString();
            value.replace(QStringLiteral("\\n"), QStringLiteral("\n"));
            params.SetString(id, value.toUtf8());
            at = close + 1;
        } else if (StartsNumber(first)) {
            qsizetype end = at;
            while (end < text.size() && IsNumberChar(text[end]))
                ++end;
            if (!StoreNumber(text.sliced(at, end - at), id, params))
                return false;
            at = end;
        } else if (text.sliced(at).startsWith(u"false")) {
            params.SetInteger(id, 0);
            at += 5;
        } else if (text.sliced(at).startsWith(u"true")) {
            params.SetInteger(id, -1);
            at += 4;
        } else {
            qsizetype end = at;
            while (end < text.size() && !IsSpace(text[end]) && text[end] != u',')
                ++end;
            params.SetString(id, text.sliced(at, end - at).toString().toUtf8());
            at = end;
        }
        at = SkipSpaces(text, std::min(at, text.size()));
        if (at >= text.size() || text[at] != u',')
            break;
        ++at;
    }
    return true;
}
