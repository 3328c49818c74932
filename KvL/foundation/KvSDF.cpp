#include "KvSDF.h"

#include <QIODevice>
#include <QtEndian>

#include <array>
#include <cstring>

namespace {

// Size code of a field: 0 costs no bytes, then one, two or four bytes.
quint8 SizeCode(quint32 value)
{
    if (value == 0)
        return 0;
    if (value <= 0xFF)
        return 1;
    if (value <= 0xFFFF)
        return 2;
    return 3;
}

int FieldSize(quint8 code)
{
    static constexpr std::array<int, 4> sizes{0, 1, 2, 4};
    return sizes[code & 3];
}

void AppendField(QByteArray& out, quint32 value, quint8 code)
{
    for (int i = 0; i < FieldSize(code); ++i)
        out.append(static_cast<char>((value >> (8 * i)) & 0xFF));
}

QByteArray LittleEndian32(quint32 value)
{
    QByteArray bytes(4, '\0');
    qToLittleEndian(value, bytes.data());
    return bytes;
}

// Reads a field of `size` bytes, zero-extended; false when the stream ends.
bool ReadField(QIODevice& stream, int size, quint32& value)
{
    value = 0;
    if (size == 0)
        return true;
    std::array<uchar, 4> bytes{};
    if (stream.read(reinterpret_cast<char*>(bytes.data()), size) != size)
        return false;
    for (int i = 0; i < size; ++i)
        value |= quint32(bytes[static_cast<size_t>(i)]) << (8 * i);
    return true;
}

bool Usable(const QIODevice* stream)
{
    return stream && stream->isOpen() && stream->isReadable() && !stream->isSequential();
}

} // namespace

QByteArray SDFGuidBytes(const QUuid& guid)
{
    QByteArray bytes(16, '\0');
    qToLittleEndian<quint32>(guid.data1, bytes.data());
    qToLittleEndian<quint16>(guid.data2, bytes.data() + 4);
    qToLittleEndian<quint16>(guid.data3, bytes.data() + 6);
    std::memcpy(bytes.data() + 8, guid.data4, 8);
    return bytes;
}

// ---------------------------------------------------------------------------
// Writer

TKvSDFWriter::TKvSDFWriter(QIODevice* stream, bool ownsStream)
    : m_stream(stream), m_ownedStream(ownsStream ? stream : nullptr)
{
}

TKvSDFWriter::~TKvSDFWriter() = default;

bool TKvSDFWriter::WriteHeader(quint32 id, Kind kind, quint32 type, quint32 length)
{
    if (!m_stream)
        return false;
    const quint8 idCode = SizeCode(id), typeCode = SizeCode(type), lengthCode = SizeCode(length);
    QByteArray header;
    header.append(static_cast<char>((kind << 6) | (idCode << 4) | (typeCode << 2) | lengthCode));
    AppendField(header, id, idCode);
    AppendField(header, type, typeCode);
    AppendField(header, length, lengthCode);
    return m_stream->write(header) == header.size();
}

bool TKvSDFWriter::WriteItem(quint32 id, Kind kind, quint32 type, const QByteArray& value)
{
    if (!WriteHeader(id, kind, type, static_cast<quint32>(value.size())))
        return false;
    return value.isEmpty() || m_stream->write(value) == value.size();
}

bool TKvSDFWriter::BeginNode(quint32 id, const QUuid& guid)
{
    return WriteItem(id, NodeKind, sdfGuid, SDFGuidBytes(guid));
}

bool TKvSDFWriter::BeginNode(quint32 id, qint32 value)
{
    return WriteItem(id, NodeKind, sdfInt32, LittleEndian32(static_cast<quint32>(value)));
}

bool TKvSDFWriter::EndNode()
{
    return WriteHeader(0, EndKind, 0, 0);
}

bool TKvSDFWriter::WriteBoolean(quint32 id, bool value)
{
    return WriteItem(id, ElementKind, sdfInt8, QByteArray(1, value ? '\1' : '\0'));
}

bool TKvSDFWriter::WriteInteger(quint32 id, qint32 value)
{
    return WriteItem(id, ElementKind, sdfInt32, LittleEndian32(static_cast<quint32>(value)));
}

bool TKvSDFWriter::WriteWideString(quint32 id, const QString& text)
{
    QByteArray value(text.size() * 2, '\0');
    for (qsizetype i = 0; i < text.size(); ++i)
        qToLittleEndian<quint16>(text.at(i).unicode(), value.data() + 2 * i);
    return WriteItem(id, ElementKind, sdfWideString, value);
}

bool TKvSDFWriter::WriteBuffer(quint32 id, const void* data, quint32 size)
{
    return WriteItem(id, ElementKind, sdfBuffer,
                     QByteArray(static_cast<const char*>(data), static_cast<qsizetype>(size)));
}

bool TKvSDFWriter::WriteBuffer(quint32 id, const QByteArray& data)
{
    return WriteBuffer(id, data.constData(), static_cast<quint32>(data.size()));
}

// ---------------------------------------------------------------------------
// Parsed items

TKvSDFItems::TKvSDFItems() = default;
TKvSDFItems::~TKvSDFItems() = default;

const TKvSDFElement* TKvSDFItems::FindElement(quint32 id) const
{
    for (const auto& element : Elements)
        if (element->Id == id)
            return element.get();
    return nullptr;
}

TKvSDFNode* TKvSDFItems::FindNode(quint32 id, size_t from) const
{
    for (size_t i = from; i < Nodes.size(); ++i)
        if (Nodes[i]->Id == id)
            return Nodes[i].get();
    return nullptr;
}

// ---------------------------------------------------------------------------
// Reader

