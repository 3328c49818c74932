// Method pointers and their lists: equality, removal of the last match, and
// calling while handlers change the list.
#include "KvMethodList.h"

#include <QObject>

#include <gtest/gtest.h>

#include <vector>

namespace {

class Handler : public QObject {
public:
    void WithSender(QObject* sender) { calls.push_back(sender); }
    void WithoutSender() { calls.push_back(nullptr); }
    // Removes its own registration from the list while it runs.
    void RemoveSelf(QObject*)
    {
        calls.push_back(this);
        list->Remove(TKvMethod(this, &Handler::RemoveSelf));
    }
    void AddAnother(QObject*)
    {
        calls.push_back(this);
        list->Add(TKvMethod(this, &Handler::WithoutSender));
    }
    std::vector<QObject*> calls;
    TKvMethodList* list = nullptr;
};

} // namespace

TEST(Method, EqualWhenObjectAndFunctionAreTheSame)
{
    Handler a, b;
    EXPECT_EQ(TKvMethod(&a, &Handler::WithSender), TKvMethod(&a, &Handler::WithSender));
    EXPECT_FALSE(TKvMethod(&a, &Handler::WithSender) == TKvMethod(&b, &Handler::WithSender));
    EXPECT_FALSE(TKvMethod(&a, &Handler::WithSender) == TKvMethod(&a, &Handler::RemoveSelf));
    EXPECT_FALSE(TKvMethod(&a, &Handler::WithSender) == TKvMethod());
    EXPECT_EQ(TKvMethod(), TKvMethod());
}

TEST(MethodList, RemoveDeletesTheLastMatchOnly)
{
    Handler a, b;
    QObject first, second;
    TKvMethodList list;
    list.Add(TKvMethod(&a, &Handler::WithSender), &first);
    list.Add(TKvMethod(&b, &Handler::WithSender), &first);
    list.Add(TKvMethod(&a, &Handler::WithSender), &second);
    EXPECT_EQ(list.Remove(TKvMethod(&a, &Handler::WithSender)), 2);
    EXPECT_EQ(list.Remove(TKvMethod(&a, &Handler::WithoutSender)), -1);
    list.CallAll();
    EXPECT_EQ(a.calls, (std::vector<QObject*>{&first}));
    EXPECT_EQ(b.calls, (std::vector<QObject*>{&first}));
}

TEST(MethodList, HandlersMayChangeTheListWhileItIsCalled)
{
    Handler remover, adder, after;
    TKvMethodList list;
    remover.list = adder.list = &list;
    list.Add(TKvMethod(&remover, &Handler::RemoveSelf));
    list.Add(TKvMethod(&adder, &Handler::AddAnother));
    list.Add(TKvMethod(&after, &Handler::WithoutSender));
    list.CallAll();
    EXPECT_EQ(remover.calls.size(), 1u);
    EXPECT_EQ(adder.calls.size(), 1u) << "not skipped when an earlier entry goes";
    EXPECT_EQ(after.calls.size(), 1u);
    EXPECT_EQ(list.Count(), 3) << "adder's new entry waits for the next round";
    list.CallAll();
    EXPECT_EQ(remover.calls.size(), 1u);
    EXPECT_EQ(adder.calls.size(), 3u) << "its own entry, then the entry it added";
    EXPECT_EQ(list.Count(), 4);

    list.Clear();
    list.Add(TKvMethod(&remover, &Handler::RemoveSelf));
    list.Add(TKvMethod(&remover, &Handler::RemoveSelf));
    list.CallAll();
    EXPECT_EQ(remover.calls.size(), 2u) << "the second entry was removed by the first call";
}
