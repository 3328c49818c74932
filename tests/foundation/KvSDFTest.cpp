// SDF settings trees: exact bytes of the writer, reading back, lookup rules,
// and damaged streams.
#include "KvSDF.h"

#include <QBuffer>
#include <QFile>
#include <QPointer>
#include <QTemporaryDir>

#include "QtPrinters.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>

namespace {

const QUuid GuidA("{C0F4C248-34D7-4014-8116-24BEE9AB5C30}");
const QUuid GuidB("{09DBB784-BB3E-49EE-A9FC-F31F762510F3}");

// The writer plus its raw header, to build elements the writer's own
// operations never produce.
class RawWriter : public TKvSDFWriter {
public:
    using TKvSDFWriter::TKvSDFWriter;
    void Element(quint32 id, quint32 type, const QByteArray& value) { WriteItem(id, ElementKind, type, value); }
    void ElementHeader(quint32 id, quint32 type, quint32 length) { WriteHeader(id, ElementKind, type, length); }
};

// Writes with a writer over a fresh buffer and returns the bytes.
QByteArray Written(const std::function<void(RawWriter&)>& write)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    RawWriter writer(&buffer, false);
    write(writer);
    return buffer.data();
}

QBuffer* OpenBuffer(const QByteArray& bytes)
{
    auto* buffer = new QBuffer;
    buffer->setData(bytes);
    buffer->open(QIODevice::ReadOnly);
    return buffer;
}

// A reader over its own copy of the bytes.
struct Parsed {
    explicit Parsed(const QByteArray& bytes) : reader(OpenBuffer(bytes), true) {}
    TKvSDFReader reader;
};

int Depth(const TKvSDFItems& items)
{
    int deepest = 0;
    for (const auto& node : items.Nodes)
        deepest = std::max(deepest, 1 + Depth(node->Children));
    return deepest;
}

} // namespace

