// Property sets: order kept on re-set, the entry block layout, variants,
// deep copies and the release notification.
#include "KvProperties.h"

#include "QtPrinters.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

// Logs the ids of entries as they are released.
class LoggingProperties : public TKvProperties {
public:
    ~LoggingProperties() override { Clear(); }
    void ReleaseEntry(TKvPropertyEntry* entry) override { released.push_back(entry->Id); }
    std::vector<qint32> released;
};

std::vector<qint32> Ids(const TKvCustomProperties& set)
{
    std::vector<qint32> ids;
    for (int i = 0; i < set.Count(); ++i)
        ids.push_back(set.Items(i)->Id);
    return ids;
}

} // namespace

TEST(Properties, ResettingAnIdKeepsItsPosition)
{
    LoggingProperties set;
    set.SetInteger(3, 30);
    set.SetDouble(1, 1.5);
    set.SetString(2, "two");
    set.SetString(1, "now a longer text");
    EXPECT_EQ(Ids(set), (std::vector<qint32>{3, 1, 2}));
    const TKvPropertyEntry* entry = set.Items(set.IndexOf(1));
    EXPECT_EQ(entry->Type, quint32(propString));
    EXPECT_EQ(entry->Size, 17);
    EXPECT_EQ(set.released, std::vector<qint32>{1}) << "the old entry is released before it is replaced";
    EXPECT_EQ(set.IndexOf(4), -1);
}

TEST(Properties, EntryValueFollowsItsHeaderInOneBlock)
{
    TKvProperties set;
    QByteArray large(1000, '\0');
    for (int i = 0; i < large.size(); ++i)
        large[i] = char(i * 7);
    set.SetValue(0x9286, 7, int(large.size()), large.constData()); // a metadata item, codec type kept
    const TKvPropertyEntry* entry = set.Items(0);
    EXPECT_EQ(static_cast<const char*>(entry->Value), reinterpret_cast<const char*>(entry) + sizeof(TKvPropertyEntry));
    EXPECT_EQ(QByteArray(static_cast<const char*>(entry->Value), entry->Size), large);
    EXPECT_EQ(entry->Type, 7u);
    EXPECT_FALSE(set.GetAsVariant(0).isValid()) << "a codec type has no variant";
}

TEST(Properties, GetAsVariantByType)
{
    TKvProperties set;
    set.SetInteger(0, -42);
    set.SetDouble(1, 2.25);
    set.SetString(2, QByteArray("a\0b", 3));
    set.SetString(3, QByteArray());
    const qint16 shortValue = 5;
    set.SetValue(4, propInteger, sizeof shortValue, &shortValue); // too short for an integer
    const qint32 pair[2] = {7, 9};
    set.SetValue(5, propInteger, sizeof pair, pair);
    EXPECT_EQ(set.GetAsVariant(0), QVariant(-42));
    EXPECT_EQ(set.GetAsVariant(1), QVariant(2.25));
    EXPECT_EQ(set.GetAsVariant(2).toByteArray(), QByteArray("a\0b", 3));
    EXPECT_EQ(set.GetAsVariant(2).toString(), QString::fromUtf8("a\0b", 3));
    EXPECT_EQ(set.Items(3)->Size, 0);
    EXPECT_EQ(set.GetAsVariant(3).toByteArray(), QByteArray());
    EXPECT_FALSE(set.GetAsVariant(4).isValid());
    EXPECT_EQ(set.GetAsVariant(5), QVariant(7));
    EXPECT_FALSE(set.GetAsVariant(set.Count()).isValid());
    EXPECT_FALSE(set.GetAsVariant(-1).isValid());
    EXPECT_EQ(set.Items(set.Count()), nullptr);
}

TEST(Properties, AssignMakesADeepCopyInTheSourcesOrder)
{
    TKvProperties source;
    source.SetInteger(9, 1);
    source.SetString(2, "text");
    source.SetDouble(5, 0.5);
    LoggingProperties target;
    for (qint32 id : {1, 2, 3, 4, 5})
        target.SetInteger(id, id);
    target.Assign(&source);
    EXPECT_EQ(Ids(target), (std::vector<qint32>{9, 2, 5}));
    EXPECT_EQ(target.released, (std::vector<qint32>{1, 2, 3, 4, 5}));
    source.SetString(2, "changed");
    EXPECT_EQ(target.GetAsVariant(1).toByteArray(), QByteArray("text"));
    target.Assign(&target);
    EXPECT_EQ(target.Count(), 3);
    target.Assign(nullptr);
    EXPECT_EQ(target.Count(), 0);
}

TEST(Properties, RemoveAndClear)
{
    LoggingProperties set;
    set.Clear(); // never had an entry
    set.Remove(1);
    EXPECT_EQ(set.Count(), 0);
    EXPECT_TRUE(set.released.empty());
    set.SetInteger(1, 1);
    set.SetInteger(2, 2);
    set.SetInteger(3, 3);
    set.Remove(2);
    EXPECT_EQ(Ids(set), (std::vector<qint32>{1, 3}));
    set.Clear();
    EXPECT_EQ(set.released, (std::vector<qint32>{2, 1, 3}));
    set.SetValue(4, propInteger, -1, "x");
    EXPECT_EQ(set.Count(), 0) << "a negative size stores nothing";
}
