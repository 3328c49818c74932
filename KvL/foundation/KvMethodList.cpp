#include "KvMethodList.h"

int TKvMethodList::Add(const TKvMethod& method, QObject* component)
{
    m_entries.push_back({method, component, m_nextSerial++});
    return Count() - 1;
}

int TKvMethodList::Remove(const TKvMethod& method)
{
    for (int i = Count() - 1; i >= 0; --i) {
        if (m_entries[static_cast<size_t>(i)].Method == method) {
            Delete(i);
            return i;
        }
    }
    return -1;
}

void TKvMethodList::Delete(int index)
{
    if (index >= 0 && index < Count())
        m_entries.erase(m_entries.begin() + index);
}

const TKvMethodList::Entry* TKvMethodList::FindSerial(quint64 serial) const
{
    for (const Entry& entry : m_entries)
        if (entry.Serial == serial)
            return &entry;
    return nullptr;
}

void TKvMethodList::CallAll() const
{
    std::vector<quint64> round;
    round.reserve(m_entries.size());
    for (const Entry& entry : m_entries)
        round.push_back(entry.Serial);
    for (quint64 serial : round) {
        const Entry* entry = FindSerial(serial);
        if (!entry)
            continue;
        // A copy: the call may delete this very entry.
        const Entry call = *entry;
        call.Method.Call(call.Component);
    }
}
