// SDF: the program's compact binary tree format for settings (the
// configuration file is one SDF stream).
//
// A stream is a sequence of items. Each item is a header byte (bits 7-6 the
// kind: 0 end of node, 1 element, 2 or 3 node; bits 5-4, 3-2 and 1-0 the
// size codes of the id, type and length fields: 0 absent, 1, 2 or 4 bytes),
// the id, type and length fields (little-endian, unsigned), then `length`
// value bytes. A node's children follow its value up to an end marker (the
// byte 00). Ids are local to their level; elements and nodes are looked up
// separately.
#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <QString>
#include <QUuid>

#include <memory>
#include <vector>

class QIODevice;

// Type codes of SDF values.
enum TKvSDFType : quint32 {
    sdfInt8 = 1,       // signed 8-bit; booleans are written as this type
    sdfUInt8 = 2,
    sdfInt16 = 3,
    sdfUInt16 = 4,
    sdfInt32 = 5,
    sdfWideString = 12, // UTF-16LE, no terminator
    sdfGuid = 13,      // 16 bytes, the Windows in-memory layout
    sdfBuffer = 14,    // raw bytes
};

// The 16 bytes of a GUID as SDF stores them: the 32-bit and two 16-bit
// fields little-endian, then the 8 remaining bytes.
QByteArray SDFGuidBytes(const QUuid& guid);

// Writes SDF items to a stream as they are requested; nothing is buffered
// and nothing checks that nodes are balanced. Each operation returns true
// when the whole item reached the stream.
class TKvSDFWriter {
public:
    // With ownsStream the writer deletes the stream when it is destroyed.
    TKvSDFWriter(QIODevice* stream, bool ownsStream);
    ~TKvSDFWriter();
    TKvSDFWriter(const TKvSDFWriter&) = delete;
    TKvSDFWriter& operator=(const TKvSDFWriter&) = delete;

    QIODevice* Stream() const { return m_stream; }

    bool BeginNode(quint32 id, const QUuid& guid);
    bool BeginNode(quint32 id, qint32 value);
    bool EndNode();
    bool WriteBoolean(quint32 id, bool value);
    bool WriteInteger(quint32 id, qint32 value);
    bool WriteWideString(quint32 id, const QString& text);
    bool WriteBuffer(quint32 id, const void* data, quint32 size);
    bool WriteBuffer(quint32 id, const QByteArray& data);

protected:
    enum Kind : quint8 { EndKind = 0, ElementKind = 1, NodeKind = 3 };
    bool WriteHeader(quint32 id, Kind kind, quint32 type, quint32 length);
    bool WriteItem(quint32 id, Kind kind, quint32 type, const QByteArray& value);

private:
    QIODevice* m_stream;
    std::unique_ptr<QIODevice> m_ownedStream;
};

class TKvSDFNode;

// An element as parsed: its fields and where its value starts in the
// stream. The value itself stays in the stream.
class TKvSDFElement {
public:
    TKvSDFElement(quint32 id, quint32 type, quint32 length, qint64 position)
        : Id(id), Type(type), Length(length), Position(position)
    {
    }
    virtual ~TKvSDFElement() = default;

    quint32 Id;
    quint32 Type;
    quint32 Length;
    qint64 Position;
};

// The items of one level, elements and nodes in two lists, each in stream
// order. Owns them.
class TKvSDFItems {
public:
    TKvSDFItems();
    ~TKvSDFItems();
    TKvSDFItems(const TKvSDFItems&) = delete;
    TKvSDFItems& operator=(const TKvSDFItems&) = delete;

    const TKvSDFElement* FindElement(quint32 id) const;
    // The first node with this id (the search starts at index `from`).
    TKvSDFNode* FindNode(quint32 id, size_t from = 0) const;

    std::vector<std::unique_ptr<TKvSDFElement>> Elements;
    std::vector<std::unique_ptr<TKvSDFNode>> Nodes;
};

class TKvSDFNode : public TKvSDFElement {
public:
    TKvSDFNode(quint32 id, quint32 type, quint32 length, qint64 position, TKvSDFNode* parent)
        : TKvSDFElement(id, type, length, position), Parent(parent)
    {
    }

    TKvSDFNode* Parent; // none for a top-level node
    TKvSDFItems Children;
};

// Parses a whole SDF stream into a tree at construction and reads values
// from the stream on demand, so the stream must stay open and seekable for
// the reader's lifetime. Parsing never fails as a whole: it stops at the
// first item it cannot read (or at an end marker on the top level) and keeps
// everything read before; the reader then stands on the top level.
class TKvSDFReader {
public:
    // Limits that keep a damaged or hostile stream from exhausting memory
    // or the stack; parsing stops where one is reached.
    static constexpr int MaxDepth = 64;
    static constexpr int MaxItems = 100000;

    // With ownsStream the reader deletes the stream when it is destroyed.
    TKvSDFReader(QIODevice* stream, bool ownsStream);
    ~TKvSDFReader();
    TKvSDFReader(const TKvSDFReader&) = delete;
    TKvSDFReader& operator=(const TKvSDFReader&) = delete;

    const TKvSDFItems& TopLevel() const { return m_items; }
    TKvSDFNode* CurrentNode() const { return m_current; } // none = top level

    // Makes the first child node with this id current; false if none.
    bool EnterNode(quint32 id);
    // Makes current the first child node with this id whose value is the
    // GUID (type 13, 16 bytes); false if none.
    bool EnterNode(quint32 id, const QUuid& guid);
    // Makes the parent of the current node current (stays on the top level).
    void LeaveNode();

    // The first element with this id on the current level; id 0 is the
    // current node itself (nothing on the top level).
    const TKvSDFElement* FindElement(quint32 id) const;

    // Each read reports whether the element exists. A value whose type or
    // length does not fit the read leaves the destination unchanged.
    bool ReadInteger(quint32 id, qint32& value) const;
    bool ReadBoolean(quint32 id, bool& value) const;
    bool ReadWideString(quint32 id, QString& text) const;
    // True (and the bytes copied) only when the element's length is `size`.
    bool ReadBuffer(quint32 id, void* buffer, quint32 size) const;

private:
    void Parse();
    const TKvSDFItems& CurrentItems() const;
    bool ReadValue(const TKvSDFElement& element, QByteArray& value) const;

    QIODevice* m_stream;
    std::unique_ptr<QIODevice> m_ownedStream;
    TKvSDFItems m_items;
    TKvSDFNode* m_current = nullptr;
};
