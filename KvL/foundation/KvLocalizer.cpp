#include "KvLocalizer.h"

#include "KvLanguageFile.h"
#include "KvProgramData.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <array>

// ---------------------------------------------------------------------------
// Strings of one language

void TKvLocalStringList::Add(qint32 id, const QByteArray& text)
{
    const auto found = m_index.find(id);
    if (found != m_index.end()) {
        m_items[found->second].Text = text;
        return;
    }
    m_index.emplace(id, m_items.size());
    m_items.push_back({id, text});
    m_sorted = false;
}

const QByteArray* TKvLocalStringList::Find(qint32 id) const
{
    const auto found = m_index.find(id);
    return found == m_index.end() ? nullptr : &m_items[found->second].Text;
}

void TKvLocalStringList::Sort()
{
    std::sort(m_items.begin(), m_items.end(),
              [](const TKvLocalString& a, const TKvLocalString& b) { return a.Id < b.Id; });
    Reindex();
    m_sorted = true;
}

void TKvLocalStringList::Clear()
{
    m_items.clear();
    m_index.clear();
    m_sorted = false;
}

void TKvLocalStringList::Reindex()
{
    m_index.clear();
    for (size_t i = 0; i < m_items.size(); ++i)
        m_index.emplace(m_items[i].Id, i);
}

// ---------------------------------------------------------------------------
// Localizer

TKvLocalizer::TKvLocalizer() : TKvLocalizer(DefaultLanguagesFolder(), SystemLangId()) {}

