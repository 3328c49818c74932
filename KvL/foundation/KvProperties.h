// Property sets: small ordered containers of identified, typed byte values.
// They carry the parameters of a demonstration-script line (ids 0, 1, 2 ...
// in order) and the metadata items of a picture.
#pragma once

#include <QByteArray>
#include <QVariant>
#include <QtGlobal>

#include <memory>
#include <vector>

// One entry: a header laid out like an image codec's metadata item (id,
// size, type, address of the value) followed, in the same memory block, by
// the value bytes. `Value` points just past the header, wherever the host's
// pointer size puts it.
struct TKvPropertyEntry {
    qint32 Id;
    qint32 Size;
    quint32 Type;
    void* Value;
};

// Type codes the set's own setters write. Metadata items keep the codec's
// type codes unchanged.
enum TKvPropertyType : quint32 {
    propInteger = 5, // 32-bit signed
    propDouble = 10, // 64-bit IEEE
    propString = 11, // 8-bit text, no terminator
};

// A set of entries with unique ids, in insertion order. Pointers to entries
// and to their values stay valid until the entry is replaced or removed or
// the set is cleared.
class TKvCustomProperties {
public:
    TKvCustomProperties();
    virtual ~TKvCustomProperties();
    TKvCustomProperties(const TKvCustomProperties&) = delete;
    TKvCustomProperties& operator=(const TKvCustomProperties&) = delete;

    // Called before an entry's block is freed or reallocated.
    virtual void ReleaseEntry(TKvPropertyEntry* entry);
    // Replaces the contents by a deep copy of the source (nil only clears).
    virtual void Assign(const TKvCustomProperties* source);

    int Count() const;
    // The entry at that position; none outside the list.
    TKvPropertyEntry* Items(int index) const;
    // Position of the entry with that id (searched from the last entry), -1.
    int IndexOf(qint32 id) const;

    // Stores a copy of `size` bytes under the id. An existing entry keeps
    // its position and takes the new type and size. A negative size stores
    // nothing.
    void SetValue(qint32 id, quint32 type, qint32 size, const void* data);
    void SetInteger(qint32 id, qint32 value);
    void SetDouble(qint32 id, double value);
    void SetString(qint32 id, const QByteArray& text);
    void Remove(qint32 id);
    void Clear();

    // Integer, double or string (the exact bytes, as a QByteArray) for the
    // set's own types; an invalid variant for other types and bad indexes.
    QVariant GetAsVariant(int index) const;

private:
    struct BlockFree {
        void operator()(TKvPropertyEntry* entry) const;
    };
    using Block = std::unique_ptr<TKvPropertyEntry, BlockFree>;
    static Block NewBlock(qint32 id, quint32 type, qint32 size, const void* data);

    std::vector<Block> m_entries;
};

// The concrete property set.
class TKvProperties : public TKvCustomProperties {
};
