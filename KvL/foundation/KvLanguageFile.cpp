#include "KvLanguageFile.h"

#include <QFile>
#include <QStringDecoder>

#include <cerrno>
#include <iconv.h>
#include <memory>

namespace {

bool IsBlank(char c)
{
    return static_cast<uchar>(c) <= ' ';
}

QByteArrayView Trimmed(QByteArrayView text)
{
    qsizetype begin = 0, end = text.size();
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin);
}

bool SameName(QByteArrayView a, QByteArrayView b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// Splits at CR, LF and CR LF.
std::vector<QByteArrayView> SplitLines(QByteArrayView text)
{
    std::vector<QByteArrayView> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n')
            continue;
        lines.push_back(text.sliced(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        lines.push_back(text.sliced(start));
    return lines;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The code page named by the first raw line whose name (the text before its
// first "=", untrimmed) is "CodePage"; 0 when there is none.
int DeclaredCodePage(const QByteArray& raw)
{
    for (QByteArrayView line : SplitLines(raw)) {
        const qsizetype equals = line.indexOf('=');
        if (equals >= 0 && SameName(line.first(equals), "CodePage"))
            return ParseInteger(Trimmed(line.sliced(equals + 1))).value_or(0);
    }
    return 0;
}

QByteArray IconvName(int codePage)
{
    switch (codePage) {
    case 65001: return "UTF-8";
    case 20127: return "ASCII";
    case 20866: return "KOI8-R";
    case 21866: return "KOI8-U";
    case 28603: return "ISO-8859-13";
    case 28605: return "ISO-8859-15";
    default: break;
    }
    if (codePage >= 28591 && codePage <= 28599)
        return "ISO-8859-" + QByteArray::number(codePage - 28590);
    if (codePage > 0 && codePage <= 65535)
        return "CP" + QByteArray::number(codePage);
    return {};
}

struct IconvClose {
    void operator()(void* handle) const { iconv_close(static_cast<iconv_t>(handle)); }
};

} // namespace

std::optional<qint32> ParseInteger(QByteArrayView text)
{
    bool negative = false;
    if (!text.isEmpty() && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        text = text.sliced(1);
    }
    quint32 magnitude = 0;
    if (text.startsWith('$') || text.startsWith("0x") || text.startsWith("0X")) {
        text = text.sliced(text[0] == '$' ? 1 : 2);
        if (text.isEmpty() || text.size() > 8)
            return std::nullopt;
        for (char c : text) {
            const int digit = HexDigit(c);
            if (digit < 0)
                return std::nullopt;
            magnitude = magnitude * 16 + quint32(digit);
        }
    } else {
        if (text.isEmpty())
            return std::nullopt;
        const quint64 limit = negative ? 0x80000000u : 0x7FFFFFFFu;
        quint64 value = 0;
        for (char c : text) {
            if (c < '0' || c > '9')
                return std::nullopt;
            value = value * 10 + quint64(c - '0');
            if (value > limit)
                return std::nullopt;
        }
        magnitude = quint32(value);
    }
    return static_cast<qint32>(negative ? 0u - magnitude : magnitude);
}

QString DecodeUtf8(QByteArrayView utf8)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(utf8);
    return decoder.hasError() ? QString() : text;
}

std::optional<QByteArray> CodePageToUtf8(const QByteArray& bytes, int codePage)
{
    const QByteArray name = IconvName(codePage);
    if (name.isEmpty())
        return std::nullopt;
    iconv_t opened = iconv_open("UTF-8", name.constData());
    if (opened == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;
    std::unique_ptr<void, IconvClose> handle(opened);

    static const QByteArray replacement = "\xEF\xBF\xBD"; // U+FFFD
    QByteArray out;
    out.reserve(bytes.size() * 3 + 16);
    char buffer[4096];
    char* in = const_cast<char*>(bytes.constData());
    size_t inLeft = static_cast<size_t>(bytes.size());
    while (inLeft > 0) {
        char* outPtr = buffer;
        size_t outLeft = sizeof buffer;
        const size_t result = iconv(opened, &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer, outPtr - buffer);
        if (result != size_t(-1) || errno == E2BIG)
            continue;
        // An undefined or incomplete sequence: mark it and go on.
        out.append(replacement);
        ++in;
        --inLeft;
        iconv(opened, nullptr, nullptr, nullptr, nullptr);
    }
    return out;
}

// ---------------------------------------------------------------------------
// In-memory ini file

void TKvMemIniFile::SetText(const QByteArray& utf8)
{
    m_sections.clear();
    qsizetype current = -1;
    for (QByteArrayView rawLine : SplitLines(utf8)) {
        const QByteArrayView line = Trimmed(rawLine);
        if (line.isEmpty() || line[0] == ';')
            continue;
        if (line[0] == '[' && line.size() >= 2 && line.back() == ']') {
            const QByteArrayView name = Trimmed(line.sliced(1, line.size() - 2));
            current = IndexOfSection(name);
            if (current < 0) {
                m_sections.push_back({name.toByteArray(), {}});
                current = qsizetype(m_sections.size()) - 1;
            }
            continue;
        }
        if (current < 0)
            continue;
        Line entry;
        entry.Text = line.toByteArray();
        const qsizetype equals = line.indexOf('=');
        if (equals >= 0) {
            entry.Name = Trimmed(line.first(equals)).toByteArray();
            entry.Value = Trimmed(line.sliced(equals + 1)).toByteArray();
            entry.HasValue = true;
        }
        m_sections[size_t(current)].Lines.push_back(std::move(entry));
    }
}

qsizetype TKvMemIniFile::IndexOfSection(QByteArrayView name) const
{
    for (size_t i = 0; i < m_sections.size(); ++i)
        if (SameName(m_sections[i].Name, name))
            return qsizetype(i);
    return -1;
}

const TKvMemIniFile::Section* TKvMemIniFile::FindSection(QByteArrayView name) const
{
    const qsizetype index = IndexOfSection(name);
    return index < 0 ? nullptr : &m_sections[size_t(index)];
}

bool TKvMemIniFile::SectionExists(QByteArrayView section) const
{
    return FindSection(section) != nullptr;
}

QList<QByteArray> TKvMemIniFile::SectionNames() const
{
    QList<QByteArray> names;
    for (const Section& section : m_sections)
        names.append(section.Name);
    return names;
}

const std::vector<TKvMemIniFile::Line>& TKvMemIniFile::SectionLines(QByteArrayView section) const
{
    static const std::vector<Line> none;
    const Section* found = FindSection(section);
    return found ? found->Lines : none;
}

QByteArray TKvMemIniFile::ReadString(QByteArrayView section, QByteArrayView key,
                                     const QByteArray& defaultValue) const
{
    for (const Line& line : SectionLines(section))
        if (line.HasValue && SameName(line.Name, key))
            return line.Value;
    return defaultValue;
}

qint32 TKvMemIniFile::ReadInteger(QByteArrayView section, QByteArrayView key, qint32 defaultValue) const
{
    return ParseInteger(ReadString(section, key)).value_or(defaultValue);
}

// ---------------------------------------------------------------------------
// Language file

TKvLanguageFile::TKvLanguageFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > MaxFileSize)
        return;
    LoadFromBytes(file.read(MaxFileSize));
}

void TKvLanguageFile::LoadFromBytes(const QByteArray& raw)
{
    SetText(DecodeBytes(raw));
}

QByteArray TKvLanguageFile::DecodeBytes(const QByteArray& raw)
{
    static const QByteArray byteOrderMark = "\xEF\xBB\xBF";
    if (raw.startsWith(byteOrderMark))
        return raw.sliced(byteOrderMark.size());
    const int codePage = DeclaredCodePage(raw);
    if (codePage != 0) {
        // An unknown code page leaves the bytes as they are: ASCII parts
        // (ids, LangId) still work, other texts fail the UTF-8 check.
        if (std::optional<QByteArray> converted = CodePageToUtf8(raw, codePage))
            return *converted;
    }
    return raw;
}

quint16 TKvLanguageFile::LangId() const
{
    const qint32 id = ReadInteger("Language", "LangId", 0);
    return id >= 1 && id <= 0xFFFF ? static_cast<quint16>(id) : 0;
}

QString TKvLanguageFile::LanguageName() const
{
    return DecodeUtf8(ReadString("Language", "Language"));
}