TKvLocalizer::TKvLocalizer(const QString& languagesFolder, quint16 systemLangId)
{
    // Sorted by name, so that "the first language" and the Language menu's
    // order do not depend on the file system.
    const QFileInfoList files = QDir(languagesFolder)
                                    .entryInfoList({QStringLiteral("*.ini")},
                                                   QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    for (const QFileInfo& file : files) {
        const TKvLanguageFile languageFile(file.absoluteFilePath());
        if (const quint16 langId = languageFile.LangId())
            m_languages.push_back({languageFile.LanguageName(), langId, file.absoluteFilePath()});
    }

    const TKvLanguage* chosen = FindLanguage(systemLangId);
    if (!chosen)
        chosen = FindPrimaryLanguage(systemLangId);
    if (!chosen)
        chosen = FindLanguage(1033);
    if (!chosen && !m_languages.empty())
        chosen = &m_languages.front();
    if (chosen) {
        LoadStrings(chosen->Path, m_defaultStrings);
        m_defaultLanguage = chosen->LangId;
    }
    m_currentLanguage = m_defaultLanguage;
}

const TKvLanguage* TKvLocalizer::FindLanguage(quint16 langId) const
{
    for (const TKvLanguage& language : m_languages)
        if (language.LangId == langId)
            return &language;
    return nullptr;
}

const TKvLanguage* TKvLocalizer::FindPrimaryLanguage(quint16 langId) const
{
    // The low ten bits of a language id name the language, the rest its
    // country: an Austrian system (0x0C07) is served by German (0x0407).
    for (const TKvLanguage& language : m_languages)
        if (langId != 0 && (language.LangId & 0x3FF) == (langId & 0x3FF))
            return &language;
    return nullptr;
}

void TKvLocalizer::LoadStrings(const QString& path, TKvLocalStringList& strings)
{
    strings.Clear();
    const TKvLanguageFile file(path);
    for (const TKvMemIniFile::Line& line : file.SectionLines("Strings"))
        if (line.HasValue)
            if (const std::optional<qint32> id = ParseInteger(line.Name))
                strings.Add(*id, line.Value);
    strings.Sort();
}

QString TKvLocalizer::LocalStr(qint32 id, const QString& defaultText) const
{
    const QByteArray* text = m_currentStrings.Find(id);
    if (!text)
        text = m_defaultStrings.Find(id);
    return text ? DecodeUtf8(*text) : defaultText;
}

void TKvLocalizer::SetLanguage(quint16 langId)
{
    QLocale::setDefault(LocaleFromLangId(langId));
    const TKvLanguage* language = FindLanguage(langId);
    if (!language)
        return;
    m_currentLanguage = langId;
    if (langId == m_defaultLanguage)
        m_currentStrings.Clear();
    else
        LoadStrings(language->Path, m_currentStrings);
    m_handlers.CallAll();
}

QString TKvLocalizer::LanguageName(quint16 langId) const
{
    const TKvLanguage* language = FindLanguage(langId);
    return language ? language->Name : QString();
}

void TKvLocalizer::AddLocalizeHandler(const TKvMethod& method, QObject* component)
{
    method.Call(component);
    m_handlers.Add(method, component);
}

void TKvLocalizer::RemoveLocalizeHandler(const TKvMethod& method)
{
    m_handlers.Remove(method);
}

QString TKvLocalizer::DefaultLanguagesFolder()
{
    return ProgramDataPath(QStringLiteral("Languages"));
}

quint16 TKvLocalizer::SystemLangId()
{
    return LangIdFromLocale(QLocale::system());
}

// ---------------------------------------------------------------------------
// The program-wide localizer

namespace {

std::unique_ptr<TKvLocalizer>& GlobalInstance()
{
    static std::unique_ptr<TKvLocalizer> instance;
    return instance;
}

} // namespace

std::unique_ptr<TKvLocalizer> SetGlobalLocalizer(std::unique_ptr<TKvLocalizer> localizer)
{
    std::swap(GlobalInstance(), localizer);
    return localizer;
}

TKvLocalizer* GlobalLocalizer()
{
    return GlobalInstance().get();
}

QString LocalStr(qint32 id, const QString& defaultText)
{
    const TKvLocalizer* localizer = GlobalLocalizer();
    return localizer ? localizer->LocalStr(id, defaultText) : defaultText;
}

QString LocalFormat(qint32 id, const QStringList& values, const QString& defaultText)
{
    return FormatText(LocalStr(id, defaultText), values);
}

void SetLanguage(quint16 langId)
{
    if (TKvLocalizer* localizer = GlobalLocalizer())
        localizer->SetLanguage(langId);
    else
        QLocale::setDefault(LocaleFromLangId(langId));
}

quint16 CurrentLanguage()
{
    const TKvLocalizer* localizer = GlobalLocalizer();
    return localizer ? localizer->CurrentLanguage() : 0;
}

quint16 DefaultLanguage()
{
    const TKvLocalizer* localizer = GlobalLocalizer();
    return localizer ? localizer->DefaultLanguage() : 0;
}

std::vector<TKvLanguage> GetLanguages()
{
    const TKvLocalizer* localizer = GlobalLocalizer();
    return localizer ? localizer->Languages() : std::vector<TKvLanguage>();
}

QString LanguageName(quint16 langId)
{
    const TKvLocalizer* localizer = GlobalLocalizer();
    return localizer ? localizer->LanguageName(langId) : QString();
}

void AddLocalizeHandler(const TKvMethod& method, QObject* component)
{
    if (TKvLocalizer* localizer = GlobalLocalizer())
        localizer->AddLocalizeHandler(method, component);
    else
        method.Call(component);
}

void RemoveLocalizeHandler(const TKvMethod& method)
{
    if (TKvLocalizer* localizer = GlobalLocalizer())
        localizer->RemoveLocalizeHandler(method);
}

// ---------------------------------------------------------------------------
// Placeholders

QString FormatText(const QString& pattern, const QStringList& values)
{
    QString result;
    result.reserve(pattern.size());
    auto next = values.cbegin();
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern.at(i);
        const QChar following = i + 1 < pattern.size() ? pattern.at(i + 1) : QChar();
        if (c != QLatin1Char('%') || following.isNull()) {
            result += c;
        } else if (following == QLatin1Char('%')) {
            result += c;
            ++i;
        } else if (following == QLatin1Char('s') || following == QLatin1Char('d')) {
            if (next != values.cend())
                result += *next++;
            ++i;
        } else {
            result += c;
        }
    }
    return result;
}

// ---------------------------------------------------------------------------
// Windows language ids

