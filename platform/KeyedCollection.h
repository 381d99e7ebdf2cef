#pragma once
// The ordered collection keyed by text used throughout: insertion order is
// kept, keys compare without regard to case, positions are 1-based, items can
// be inserted before or after a position, and looking up an absent key
// answers "none" (nullptr) instead of failing.
#include <string>
#include <string_view>
#include <memory>
#include <unordered_map>
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

    int Count() const noexcept { return static_cast<int>(entries_.size()); }
    bool Empty() const noexcept { return entries_.empty(); }

    // Appends; a key already present raises the duplicate-key failure.
    T& Add(std::wstring key, T value) { return InsertAt(entries_.size(), std::move(key), std::move(value)); }
    T& AddBefore(int position, std::wstring key, T value) {
        CheckPosition(position, L"Add");
        return InsertAt(static_cast<size_t>(position - 1), std::move(key), std::move(value));
    }
    T& AddAfter(int position, std::wstring key, T value) {
        CheckPosition(position, L"Add");
        return InsertAt(static_cast<size_t>(position), std::move(key), std::move(value));
    }

    bool Exists(std::wstring_view key) const { return index_.count(ToLower(key)) != 0; }

    T* Find(std::wstring_view key) {
        auto it = index_.find(ToLower(key));
        return it == index_.end() ? nullptr : std::addressof(entries_[it->second].value);
    }
    const T* Find(std::wstring_view key) const { return const_cast<KeyedCollection*>(this)->Find(key); }

    // 0 when the key is absent.
    int IndexOf(std::wstring_view key) const {
        auto it = index_.find(ToLower(key));
        return it == index_.end() ? 0 : static_cast<int>(it->second) + 1;
    }

    T& Item(int position) {
        CheckPosition(position, L"Item");
        return entries_[static_cast<size_t>(position - 1)].value;
    }
    const T& Item(int position) const { return const_cast<KeyedCollection*>(this)->Item(position); }
    const std::wstring& Key(int position) const {
        CheckPosition(position, L"Key");
        return entries_[static_cast<size_t>(position - 1)].key;
    }

    // Removing an absent key or position raises; use Exists/Find first where absence is normal.
    void Remove(std::wstring_view key) {
        int position = IndexOf(key);
        if (position == 0) Raise(errors::InvalidProcedureCall, L"Collection.Remove");
        Remove(position);
    }
    void Remove(int position) {
        CheckPosition(position, L"Remove");
        index_.erase(ToLower(entries_[static_cast<size_t>(position - 1)].key));
        entries_.erase(entries_.begin() + (position - 1));
        Reindex(static_cast<size_t>(position - 1));
    }
    void Clear() noexcept {
        entries_.clear();
        index_.clear();
    }

    // A copy of the values, for walking the collection while it changes.
    std::vector<T> Snapshot() const {
        std::vector<T> values;
        values.reserve(entries_.size());
        for (const auto& entry : entries_) values.push_back(entry.value);
        return values;
    }

    auto begin() noexcept { return entries_.begin(); }
    auto end() noexcept { return entries_.end(); }
    auto begin() const noexcept { return entries_.begin(); }
    auto end() const noexcept { return entries_.end(); }

private:
    void CheckPosition(int position, std::wstring_view member) const {
        if (position < 1 || position > Count()) Raise(errors::SubscriptOutOfRange, L"Collection." + std::wstring(member));
    }

    T& InsertAt(size_t at, std::wstring key, T value) {
        std::wstring folded = ToLower(key);
        if (index_.count(folded)) Raise(errors::DuplicateKey, L"Collection.Add");
        entries_.insert(entries_.begin() + static_cast<std::ptrdiff_t>(at), Entry{std::move(key), std::move(value)});
        index_.emplace(std::move(folded), at);
        Reindex(at + 1);
        return entries_[at].value;
    }

    // Positions from `from` on have moved: bring the key index up to date.
    void Reindex(size_t from) {
        for (size_t i = from; i < entries_.size(); ++i) index_[ToLower(entries_[i].key)] = i;
    }

    std::vector<Entry> entries_;
    std::unordered_map<std::wstring, size_t> index_;
};

}  // namespace platform
