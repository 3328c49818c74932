#include "KvFileFormats.h"

#include "KvLocalizer.h"

#include <QStringList>

QString BuildFilter(const TKvFileFormatList& formats)
{
    QStringList entries;
    for (const TKvFileFormatInfo& format : formats)
        entries << format.Name + QStringLiteral(" (") + format.Patterns + QStringLiteral(")|") + format.Patterns;
    return entries.join(QLatin1Char('|'));
}

int FindFormat(const TKvFileFormatList& formats, qint32 key)
{
    for (size_t i = 0; i < formats.size(); ++i)
        if (formats[i].Key == key)
            return static_cast<int>(i);
    return -1;
}

bool TKvFileFormats::GetFileInfo(const QString&, std::unique_ptr<TKvFileInfo>&) const
{
    return false;
}

bool TKvFileFormats::GetThumbnail(const QString&, int, int, std::unique_ptr<TKvThumbnail>&) const
{
    return false;
}

void TKvFileFormats::SaveFormats(TKvFileFormatList& list) const
{
    list = AllItems();
}

void TKvFileFormats::OpenFormats(TKvFileFormatList& list) const
{
    list = AllItems();
    QStringList allPatterns;
    for (const TKvFileFormatInfo& format : list)
        allPatterns << format.Patterns;
    list.push_back({0, LocalStr(146), allPatterns.join(QLatin1Char(';')), {}});
    list.push_back({0, LocalStr(147), QStringLiteral("*.*"), {}});
}

TKvFileFormatList TKvFileFormats::AllItems() const
{
    TKvFileFormatList list;
    for (int i = 0; i < Count(); ++i)
        list.push_back(Items(i));
    return list;
}

int TKvFileFormats::IndexOfKey(qint32 key) const
{
    for (int i = 0; i < Count(); ++i)
        if (Items(i).Key == key)
            return i;
    return -1;
}