namespace {

// A Windows language id is a primary language (low 10 bits) and a
// sublanguage (high 6 bits); 1 is each language's main country.
struct PrimaryLanguage {
    QLocale::Language Language;
    quint16 Primary;
};

constexpr std::array<PrimaryLanguage, 44> PrimaryLanguages{{
    {QLocale::Arabic, 0x01},     {QLocale::Bulgarian, 0x02},  {QLocale::Catalan, 0x03},
    {QLocale::Chinese, 0x04},    {QLocale::Czech, 0x05},      {QLocale::Danish, 0x06},
    {QLocale::German, 0x07},     {QLocale::Greek, 0x08},      {QLocale::English, 0x09},
    {QLocale::Spanish, 0x0A},    {QLocale::Finnish, 0x0B},    {QLocale::French, 0x0C},
    {QLocale::Hebrew, 0x0D},     {QLocale::Hungarian, 0x0E},  {QLocale::Icelandic, 0x0F},
    {QLocale::Italian, 0x10},    {QLocale::Japanese, 0x11},   {QLocale::Korean, 0x12},
    {QLocale::Dutch, 0x13},      {QLocale::NorwegianBokmal, 0x14}, {QLocale::Polish, 0x15},
    {QLocale::Portuguese, 0x16}, {QLocale::Romanian, 0x18},   {QLocale::Russian, 0x19},
    {QLocale::Croatian, 0x1A},   {QLocale::Slovak, 0x1B},     {QLocale::Albanian, 0x1C},
    {QLocale::Swedish, 0x1D},    {QLocale::Thai, 0x1E},       {QLocale::Turkish, 0x1F},
    {QLocale::Urdu, 0x20},       {QLocale::Indonesian, 0x21}, {QLocale::Ukrainian, 0x22},
    {QLocale::Belarusian, 0x23}, {QLocale::Slovenian, 0x24},  {QLocale::Estonian, 0x25},
    {QLocale::Latvian, 0x26},    {QLocale::Lithuanian, 0x27}, {QLocale::Persian, 0x29},
    {QLocale::Vietnamese, 0x2A}, {QLocale::Armenian, 0x2B},   {QLocale::Macedonian, 0x2F},
    {QLocale::Georgian, 0x37},   {QLocale::Hindi, 0x39},
}};

// Countries whose sublanguage is not 1, and languages whose usual country
// is not sublanguage 1.
struct RegionalLanguage {
    QLocale::Language Language;
    QLocale::Territory Territory;
    quint16 LangId;
};

constexpr std::array<RegionalLanguage, 14> RegionalLanguages{{
    {QLocale::English, QLocale::UnitedStates, 0x0409},   {QLocale::English, QLocale::UnitedKingdom, 0x0809},
    {QLocale::English, QLocale::Australia, 0x0C09},      {QLocale::English, QLocale::Canada, 0x1009},
    {QLocale::German, QLocale::Switzerland, 0x0807},     {QLocale::German, QLocale::Austria, 0x0C07},
    {QLocale::French, QLocale::Belgium, 0x080C},         {QLocale::French, QLocale::Canada, 0x0C0C},
    {QLocale::French, QLocale::Switzerland, 0x100C},     {QLocale::Spanish, QLocale::Spain, 0x0C0A},
    {QLocale::Spanish, QLocale::Mexico, 0x080A},         {QLocale::Portuguese, QLocale::Portugal, 0x0816},
    {QLocale::Chinese, QLocale::China, 0x0804},          {QLocale::Chinese, QLocale::Taiwan, 0x0404},
}};

} // namespace

QLocale LocaleFromLangId(quint16 langId)
{
    for (const RegionalLanguage& regional : RegionalLanguages)
        if (regional.LangId == langId)
            return QLocale(regional.Language, regional.Territory);
    for (const PrimaryLanguage& primary : PrimaryLanguages)
        if (primary.Primary == (langId & 0x3FF))
            return QLocale(primary.Language);
    return QLocale::c();
}

quint16 LangIdFromLocale(const QLocale& locale)
{
    for (const RegionalLanguage& regional : RegionalLanguages)
        if (regional.Language == locale.language() && regional.Territory == locale.territory())
            return regional.LangId;
    for (const PrimaryLanguage& primary : PrimaryLanguages)
        if (primary.Language == locale.language())
            return static_cast<quint16>(primary.Primary | 0x0400);
    return 0;
}
