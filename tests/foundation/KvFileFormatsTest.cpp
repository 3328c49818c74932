// The file format registry: dialog filters and the open and save lists.
#include "KvFileFormats.h"
#include "KvLocalizer.h"

#include "QtPrinters.h"
#include "ShellTestSupport.h"

#include <gtest/gtest.h>

namespace {

class TableFormats : public TKvFileFormats {
public:
    explicit TableFormats(TKvFileFormatList items) : m_items(std::move(items)) {}
    int Count() const override { return int(m_items.size()); }
    TKvFileFormatInfo Items(int index) const override { return m_items.at(size_t(index)); }

private:
    TKvFileFormatList m_items;
};

// Offers fewer formats for saving than it reads, as picture formats do.
class ReadOnlyLastFormat : public TableFormats {
public:
    using TableFormats::TableFormats;
    void SaveFormats(TKvFileFormatList& list) const override
    {
        TableFormats::SaveFormats(list);
        list.pop_back();
    }
};

const TKvFileFormatList PictureFormats{
    {0, "JPEG", "*.jpg;*.jpeg", ".jpg"}, {1, "TIFF", "*.tif;*.tiff", ".tif"}, {2, "PNG", "*.png", ".png"},
    {3, "BMP", "*.bmp;*.rle;*.dib", ".bmp"}, {4, "KVI", "*.kvi", ".kvi"},
};

} // namespace

TEST(FileFormats, BuildFilterListsNameAndPatterns)
{
    EXPECT_EQ(BuildFilter({PictureFormats[0], PictureFormats[2]}),
              QStringLiteral("JPEG (*.jpg;*.jpeg)|*.jpg;*.jpeg|PNG (*.png)|*.png"));
    EXPECT_EQ(BuildFilter({}), QString());
}

TEST(FileFormats, OpenListEndsWithAllSupportedAndAllFiles)
{
    const TTestEnglishStrings strings("146=All Supported Files\n147=All Files\n");

    const ReadOnlyLastFormat registry(PictureFormats);
    TKvFileFormatList open;
    registry.OpenFormats(open);
    ASSERT_EQ(open.size(), 7u) << "every format, including one that is not saved";
    EXPECT_EQ(open[4].Name, QStringLiteral("KVI"));
    EXPECT_EQ(open[5].Key, 0);
    EXPECT_EQ(open[5].Name, QStringLiteral("All Supported Files"));
    EXPECT_EQ(open[5].Patterns, QStringLiteral("*.jpg;*.jpeg;*.tif;*.tiff;*.png;*.bmp;*.rle;*.dib;*.kvi"));
    EXPECT_EQ(open[5].DefaultExtension, QString());
    EXPECT_EQ(open[6].Name, QStringLiteral("All Files"));
    EXPECT_EQ(open[6].Patterns, QStringLiteral("*.*"));

    TKvFileFormatList save;
    registry.SaveFormats(save);
    EXPECT_EQ(save.size(), 4u);

    const TableFormats empty({});
    empty.OpenFormats(open);
    ASSERT_EQ(open.size(), 2u);
    EXPECT_EQ(open[0].Patterns, QString());
    EXPECT_EQ(open[1].Patterns, QStringLiteral("*.*"));
}

TEST(FileFormats, KeysAreFoundAtTheirFirstPosition)
{
    TKvFileFormatList list = PictureFormats;
    list.push_back({2, "PNG again", "*.png", ".png"});
    const TableFormats registry(list);
    EXPECT_EQ(registry.IndexOfKey(2), 2);
    EXPECT_EQ(registry.IndexOfKey(-1), -1);
    EXPECT_EQ(FindFormat(list, 2), 2);
    EXPECT_EQ(FindFormat(list, 7), -1);
    std::unique_ptr<TKvFileInfo> info;
    std::unique_ptr<TKvThumbnail> thumbnail;
    EXPECT_FALSE(registry.GetFileInfo(QStringLiteral("a.png"), info));
    EXPECT_FALSE(registry.GetThumbnail(QStringLiteral("a.png"), 10, 10, thumbnail));
}
