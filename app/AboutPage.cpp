#include "AboutPage.h"

#include "KvLocalizer.h"
#include "KvProgramData.h"
#include "KvSystemInfo.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace {

// The help pages' start page in the current language, else in English;
// empty when the program has no help pages.
QString HelpStartPage()
{
    const QDir help(ProgramDataPath(QStringLiteral("Help")));
    for (const quint16 language : {CurrentLanguage(), quint16(1033)}) {
        const QString page = help.filePath(QString::number(language) + QStringLiteral("/index.html"));
        if (QFileInfo::exists(page))
            return page;
    }
    return QString();
}

// One line of fixed text on a page, under the line before it.
TKvAboutEntry Line(const QString& text, int page, int left = 24)
{
    TKvAboutEntry entry;
    entry.Text = text;
    entry.Left = left;
    entry.Page = page;
    return entry;
}

TKvAboutEntry Line(qint32 id, const char* defaultText, int page, int left = 24)
{
    TKvAboutEntry entry = Line(QLatin1String(defaultText), page, left);
    entry.TextId = id;
    return entry;
}

constexpr int EveryPage = -1;
constexpr int AboutPage = 0;
constexpr int CreditsPage = 1;
constexpr int LicensePage = 2;

} // namespace

TKvAboutDescription ProgramAboutDescription(const TKvSystemVersion& system)
{
    TKvAboutDescription description;
    description.Picture = QStringLiteral(":/images/AboutLogo.jpg");
    std::vector<TKvAboutEntry>& entries = description.Entries;

    // The name and version beside the icon of the picture.
    entries.push_back({156, QStringLiteral("Orvane"), AboutBold, 124, 44, 0, 0, 0, EveryPage, {}});
    entries.push_back({0, QStringLiteral(ORVANE_VERSION), AboutBold | AboutSameLine, 0, 0, 0, 0, 0, EveryPage, {}});

    // The licence text and the help pages.
    const QString licence = ProgramDataPath(QStringLiteral("LICENSE"));
    entries.push_back({167, QStringLiteral("License"), AboutRightAligned | AboutColon, 16, 132, 75, 0, 0, AboutPage, {}});
    entries.push_back({0, QUrl::fromLocalFile(licence).toString(), AboutLink | AboutSameLine, 0, 0, 0, 0, 0, AboutPage, {}});
    const QString help = HelpStartPage();
    if (!help.isEmpty()) {
        entries.push_back({3810, QStringLiteral("Help"), AboutRightAligned | AboutColon, 0, 0, 75, 0, 0.5f, AboutPage, {}});
        entries.push_back({0, QUrl::fromLocalFile(help).toString(), AboutLink | AboutSameLine, 0, 0, 0, 0, 0, AboutPage, {}});
    }
    entries.push_back({3811, QStringLiteral("Copyright (C) The Orvane developers. Orvane is free software under the "
                                            "GNU General Public License, version 3 or later."),
                       AboutWordWrap, 16, 236, 468, 0, 0, AboutPage, {}});

    // Credits: who took the sample photographs, and where the program runs.
    entries.push_back({3812, QStringLiteral("Sample photographs"), AboutBold | AboutColon, 16, 132, 0, 0, 0, CreditsPage, {}});
    entries.push_back(Line(3815, "Astronaut (NASA), rocket launch (SpaceX): public domain", CreditsPage));
    entries.push_back(Line(3816, "Cat (Stefan van der Walt), coffee cup (Rachel Michetti): CC0 1.0", CreditsPage));
    TKvAboutEntry running = Line(3813, "Running on %s with Qt %s.", CreditsPage, 16);
    running.LineSpacing = 1;
    running.Values = {system.ProductName, QString::fromLatin1(qVersion())};
    entries.push_back(running);

    // The licences of the libraries the program links and of the pictures
    // it ships.
    entries.push_back({3814, QStringLiteral("Orvane uses these libraries and ships these pictures, under these "
                                            "licences:"),
                       AboutWordWrap, 16, 132, 468, 0, 0, LicensePage, {}});
    for (const char* library : {"Qt 6: GNU LGPL 3", "libjpeg-turbo: IJG, BSD-3-Clause and zlib licences",
                                "Exiv2: GNU GPL 2 or later", "zlib: zlib licence",
                                "SANE (libsane): GNU GPL 2 or later with the SANE exception"})
        entries.push_back(Line(QString::fromLatin1(library), LicensePage));
    entries.push_back(Line(3815, "Astronaut (NASA), rocket launch (SpaceX): public domain", LicensePage));
    entries.push_back(Line(3816, "Cat (Stefan van der Walt), coffee cup (Rachel Michetti): CC0 1.0", LicensePage));
    entries.push_back(Line(3817, "Orvane's own pictures: GNU GPL 3 or later", LicensePage));
    return description;
}
