#include "KvProperties.h"

#include <cstring>
#include <new>

void TKvCustomProperties::BlockFree::operator()(TKvPropertyEntry* entry) const
{
    ::operator delete(entry);
}

TKvCustomProperties::Block TKvCustomProperties::NewBlock(qint32 id, quint32 type, qint32 size,
                                                         const void* data)
{
    const size_t header = sizeof(TKvPropertyEntry);
    void* memory = ::operator new(header + static_cast<size_t>(size));
    auto* value = static_cast<char*>(memory) + header;
    Block block(new (memory) TKvPropertyEntry{id, size, type, value});
    if (size > 0)
        std::memcpy(value, data, static_cast<size_t>(size));
    return block;
}

TKvCustomProperties::TKvCustomProperties() = default;

TKvCustomProperties::~TKvCustomProperties()
{
    Clear();
}

void TKvCustomProperties::ReleaseEntry(TKvPropertyEntry*) {}

void TKvCustomProperties::Assign(const TKvCustomProperties* source)
{
    if (source == this)
        return;
    Clear();
    if (!source)
        return;
    for (const Block& entry : source->m_entries)
        SetValue(entry->Id, entry->Type, entry->Size, entry->Value);
}

int TKvCustomProperties::Count() const
{
    return static_cast<int>(m_entries.size());
}

TKvPropertyEntry* TKvCustomProperties::Items(int index) const
{
    if (index < 0 || index >= Count())
        return nullptr;
    return m_entries[static_cast<size_t>(index)].get();
}

int TKvCustomProperties::IndexOf(qint32 id) const
{
    for (int i = Count() - 1; i >= 0; --i)
        if (m_entries[static_cast<size_t>(i)]->Id == id)
            return i;
    return -1;
}

void TKvCustomProperties::SetValue(qint32 id, quint32 type, qint32 size, const void* data)
{
    if (size < 0 || (size > 0 && !data))
        return;
    Block block = NewBlock(id, type, size, data);
    const int index = IndexOf(id);
    if (index < 0) {
        m_entries.push_back(std::move(block));
        return;
    }
    Block& slot = m_entries[static_cast<size_t>(index)];
    ReleaseEntry(slot.get());
    slot = std::move(block);
}

void TKvCustomProperties::SetInteger(qint32 id, qint32 value)
{
    SetValue(id, propInteger, sizeof value, &value);
}

void TKvCustomProperties::SetDouble(qint32 id, double value)
{
    SetValue(id, propDouble, sizeof value, &value);
}

void TKvCustomProperties::SetString(qint32 id, const QByteArray& text)
{
    SetValue(id, propString, static_cast<qint32>(text.size()), text.constData());
}

void TKvCustomProperties::Remove(qint32 id)
{
    const int index = IndexOf(id);
    if (index < 0)
        return;
    ReleaseEntry(m_entries[static_cast<size_t>(index)].get());
    m_entries.erase(m_entries.begin() + index);
}

void TKvCustomProperties::Clear()
{
    for (Block& entry : m_entries)
        ReleaseEntry(entry.get());
    m_entries.clear();
}

namespace {

// The value of an entry as a T; a value too short for its type (a codec's
// item may carry these type codes with other sizes) gives no value rather
// than a read past it.
template <class T>
QVariant ValueAs(const TKvPropertyEntry& entry)
{
    if (entry.Size < qint32(sizeof(T)))
        return {};
    T value;
    std::memcpy(&value, entry.Value, sizeof value);
    return QVariant::fromValue(value);
}

} // namespace

QVariant TKvCustomProperties::GetAsVariant(int index) const
{
    const TKvPropertyEntry* entry = Items(index);
    if (!entry)
        return {};
    switch (entry->Type) {
    case propInteger:
        return ValueAs<qint32>(*entry);
    case propDouble:
        return ValueAs<double>(*entry);
    case propString:
        return QByteArray(static_cast<const char*>(entry->Value), entry->Size);
    default:
        return {};
    }
}