TEST(SDFWriter, WritesExactBytes)
{
    struct Case {
        const char* what;
        std::function<void(TKvSDFWriter&)> write;
        const char* hex;
    };
    const Case cases[] = {
        {"component node", [](TKvSDFWriter& w) { w.BeginNode(1, GuidA); },
         "d5010d10" "48c2f4c0" "d734" "1440" "811624bee9ab5c30"},
        {"integer element", [](TKvSDFWriter& w) { w.WriteInteger(2, 1000); }, "55020504e8030000"},
        {"empty text costs no length byte", [](TKvSDFWriter& w) { w.WriteWideString(3, QString()); }, "54030c"},
        {"end marker", [](TKvSDFWriter& w) { w.EndNode(); }, "00"},
        {"integer node", [](TKvSDFWriter& w) { w.BeginNode(1, 7); }, "d501050407000000"},
        {"boolean true", [](TKvSDFWriter& w) { w.WriteBoolean(7, true); }, "5507010101"},
        {"boolean false", [](TKvSDFWriter& w) { w.WriteBoolean(7, false); }, "5507010100"},
        {"text is UTF-16LE", [](TKvSDFWriter& w) { w.WriteWideString(4, QStringLiteral("Ab")); },
         "55040c0441006200"},
        {"id 0 costs no byte", [](TKvSDFWriter& w) { w.WriteInteger(0, 1); }, "45050401000000"},
        {"id 255 takes one byte", [](TKvSDFWriter& w) { w.WriteInteger(255, 0); }, "55ff050400000000"},
        {"id 256 takes two bytes", [](TKvSDFWriter& w) { w.WriteInteger(256, -1); }, "65000105 04ffffffff"},
        {"id 65536 takes four bytes", [](TKvSDFWriter& w) { w.WriteInteger(65536, 5); },
         "75000001000504 05000000"},
        {"negative id takes four bytes", [](TKvSDFWriter& w) { w.WriteInteger(quint32(-2), 0); },
         "75feffffff050400000000"},
        {"empty buffer", [](TKvSDFWriter& w) { w.WriteBuffer(9, nullptr, 0); }, "54090e"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Written(c.write).toHex(), QByteArray::fromHex(c.hex).toHex()) << c.what;
}

TEST(SDFWriter, LengthOf300TakesTwoBytes)
{
    const QByteArray value(300, 'x');
    const QByteArray bytes = Written([&](TKvSDFWriter& w) { w.WriteBuffer(1, value); });
    EXPECT_EQ(bytes.left(5).toHex(), QByteArray("56010e2c01"));
    EXPECT_EQ(bytes.mid(5), value);
}

TEST(SDFWriter, OwnsTheStreamOnlyWhenAsked)
{
    QPointer<QBuffer> owned = new QBuffer;
    QBuffer kept;
    {
        TKvSDFWriter owner(owned, true);
        TKvSDFWriter user(&kept, false);
    }
    EXPECT_TRUE(owned.isNull());
    {
        owned = new QBuffer;
        TKvSDFReader owner(owned, true);
        TKvSDFReader user(&kept, false);
    }
    EXPECT_TRUE(owned.isNull());
}

TEST(SDFWriter, WithoutStreamWritesNothing)
{
    TKvSDFWriter writer(nullptr, false);
    EXPECT_FALSE(writer.WriteInteger(1, 1));
    EXPECT_FALSE(writer.EndNode());
}

TEST(SDFReader, ReadsBackEveryWriterOperation)
{
    const QString text = QStringLiteral("Grüße \U0001F600 \u0416");
    const QByteArray blob = QByteArray::fromHex("00ff10203040");
    const QByteArray bytes = Written([&](TKvSDFWriter& w) {
        w.BeginNode(1, GuidA);
        w.WriteBoolean(1, true);
        w.WriteInteger(2, -123456789);
        w.WriteWideString(3, text);
        w.WriteBuffer(4, blob);
        w.BeginNode(5, 42);
        w.WriteInteger(1, 7);
        w.EndNode();
        w.EndNode();
    });
    Parsed parsed(bytes);
    TKvSDFReader& r = parsed.reader;
    ASSERT_TRUE(r.EnterNode(1, GuidA));
    bool flag = false;
    qint32 number = 0;
    QString readText;
    QByteArray readBlob(blob.size(), '\0');
    EXPECT_TRUE(r.ReadBoolean(1, flag));
    EXPECT_TRUE(flag);
    EXPECT_TRUE(r.ReadInteger(2, number));
    EXPECT_EQ(number, -123456789);
    EXPECT_TRUE(r.ReadWideString(3, readText));
    EXPECT_EQ(readText, text);
    EXPECT_TRUE(r.ReadBuffer(4, readBlob.data(), quint32(readBlob.size())));
    EXPECT_EQ(readBlob, blob);
    ASSERT_TRUE(r.EnterNode(5));
    EXPECT_TRUE(r.ReadInteger(0, number)); // a node's own value
    EXPECT_EQ(number, 42);
    EXPECT_TRUE(r.ReadInteger(1, number));
    EXPECT_EQ(number, 7);
    r.LeaveNode();
    r.LeaveNode();
    EXPECT_EQ(r.CurrentNode(), nullptr);
    r.LeaveNode(); // stays on the top level
    EXPECT_EQ(r.CurrentNode(), nullptr);
    EXPECT_FALSE(r.ReadInteger(0, number)) << "id 0 names nothing on the top level";
}

TEST(SDFReader, FindsComponentNodesByGuid)
{
    const QByteArray bytes = Written([](TKvSDFWriter& w) {
        w.BeginNode(1, 99); // an id-1 node that is not a GUID node
        w.EndNode();
        w.BeginNode(2, GuidB); // the right GUID under another id
        w.EndNode();
        w.BeginNode(1, GuidA);
        w.WriteInteger(1, 10);
        w.EndNode();
        w.BeginNode(1, GuidB);
        w.WriteInteger(1, 20);
        w.EndNode();
    });
    Parsed parsed(bytes);
    TKvSDFReader& r = parsed.reader;
    qint32 value = 0;
    ASSERT_TRUE(r.EnterNode(1, GuidB));
    EXPECT_TRUE(r.ReadInteger(1, value));
    EXPECT_EQ(value, 20);
    r.LeaveNode();
    ASSERT_TRUE(r.EnterNode(1, GuidA));
    EXPECT_TRUE(r.ReadInteger(1, value));
    EXPECT_EQ(value, 10);
    r.LeaveNode();
    EXPECT_FALSE(r.EnterNode(1, QUuid("{7AF6D7FF-618B-41D9-882E-419D500DF28B}")));
    EXPECT_EQ(r.CurrentNode(), nullptr);
    ASSERT_TRUE(r.EnterNode(1)); // the first node with the id, whatever its value
    EXPECT_TRUE(r.ReadInteger(0, value));
    EXPECT_EQ(value, 99);
}

TEST(SDFReader, LooksUpElementsAndNodesSeparately)
{
    const QByteArray bytes = Written([](TKvSDFWriter& w) {
        w.WriteInteger(5, 1);
        w.BeginNode(5, 2);
        w.WriteInteger(5, 3);
        w.EndNode();
        w.WriteInteger(5, 4); // a second element with the same id: never found
    });
    Parsed parsed(bytes);
    TKvSDFReader& r = parsed.reader;
    qint32 value = 0;
    EXPECT_TRUE(r.ReadInteger(5, value));
    EXPECT_EQ(value, 1);
    ASSERT_TRUE(r.EnterNode(5));
    EXPECT_TRUE(r.ReadInteger(5, value));
    EXPECT_EQ(value, 3);
    EXPECT_FALSE(r.EnterNode(5)) << "ids are local to their level";
}

TEST(SDFReader, TopLevelEndMarkerEndsTheStream)
{
    const QByteArray bytes = Written([](TKvSDFWriter& w) {
        w.WriteInteger(1, 1);
        w.EndNode();
        w.WriteInteger(2, 2);
    });
    Parsed parsed(bytes);
    qint32 value = 0;
    EXPECT_TRUE(parsed.reader.ReadInteger(1, value));
    EXPECT_FALSE(parsed.reader.ReadInteger(2, value));
}

TEST(SDFReader, IntegerReadsFollowTypeAndLength)
{
    struct Case {
        quint32 type;
        const char* valueHex;
        qint32 expected; // 12345 = left as it was
    };
    const Case cases[] = {
        {sdfInt8, "ff", -1},         {sdfUInt8, "ff", 255},       {sdfInt16, "feff", -2},
        {sdfUInt16, "feff", 65534},  {sdfInt32, "00000080", qint32(0x80000000)},
        {sdfInt32, "0100", 12345},   {sdfInt8, "0100", 12345},    {sdfInt16, "01", 12345},
        {sdfWideString, "41000000", 12345}, {sdfBuffer, "01000000", 12345}, {6, "01000000", 12345},
    };
    for (const Case& c : cases) {
        const QByteArray bytes
            = Written([&](RawWriter& w) { w.Element(1, c.type, QByteArray::fromHex(c.valueHex)); });
        Parsed parsed(bytes);
        qint32 value = 12345;
        EXPECT_TRUE(parsed.reader.ReadInteger(1, value)) << c.type << " " << c.valueHex;
        EXPECT_EQ(value, c.expected) << c.type << " " << c.valueHex;
        bool flag = true;
        EXPECT_TRUE(parsed.reader.ReadBoolean(1, flag));
        EXPECT_EQ(flag, c.expected == 12345 ? true : c.expected != 0);
    }
}

TEST(SDFReader, MismatchedReadsKeepTheDestination)
{
    const QByteArray bytes = Written([](TKvSDFWriter& w) {
        w.WriteInteger(1, 5);
        w.WriteBuffer(2, QByteArray("abcd"));
    });
    Parsed parsed(bytes);
    TKvSDFReader& r = parsed.reader;
    QString text = QStringLiteral("kept");
    EXPECT_TRUE(r.ReadWideString(1, text));
    EXPECT_EQ(text, QStringLiteral("kept"));
    char buffer[5] = {'-', '-', '-', '-', '-'};
    EXPECT_FALSE(r.ReadBuffer(2, buffer, 5));
    EXPECT_FALSE(r.ReadBuffer(2, buffer, 3));
    EXPECT_EQ(QByteArray(buffer, 5), QByteArray("-----"));
    EXPECT_TRUE(r.ReadBuffer(1, buffer, 4)) << "ReadBuffer does not check the type";
    EXPECT_FALSE(r.ReadWideString(9, text));
}

TEST(SDFReader, EmptyAndMissingStreamsGiveAnEmptyTree)
{
    QBuffer closed;
    QBuffer empty;
    empty.open(QIODevice::ReadOnly);
    QIODevice* streams[] = {nullptr, &closed, &empty};
    for (QIODevice* stream : streams) {
        TKvSDFReader r(stream, false);
        qint32 value = 3;
        EXPECT_TRUE(r.TopLevel().Elements.empty());
        EXPECT_FALSE(r.EnterNode(1));
        EXPECT_FALSE(r.EnterNode(1, GuidA));
        EXPECT_FALSE(r.ReadInteger(1, value));
        EXPECT_EQ(value, 3);
    }
}

TEST(SDFReader, CutStreamKeepsWhatWasReadAndStandsOnTopLevel)
{
    const QByteArray bytes = Written([](TKvSDFWriter& w) {
        w.BeginNode(1, GuidA);
        w.WriteInteger(1, 10);
        w.EndNode();
        w.BeginNode(1, GuidB);
        w.WriteWideString(1, QStringLiteral("second"));
        w.BeginNode(2, 3);
        w.WriteInteger(1, 30);
        w.EndNode();
        w.EndNode();
    });
    const qsizetype firstComplete = bytes.indexOf(QByteArray::fromHex("00d5")) + 1;
    for (qsizetype cut = 0; cut <= bytes.size(); ++cut) {
        Parsed parsed(bytes.left(cut));
        TKvSDFReader& r = parsed.reader;
        EXPECT_EQ(r.CurrentNode(), nullptr) << "cut at " << cut;
        qint32 value = 0;
        const bool firstRead = r.EnterNode(1, GuidA) && r.ReadInteger(1, value) && value == 10;
        EXPECT_EQ(firstRead, cut >= firstComplete - 1) << "cut at " << cut;
    }
}

TEST(SDFReader, ValueLongerThanTheRestOfTheStreamIsNotAdded)
{
    QByteArray bytes = Written([](TKvSDFWriter& w) { w.WriteInteger(1, 1); });
    bytes += Written([](RawWriter& w) { w.ElementHeader(2, sdfBuffer, 100); });
    bytes += "abc";
    // A file lets the reader seek past its end, a buffer does not.
    QTemporaryDir folder;
    QFile file(folder.filePath(QStringLiteral("cut.cfg")));
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    file.write(bytes);
    file.seek(0);
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    for (QIODevice* stream : {static_cast<QIODevice*>(&file), static_cast<QIODevice*>(&buffer)}) {
        TKvSDFReader r(stream, false);
        EXPECT_EQ(r.TopLevel().Elements.size(), 1u);
        char value[100];
        EXPECT_FALSE(r.ReadBuffer(2, value, 100));
    }
}

TEST(SDFReader, OddTextLengthIsNotAText)
{
    const QByteArray bytes
        = Written([](RawWriter& w) { w.Element(1, sdfWideString, QByteArray("abc")); });
    Parsed parsed(bytes);
    QString text = QStringLiteral("kept");
    EXPECT_TRUE(parsed.reader.ReadWideString(1, text));
    EXPECT_EQ(text, QStringLiteral("kept"));
}

TEST(SDFReader, DeepNestingAndHugeItemCountsAreCapped)
{
    const QByteArray deep(100000, char(0xC0)); // nodes without fields, never closed
    Parsed nested(deep);
    EXPECT_EQ(Depth(nested.reader.TopLevel()), TKvSDFReader::MaxDepth);
    EXPECT_EQ(nested.reader.CurrentNode(), nullptr);

    const QByteArray many(TKvSDFReader::MaxItems + 100, char(0x40)); // empty elements
    Parsed flat(many);
    EXPECT_EQ(flat.reader.TopLevel().Elements.size(), size_t(TKvSDFReader::MaxItems));
}

TEST(SDFReader, GarbageParsesIntoWhateverCanBeRead)
{
    std::mt19937 random(7);
    for (int round = 0; round < 300; ++round) {
        QByteArray bytes(int(random() % 200), '\0');
        for (char& b : bytes)
            b = char(random());
        Parsed parsed(bytes);
        TKvSDFReader& r = parsed.reader;
        std::function<void(const TKvSDFItems&)> readAll = [&](const TKvSDFItems& items) {
            for (const auto& element : items.Elements) {
                qint32 value;
                QString text;
                char buffer[16];
                r.ReadInteger(element->Id, value);
                r.ReadWideString(element->Id, text);
                r.ReadBuffer(element->Id, buffer, sizeof buffer);
            }
            for (const auto& node : items.Nodes) {
                if (r.EnterNode(node->Id)) {
                    readAll(r.CurrentNode()->Children);
                    r.LeaveNode();
                }
            }
        };
        readAll(r.TopLevel());
        EXPECT_EQ(r.CurrentNode(), nullptr);
    }
}

TEST(SDFReader, StreamShortenedAfterParsingReadsNothingStale)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("settings.cfg"));
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(Written([](TKvSDFWriter& w) {
            w.WriteInteger(1, 1);
            w.WriteWideString(2, QStringLiteral("long enough text"));
        }));
    }
    auto* file = new QFile(path);
    ASSERT_TRUE(file->open(QIODevice::ReadOnly | QIODevice::Unbuffered));
    TKvSDFReader r(file, true);
    QFile::resize(path, 10);
    QString text = QStringLiteral("kept");
    EXPECT_TRUE(r.ReadWideString(2, text));
    EXPECT_EQ(text, QStringLiteral("kept"));
}
