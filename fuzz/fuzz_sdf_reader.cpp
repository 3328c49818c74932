// Feeds arbitrary bytes to the SDF reader as a configuration stream and
// reads every item it parsed in every way a component could.
#include "KvSDF.h"

#include <QBuffer>

#include <cstdint>
#include <vector>

namespace {

const QUuid Component("{C0F4C248-34D7-4014-8116-24BEE9AB5C30}");

void ReadLevel(TKvSDFReader& reader, const TKvSDFItems& items)
{
    for (const auto& element : items.Elements) {
        qint32 number = 0;
        bool flag = false;
        QString text;
        std::vector<char> bytes(element->Length < 65536 ? element->Length : 0);
        reader.ReadInteger(element->Id, number);
        reader.ReadBoolean(element->Id, flag);
        reader.ReadWideString(element->Id, text);
        reader.ReadBuffer(element->Id, bytes.data(), quint32(bytes.size()));
    }
    for (const auto& node : items.Nodes) {
        if (reader.EnterNode(node->Id, Component))
            reader.LeaveNode();
        if (!reader.EnterNode(node->Id))
            continue;
        qint32 value = 0;
        reader.ReadInteger(0, value);
        ReadLevel(reader, reader.CurrentNode()->Children);
        reader.LeaveNode();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QBuffer stream;
    stream.setData(reinterpret_cast<const char*>(data), qsizetype(size));
    stream.open(QIODevice::ReadOnly);
    TKvSDFReader reader(&stream, false);
    ReadLevel(reader, reader.TopLevel());
    return 0;
}
