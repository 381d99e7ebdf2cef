// The title test as it stood before its prepared forms were made cheaper,
// kept under its own name for the bench to measure against. Never shipped.
#pragma once
// How a rule's title and class texts are compared with a window's. Text is
// UTF-16 as the wide window functions return it; a character outside the
// basic plane (a surrogate pair) counts as one character everywhere here.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace BaselineTextMatch {

// Bits of a rule's search options.
inline constexpr int32_t WholeWord = 1;
inline constexpr int32_t MatchCase = 2;
inline constexpr int32_t Pattern = 4;

// Whole strings, case-insensitive, as the user's locale compares text.
bool EqualsIgnoringCase(std::wstring_view a, std::wstring_view b);

// 1-based position (in characters) of the first occurrence of `what` in
// `text`, 0 when there is none. Without matchCase both texts are uppercased
// by the user's locale first. `what` must not be empty (an empty one raises
// InvalidProcedureCall); half of a surrogate pair is never an occurrence.
size_t Find(std::wstring_view text, std::wstring_view what, bool matchCase);

// The wildcard test against the whole text, ignoring case:
//   ?       any one character
//   *       any run of characters, also none
//   #       one ASCII digit 0-9 (not Arabic-Indic, fullwidth or other digits)
//   [list]  one character of the list; ranges such as a-z; a '-' first or
//           last stands for itself
//   [!list] one character not in the list
// Every other character stands for itself. A '[' without its ']' stands for
// itself, and what follows it keeps its meaning; "[]" matches no character and
// takes none; "[!]" takes any one. A reversed range such as "[z-a]" holds
// nothing. Case is ignored by uppercasing text and pattern alike, so ranges
// compare uppercased characters.
// Runs in time bounded by pattern length x text length, whatever the pattern.
bool MatchesPattern(std::wstring_view text, std::wstring_view pattern);

// A window's title as many rules test it: its uppercased form, and that form
// as code points, are made once, when a test first needs them. The viewed
// text must outlive the object.
class TitleText {
public:
    explicit TitleText(std::wstring_view text) noexcept : text_(text) {}
    std::wstring_view Text() const noexcept { return text_; }
    const std::wstring& Folded() const;
    const std::u32string& FoldedCodePoints() const;

private:
    std::wstring_view text_;
    mutable std::optional<std::wstring> folded_;
    mutable std::optional<std::u32string> foldedCodePoints_;
};

// A pattern made ready once, for testing many texts as MatchesPattern does.
class CompiledPattern {
public:
    explicit CompiledPattern(std::wstring_view pattern);
    bool Matches(std::wstring_view text) const;
    bool Matches(const TitleText& text) const;

private:
    struct Tokens;
    std::shared_ptr<const Tokens> tokens_;
};

// The title test of a rule: an empty `ruleTitle` passes; with the Pattern
// bit the whole title must match it as a pattern (the other bits are then
// ignored); otherwise the first occurrence of `ruleTitle` in `title` is
// looked for (with MatchCase, case-sensitively) and, with WholeWord, must be
// bounded by single spaces or the ends of the title. Only the first
// occurrence is examined, and only the space separates words.
bool TitleMatches(std::wstring_view title, std::wstring_view ruleTitle, int32_t searchOptions);
bool TitleMatches(const TitleText& title, std::wstring_view ruleTitle, int32_t searchOptions);

// A rule's title made ready once (folded, or compiled as a pattern) for the
// title test of many windows, as TitleMatches does it.
class PreparedTitle {
public:
    PreparedTitle(std::wstring_view ruleTitle, int32_t searchOptions);
    bool Matches(const TitleText& title) const;
    // What it was made from.
    const std::wstring& RuleTitle() const noexcept { return text_; }
    int32_t SearchOptions() const noexcept { return options_; }

private:
    std::wstring text_;
    std::wstring folded_;
    int32_t options_;
    size_t length_;
    std::optional<CompiledPattern> pattern_;
};

}  // namespace BaselineTextMatch
