#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "KeyedCollection.h"

namespace {

using Items = platform::KeyedCollection<int>;

int NumberRaisedBy(const std::function<void()>& action) {
    try {
        action();
    } catch (const platform::Error& e) {
        return e.Number();
    }
    return 0;
}

// The keys in order; fails the test when a key is not found where it is listed.
std::vector<std::wstring> KeysFoundInPlace(const Items& items) {
    std::vector<std::wstring> keys;
    for (int i = 1; i <= items.Count(); ++i) {
        keys.push_back(items.Key(i));
        EXPECT_EQ(items.IndexOf(items.Key(i)), i);
        EXPECT_EQ(items.Find(items.Key(i)), &items.Item(i));
    }
    return keys;
}

}  // namespace

TEST(KeyedCollection, KeysIgnoreCaseIncludingNonAsciiLetters) {
    Items items;
    items.Add(L"Alpha", 1);
    items.Add(L"\u00C4BC", 2);            // ÄBC
    items.Add(L"\u0416\u0443\u043A", 3);  // Жук
    for (const wchar_t* key : {L"ALPHA", L"\u00E4bc", L"\u0436\u0423\u041A"}) {
        ASSERT_NE(items.Find(key), nullptr) << platform::Narrow(key);
        EXPECT_TRUE(items.Exists(key));
    }
    EXPECT_EQ(*items.Find(L"\u00E4bc"), 2);
    EXPECT_EQ(items.Key(2), L"\u00C4BC");  // spelled as added

    for (auto add : {+[](Items& c) { c.Add(L"\u00E4bc", 9); }, +[](Items& c) { c.AddBefore(1, L"alpha", 9); },
                     +[](Items& c) { c.AddAfter(3, L"ALPHA", 9); }})
        EXPECT_EQ(NumberRaisedBy([&] { add(items); }), platform::errors::DuplicateKey);
    EXPECT_EQ(KeysFoundInPlace(items), (std::vector<std::wstring>{L"Alpha", L"\u00C4BC", L"\u0416\u0443\u043A"}));
}

TEST(KeyedCollection, AbsentKeysAndPositionsOutOfRange) {
    Items items;
    EXPECT_EQ(items.Find(L"x"), nullptr);
    EXPECT_EQ(NumberRaisedBy([&] { items.Item(1); }), platform::errors::SubscriptOutOfRange);
    items.Add(L"a", 1);
    items.Add(L"b", 2);
    EXPECT_EQ(items.Find(L"c"), nullptr);
    EXPECT_EQ(items.IndexOf(L"c"), 0);
    EXPECT_FALSE(items.Exists(L"c"));
    for (int position : {0, -1, 3}) {
        EXPECT_EQ(NumberRaisedBy([&] { items.Item(position); }), platform::errors::SubscriptOutOfRange) << position;
        EXPECT_EQ(NumberRaisedBy([&] { items.Remove(position); }), platform::errors::SubscriptOutOfRange);
        EXPECT_EQ(NumberRaisedBy([&] { items.AddBefore(position, L"n", 0); }), platform::errors::SubscriptOutOfRange);
        EXPECT_EQ(NumberRaisedBy([&] { items.AddAfter(position, L"n", 0); }), platform::errors::SubscriptOutOfRange);
    }
    EXPECT_NE(NumberRaisedBy([&] { items.Remove(L"c"); }), 0);
    EXPECT_EQ(KeysFoundInPlace(items), (std::vector<std::wstring>{L"a", L"b"}));
}

TEST(KeyedCollection, InsertAndRemoveKeepPositionsAndLookupsInStep) {
    Items items;
    items.Add(L"b", 2);
    items.AddBefore(1, L"a", 1);  // a b
    items.AddAfter(2, L"d", 4);   // a b d
    items.AddAfter(2, L"c", 3);   // a b c d
    items.AddBefore(4, L"x", 0);  // a b c x d
    EXPECT_EQ(KeysFoundInPlace(items), (std::vector<std::wstring>{L"a", L"b", L"c", L"x", L"d"}));
    EXPECT_EQ(items.Snapshot(), (std::vector<int>{1, 2, 3, 0, 4}));

    items.Remove(L"X");
    items.Remove(1);
    EXPECT_EQ(items.Find(L"a"), nullptr);
    EXPECT_EQ(KeysFoundInPlace(items), (std::vector<std::wstring>{L"b", L"c", L"d"}));
    items.AddBefore(2, L"A", 10);  // a removed key can come back anywhere
    EXPECT_EQ(KeysFoundInPlace(items), (std::vector<std::wstring>{L"b", L"A", L"c", L"d"}));

    // The snapshot is a copy that later changes leave alone.
    auto snapshot = items.Snapshot();
    items.Item(1) = 99;
    items.Remove(L"c");
    EXPECT_EQ(snapshot, (std::vector<int>{2, 10, 3, 4}));
    EXPECT_EQ(items.Snapshot(), (std::vector<int>{99, 10, 4}));

    items.Clear();
    EXPECT_EQ(items.Find(L"b"), nullptr);
    items.Add(L"B", 5);
    EXPECT_EQ(KeysFoundInPlace(items), (std::vector<std::wstring>{L"B"}));
}

TEST(KeyedCollection, MovesByKeyAndCopiesKeepOrderPositionsAndLookupsInStep) {
    Items items;
    for (int n = 1; n <= 6; ++n) items.Add(L"k" + std::to_wstring(n), n);
    // Each placed just after "k1", as a list places every entry under its header.
    for (const wchar_t* key : {L"k4", L"K6", L"k3"}) EXPECT_TRUE(items.MoveAfter(key, L"k1"));
    EXPECT_TRUE(items.MoveBefore(L"k1", L"k5"));
    EXPECT_EQ(KeysFoundInPlace(items), (std::vector<std::wstring>{L"k3", L"k6", L"k4", L"k2", L"k1", L"k5"}));
    // Absent keys and a key beside itself move nothing.
    EXPECT_FALSE(items.MoveAfter(L"k9", L"k1"));
    EXPECT_FALSE(items.MoveBefore(L"k1", L"k9"));
    EXPECT_FALSE(items.MoveAfter(L"k1", L"K1"));
    EXPECT_TRUE(items.MoveBefore(L"k2", L"k1"));  // already there
    // Positions asked for between changes follow each one.
    items.AddBefore(items.IndexOf(L"k4"), L"new", 7);
    items.Remove(items.IndexOf(L"k6"));
    items.MoveAfter(L"k3", L"k5");
    EXPECT_EQ(KeysFoundInPlace(items), (std::vector<std::wstring>{L"new", L"k4", L"k2", L"k1", L"k5", L"k3"}));
    EXPECT_EQ(items.Snapshot(), (std::vector<int>{7, 4, 2, 1, 5, 3}));

    // A copy has entries and an index of its own.
    Items copy = items;
    copy.MoveBefore(L"k3", L"new");
    *copy.Find(L"k1") = 100;
    copy.Remove(L"k4");
    EXPECT_EQ(KeysFoundInPlace(copy), (std::vector<std::wstring>{L"k3", L"new", L"k2", L"k1", L"k5"}));
    EXPECT_EQ(KeysFoundInPlace(items), (std::vector<std::wstring>{L"new", L"k4", L"k2", L"k1", L"k5", L"k3"}));
    EXPECT_EQ(*items.Find(L"k1"), 1);
    items = copy;
    EXPECT_EQ(items.Snapshot(), (std::vector<int>{3, 7, 2, 100, 5}));
    EXPECT_EQ(NumberRaisedBy([&] { items.Add(L"K3", 0); }), platform::errors::DuplicateKey);
}
