#pragma once
// The ordered collection keyed by text used throughout: insertion order is
// kept, keys compare without regard to case, positions are 1-based, items can
// be inserted before or after a position, and looking up an absent key
// answers "none" (nullptr) instead of failing.
//
// Entries live in a linked list that the key index points into, so adding,
// removing and moving an entry next to another one by key cost the same
// however long the collection is. Positions are worked out again only when
// one is asked for after the order changed (appending and taking the last
// entry keep them as they are), so a list filled and rearranged by keys and
// then walked costs one pass.
#include <iterator>
#include <list>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "Error.h"
#include "Strings.h"

namespace platform {

template <class T>
class KeyedCollection {
public:
    struct Entry {
        std::wstring key;
        T value;
    };

private:
    struct Node : Entry {
        Node(std::wstring key, T value) : Entry{std::move(key), std::move(value)} {}
        mutable int position = 0;  // 1-based; current while the order is
    };
    using List = std::list<Node>;
    using NodeIterator = typename List::iterator;

public:
    KeyedCollection() = default;
    KeyedCollection(const KeyedCollection& other) {
        for (const Node& node : other.entries_) InsertBefore(entries_.end(), node.key, node.value);
    }
    KeyedCollection& operator=(const KeyedCollection& other) {
        if (this != &other) {
            KeyedCollection copy(other);
            *this = std::move(copy);
        }
        return *this;
    }
    // A list's nodes, and with them the index's iterators, move with it.
    KeyedCollection(KeyedCollection&&) noexcept = default;
    KeyedCollection& operator=(KeyedCollection&&) noexcept = default;

    int Count() const noexcept { return static_cast<int>(entries_.size()); }
    bool Empty() const noexcept { return entries_.empty(); }

    // Appends; a key already present raises the duplicate-key failure.
    T& Add(std::wstring key, T value) { return InsertBefore(entries_.end(), std::move(key), std::move(value)); }
    T& AddBefore(int position, std::wstring key, T value) {
        CheckPosition(position, L"Add");
        return InsertBefore(IteratorAt(position), std::move(key), std::move(value));
    }
    T& AddAfter(int position, std::wstring key, T value) {
        CheckPosition(position, L"Add");
        return InsertBefore(std::next(IteratorAt(position)), std::move(key), std::move(value));
    }

    // Takes the entry under `key` out and puts it back just before (or just
    // after) the entry under `anchor`, in one step. False, and nothing moves,
    // when either key is absent or both are the same.
    bool MoveBefore(std::wstring_view key, std::wstring_view anchor) { return MoveNextTo(key, anchor, true); }
    bool MoveAfter(std::wstring_view key, std::wstring_view anchor) { return MoveNextTo(key, anchor, false); }

    bool Exists(std::wstring_view key) const { return index_.count(ToLower(key)) != 0; }

    T* Find(std::wstring_view key) {
        auto it = index_.find(ToLower(key));
        return it == index_.end() ? nullptr : std::addressof(it->second->value);
    }
    const T* Find(std::wstring_view key) const { return const_cast<KeyedCollection*>(this)->Find(key); }

    // 0 when the key is absent.
    int IndexOf(std::wstring_view key) const {
        auto it = index_.find(ToLower(key));
        if (it == index_.end()) return 0;
        NumberPositions();
        return it->second->position;
    }

    T& Item(int position) {
        CheckPosition(position, L"Item");
        return const_cast<Node&>(NodeAt(position)).value;
    }
    const T& Item(int position) const { return const_cast<KeyedCollection*>(this)->Item(position); }
    const std::wstring& Key(int position) const {
        CheckPosition(position, L"Key");
        return NodeAt(position).key;
    }

    // Removing an absent key or position raises; use Exists/Find first where absence is normal.
    void Remove(std::wstring_view key) {
        auto it = index_.find(ToLower(key));
        if (it == index_.end()) Raise(errors::InvalidProcedureCall, L"Collection.Remove");
        Erase(it);
    }
    void Remove(int position) {
        CheckPosition(position, L"Remove");
        Erase(index_.find(ToLower(NodeAt(position).key)));
    }
    void Clear() noexcept {
        entries_.clear();
        index_.clear();
        order_.clear();
        numbered_ = true;
    }

    // A copy of the values, for walking the collection while it changes.
    std::vector<T> Snapshot() const {
        std::vector<T> values;
        values.reserve(entries_.size());
        for (const auto& entry : entries_) values.push_back(entry.value);
        return values;
    }

    // Entries in order, each with its `key` and `value`.
    auto begin() noexcept { return entries_.begin(); }
    auto end() noexcept { return entries_.end(); }
    auto begin() const noexcept { return entries_.cbegin(); }
    auto end() const noexcept { return entries_.cend(); }

private:
    void CheckPosition(int position, std::wstring_view member) const {
        if (position < 1 || position > Count()) Raise(errors::SubscriptOutOfRange, L"Collection." + std::wstring(member));
    }

    T& InsertBefore(NodeIterator where, std::wstring key, T value) {
        std::wstring folded = ToLower(key);
        if (index_.count(folded)) Raise(errors::DuplicateKey, L"Collection.Add");
        const bool appended = where == entries_.end();
        const NodeIterator node = entries_.emplace(where, std::move(key), std::move(value));
        try {
            index_.emplace(std::move(folded), node);
        } catch (...) {
            entries_.erase(node);
            throw;
        }
        // An entry at the end leaves every position before it as it was.
        if (appended && numbered_) {
            order_.push_back(&*node);
            node->position = Count();
        } else {
            numbered_ = false;
        }
        return node->value;
    }

    void Erase(typename std::unordered_map<std::wstring, NodeIterator>::iterator found) {
        const NodeIterator node = found->second;
        const bool last = std::next(node) == entries_.end();
        index_.erase(found);
        entries_.erase(node);
        if (last && numbered_)
            order_.pop_back();
        else
            numbered_ = false;
    }

    bool MoveNextTo(std::wstring_view key, std::wstring_view anchor, bool before) {
        const auto moving = index_.find(ToLower(key));
        const auto beside = index_.find(ToLower(anchor));
        if (moving == index_.end() || beside == index_.end() || moving == beside) return false;
        const NodeIterator target = before ? beside->second : std::next(beside->second);
        if (target != moving->second) entries_.splice(target, entries_, moving->second);
        numbered_ = false;
        return true;
    }

    // Positions are numbered afresh after the order changed.
    void NumberPositions() const {
        if (numbered_) return;
        order_.clear();
        order_.reserve(entries_.size());
        int position = 0;
        for (const Node& node : entries_) {
            node.position = ++position;
            order_.push_back(&node);
        }
        numbered_ = true;
    }

    const Node& NodeAt(int position) const {
        NumberPositions();
        return *order_[static_cast<size_t>(position - 1)];
    }
    NodeIterator IteratorAt(int position) { return index_.find(ToLower(NodeAt(position).key))->second; }

    List entries_;
    std::unordered_map<std::wstring, NodeIterator> index_;
    // The entries by position; a const lookup may number them afresh.
    mutable std::vector<const Node*> order_;
    mutable bool numbered_ = true;
};

}  // namespace platform
