// Every caption, hint and message of the program is looked up by an integer
// string id in exchangeable language files ("*.ini" in the Languages
// folder). The localizer finds the files, picks a default language, keeps
// the strings of the default and of the current language, answers lookups,
// and tells every registered form, frame and module to re-caption itself
// when the user switches language.
//
// Texts from language files are plain text: a caption that goes into a
// widget interpreting "&" as a mnemonic marker must have it doubled. Values
// are put into texts with FormatText/LocalFormat, never with a printf-style
// function, since a translation is not trusted to be a valid format.
#pragma once

#include "KvMethodList.h"

#include <QByteArray>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <memory>
#include <unordered_map>
#include <vector>

class QObject;

// One available language.
struct TKvLanguage {
    QString Name;        // display name, as the Language menu shows it
    quint16 LangId = 0;  // Windows language id (1033 English, 1031 German, ...)
    QString Path;        // its language file
};

struct TKvLocalString {
    qint32 Id;
    QByteArray Text; // UTF-8
};

// The strings of one language. Adding an id that is present replaces its
// text; adding a new id appends and clears the sorted flag.
class TKvLocalStringList {
public:
    void Add(qint32 id, const QByteArray& text);
    // The text of the id; none when absent.
    const QByteArray* Find(qint32 id) const;
    void Sort();
    void Clear();

    int Count() const { return static_cast<int>(m_items.size()); }
    const TKvLocalString& Items(int index) const { return m_items.at(static_cast<size_t>(index)); }
    bool Sorted() const { return m_sorted; }

private:
    void Reindex();

    std::vector<TKvLocalString> m_items;
    std::unordered_map<qint32, size_t> m_index;
    bool m_sorted = false;
};

class TKvLocalizer {
public:
    // Scans the program's languages folder; the default language follows
    // the system's language.
    TKvLocalizer();
    // Scans `languagesFolder`. The default language is the one whose LangId
    // is `systemLangId`, else one of the same language for another country,
    // else English (1033), else the first file found (in file name order);
    // with no language file every lookup gives the caller's default text.
    TKvLocalizer(const QString& languagesFolder, quint16 systemLangId);

    // The text of the id in the current language, else in the default
    // language, else `defaultText`. A text that is not valid UTF-8 is empty.
    QString LocalStr(qint32 id, const QString& defaultText = QString()) const;

    // Sets the program's locale to the LangId; when a language with that id
    // exists it becomes current and every localize handler runs.
    void SetLanguage(quint16 langId);
    quint16 CurrentLanguage() const { return m_currentLanguage; }
    quint16 DefaultLanguage() const { return m_defaultLanguage; }
    const std::vector<TKvLanguage>& Languages() const { return m_languages; }
    // Display name of the first language with that id; empty if none.
    QString LanguageName(quint16 langId) const;

    // Calls the method once at once with the component, then registers it.
    void AddLocalizeHandler(const TKvMethod& method, QObject* component);
    // Removes the last registration of the method.
    void RemoveLocalizeHandler(const TKvMethod& method);
    int LocalizeHandlerCount() const { return m_handlers.Count(); }

    // "Languages" beside the executable; otherwise the source tree's
    // Languages folder seen from the build's bin folder (../../Languages),
    // then the installed one (../share/orvane/Languages).
    static QString DefaultLanguagesFolder();
    static quint16 SystemLangId();

private:
    const TKvLanguage* FindLanguage(quint16 langId) const;
    const TKvLanguage* FindPrimaryLanguage(quint16 langId) const;
    static void LoadStrings(const QString& path, TKvLocalStringList& strings);

    quint16 m_defaultLanguage = 0;
    quint16 m_currentLanguage = 0;
    std::vector<TKvLanguage> m_languages;
    TKvLocalStringList m_defaultStrings;
    TKvLocalStringList m_currentStrings; // empty while the current language is the default
    TKvMethodList m_handlers;
};

// The program-wide localizer, used by the functions below. Installing one
// returns the previous; the program installs one at start and removes it
// (installs none) at the end.
std::unique_ptr<TKvLocalizer> SetGlobalLocalizer(std::unique_ptr<TKvLocalizer> localizer);
TKvLocalizer* GlobalLocalizer();

// Every caption and message of the program goes through these, by number.
// With no localizer installed, LocalStr gives the default text.
QString LocalStr(qint32 id, const QString& defaultText = QString());
// LocalStr with values put into its placeholders (see FormatText).
QString LocalFormat(qint32 id, const QStringList& values, const QString& defaultText = QString());
void SetLanguage(quint16 langId);
quint16 CurrentLanguage();
quint16 DefaultLanguage();
std::vector<TKvLanguage> GetLanguages();
QString LanguageName(quint16 langId);
void AddLocalizeHandler(const TKvMethod& method, QObject* component);
void RemoveLocalizeHandler(const TKvMethod& method);

// Marks a string id kept in a table rather than passed to LocalStr directly,
// so that the check of the language files finds it too.
constexpr qint32 StringId(qint32 id)
{
    return id;
}

// Puts values into a text as plain text: each "%s" (or "%d") takes the next
// value, "%%" is a percent sign, and every other "%" stays as it is.
// Missing values are empty, extra values are ignored, and the values
// themselves are never scanned for placeholders.
QString FormatText(const QString& pattern, const QStringList& values);

// Windows language ids and locales.
QLocale LocaleFromLangId(quint16 langId);
quint16 LangIdFromLocale(const QLocale& locale);
