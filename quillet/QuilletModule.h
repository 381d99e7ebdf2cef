#pragma once
// Start-up of the menu component and the few routines its classes share: the
// component's one failure, the upper-casing used for accelerators and
// shortcuts, and reading a client's collection index (a name or a position).
#include <windows.h>
#include <oaidl.h>

#include <optional>
#include <string>
#include <string_view>

#include "KeyedCollection.h"

namespace QuilletModule {

// Runs once per thread before the thread's first component object is made:
// failures the component's guards catch go to its own exception log.
void Startup() noexcept;

// The component's own failure: one number for every refusal, the class and
// member as source ("Quillet.Attach").
[[noreturn]] void Fail(std::wstring_view source);

// Upper case as the system maps it for the user's language, so that an
// accelerator typed on any keyboard matches the caption's letter.
wchar_t UpperCase(wchar_t character) noexcept;
std::wstring UpperCase(std::wstring_view text);

// An optional argument the client left out (or passed as Empty).
bool Omitted(const VARIANT& value) noexcept;

// What a client's index names: a text is a key, a number a 1-based position.
struct Index {
    std::wstring key;
    int32_t position = 0;
    bool byKey = false;
};
// Nothing for a value that is neither (an object, Null, a missing argument).
std::optional<Index> ReadIndex(const VARIANT& value);

// The position the index names in the collection; 0 when it names nothing.
template <class T>
int PositionOf(const platform::KeyedCollection<T>& items, const VARIANT& value) {
    const std::optional<Index> index = ReadIndex(value);
    if (!index) return 0;
    if (index->byKey) return items.IndexOf(index->key);
    return index->position >= 1 && index->position <= items.Count() ? index->position : 0;
}

// The key of the entry the index names; nothing when it names none. A name
// is looked up by key alone, so no position need be worked out for it.
template <class T>
std::optional<std::wstring> KeyOf(const platform::KeyedCollection<T>& items, const VARIANT& value) {
    const std::optional<Index> index = ReadIndex(value);
    if (!index) return std::nullopt;
    if (index->byKey) return items.Exists(index->key) ? std::optional<std::wstring>(index->key) : std::nullopt;
    if (index->position < 1 || index->position > items.Count()) return std::nullopt;
    return items.Key(index->position);
}

}  // namespace QuilletModule