TKvSDFReader::TKvSDFReader(QIODevice* stream, bool ownsStream)
    : m_stream(stream), m_ownedStream(ownsStream ? stream : nullptr)
{
    Parse();
}

TKvSDFReader::~TKvSDFReader() = default;

void TKvSDFReader::Parse()
{
    if (!Usable(m_stream))
        return;
    QIODevice& stream = *m_stream;
    TKvSDFNode* current = nullptr;
    int depth = 0;
    int itemCount = 0;
    for (;;) {
        char header = 0;
        if (stream.read(&header, 1) != 1)
            break;
        const auto bits = static_cast<quint8>(header);
        const quint8 kind = bits >> 6;
        quint32 id = 0, type = 0, length = 0;
        if (!ReadField(stream, FieldSize(bits >> 4), id) || !ReadField(stream, FieldSize(bits >> 2), type)
            || !ReadField(stream, FieldSize(bits), length))
            break;

        if (kind == 0) {
            if (!current)
                break; // an end marker on the top level ends the stream
            current = current->Parent;
            --depth;
            continue;
        }
        if (itemCount >= MaxItems)
            break;
        // The value must lie inside the stream: seeking past the end would
        // succeed on most devices, so the length is checked against the
        // bytes actually left.
        const qint64 position = stream.pos();
        if (qint64(length) > stream.size() - position)
            break;
        if (length != 0 && (!stream.seek(position + length) || stream.pos() != position + length))
            break;
        ++itemCount;

        TKvSDFItems& level = current ? current->Children : m_items;
        if (kind & 2) {
            if (depth >= MaxDepth)
                break;
            level.Nodes.push_back(std::make_unique<TKvSDFNode>(id, type, length, position, current));
            current = level.Nodes.back().get();
            ++depth;
        } else {
            level.Elements.push_back(std::make_unique<TKvSDFElement>(id, type, length, position));
        }
    }
    // A stream cut inside a node still leaves the reader on the top level,
    // where every consumer starts its search.
    m_current = nullptr;
}

const TKvSDFItems& TKvSDFReader::CurrentItems() const
{
    return m_current ? m_current->Children : m_items;
}

bool TKvSDFReader::EnterNode(quint32 id)
{
    TKvSDFNode* node = CurrentItems().FindNode(id);
    if (!node)
        return false;
    m_current = node;
    return true;
}

bool TKvSDFReader::EnterNode(quint32 id, const QUuid& guid)
{
    const QByteArray wanted = SDFGuidBytes(guid);
    const TKvSDFItems& items = CurrentItems();
    for (size_t i = 0; i < items.Nodes.size(); ++i) {
        TKvSDFNode* node = items.Nodes[i].get();
        if (node->Id != id || node->Type != sdfGuid || node->Length != 16)
            continue;
        QByteArray value;
        if (ReadValue(*node, value) && value == wanted) {
            m_current = node;
            return true;
        }
    }
    return false;
}

void TKvSDFReader::LeaveNode()
{
    if (m_current)
        m_current = m_current->Parent;
}

const TKvSDFElement* TKvSDFReader::FindElement(quint32 id) const
{
    if (id == 0)
        return m_current;
    return CurrentItems().FindElement(id);
}

bool TKvSDFReader::ReadValue(const TKvSDFElement& element, QByteArray& value) const
{
    if (!Usable(m_stream) || !m_stream->seek(element.Position))
        return false;
    value = m_stream->read(element.Length);
    return value.size() == qint64(element.Length);
}

bool TKvSDFReader::ReadInteger(quint32 id, qint32& value) const
{
    const TKvSDFElement* element = FindElement(id);
    if (!element)
        return false;
    struct Layout {
        quint32 type, length;
    };
    static constexpr std::array<Layout, 5> integerLayouts{
        {{sdfInt8, 1}, {sdfUInt8, 1}, {sdfInt16, 2}, {sdfUInt16, 2}, {sdfInt32, 4}}};
    bool known = false;
    for (const Layout& layout : integerLayouts)
        known = known || (layout.type == element->Type && layout.length == element->Length);
    QByteArray bytes;
    if (!known || !ReadValue(*element, bytes))
        return true;
    const auto* data = reinterpret_cast<const uchar*>(bytes.constData());
    switch (element->Type) {
    case sdfInt8: value = static_cast<qint8>(data[0]); break;
    case sdfUInt8: value = data[0]; break;
    case sdfInt16: value = qFromLittleEndian<qint16>(data); break;
    case sdfUInt16: value = qFromLittleEndian<quint16>(data); break;
    default: value = qFromLittleEndian<qint32>(data); break;
    }
    return true;
}

bool TKvSDFReader::ReadBoolean(quint32 id, bool& value) const
{
    qint32 number = value ? 1 : 0;
    if (!ReadInteger(id, number))
        return false;
    value = number != 0;
    return true;
}

bool TKvSDFReader::ReadWideString(quint32 id, QString& text) const
{
    const TKvSDFElement* element = FindElement(id);
    if (!element)
        return false;
    // UTF-16 needs whole code units: an odd length is not a text.
    QByteArray bytes;
    if (element->Type != sdfWideString || element->Length % 2 != 0 || !ReadValue(*element, bytes))
        return true;
    QString result(bytes.size() / 2, Qt::Uninitialized);
    for (qsizetype i = 0; i < result.size(); ++i)
        result[i] = QChar(qFromLittleEndian<quint16>(bytes.constData() + 2 * i));
    text = result;
    return true;
}

bool TKvSDFReader::ReadBuffer(quint32 id, void* buffer, quint32 size) const
{
    const TKvSDFElement* element = FindElement(id);
    QByteArray bytes;
    if (!element || element->Length != size || !ReadValue(*element, bytes))
        return false;
    if (size != 0)
        std::memcpy(buffer, bytes.constData(), size);
    return true;
}
