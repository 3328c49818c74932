// Method pointers and ordered lists of them: the registration lists behind
// the localizer's re-caption handlers, the application's idle handlers and
// its queue of posted calls.
#pragma once

#include <QtGlobal>

#include <memory>
#include <type_traits>
#include <vector>

class QObject;

// A bound member function: one object and one of its member functions. Two
// method pointers are equal when both the object and the member function are
// the same, so a registration can be undone by naming the same pair again.
// The called function receives the component the pointer was registered
// with (functions that need no argument may ignore it, or take none).
class TKvMethod {
public:
    TKvMethod() = default;

    template <class T>
    TKvMethod(T* object, void (T::*method)(QObject*))
        : m_bound(std::make_shared<Bound<T, void (T::*)(QObject*)>>(object, method))
    {
    }

    template <class T>
    TKvMethod(T* object, void (T::*method)())
        : m_bound(std::make_shared<Bound<T, void (T::*)()>>(object, method))
    {
    }

    bool IsEmpty() const { return !m_bound; }
    void Call(QObject* component) const
    {
        if (m_bound)
            m_bound->Call(component);
    }
    bool operator==(const TKvMethod& other) const
    {
        if (!m_bound || !other.m_bound)
            return !m_bound && !other.m_bound;
        return m_bound->SameAs(*other.m_bound);
    }

private:
    struct BoundBase {
        virtual ~BoundBase() = default;
        virtual void Call(QObject* component) const = 0;
        virtual bool SameAs(const BoundBase& other) const = 0;
    };

    template <class T, class F>
    struct Bound final : BoundBase {
        Bound(T* o, F m) : object(o), method(m) {}
        void Call(QObject* component) const override
        {
            if constexpr (std::is_invocable_v<F, T*, QObject*>)
                (object->*method)(component);
            else
                (object->*method)();
        }
        bool SameAs(const BoundBase& other) const override
        {
            auto* same = dynamic_cast<const Bound*>(&other);
            return same && same->object == object && same->method == method;
        }
        T* object;
        F method;
    };

    std::shared_ptr<const BoundBase> m_bound;
};

// An ordered list of (method, component) entries. Adding appends (the same
// pair may be added more than once); removing deletes the last entry whose
// method equals the given one.
class TKvMethodList {
public:
    struct Entry {
        TKvMethod Method;
        QObject* Component = nullptr;
        quint64 Serial = 0; // given by the list, unique within it
    };

    int Count() const { return static_cast<int>(m_entries.size()); }
    const Entry& Items(int index) const { return m_entries.at(static_cast<size_t>(index)); }

    // Appends the pair; returns its index.
    int Add(const TKvMethod& method, QObject* component = nullptr);
    // Deletes the last entry with this method; returns its index, or -1.
    int Remove(const TKvMethod& method);
    void Delete(int index);
    void Clear() { m_entries.clear(); }

    // Calls the entries in list order, each with its component. The entries
    // to call are fixed before the first call: a handler may add or remove
    // entries while this runs; added ones wait for the next round and
    // removed ones are not called any more.
    void CallAll() const;

private:
    const Entry* FindSerial(quint64 serial) const;

    std::vector<Entry> m_entries;
    quint64 m_nextSerial = 1;
};
