#pragma once
// How a rule's title and class texts are compared with a window's. Text is
// UTF-16 as the wide window functions return it; a character outside the
// basic plane (a surrogate pair) counts as one character everywhere here.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace TextMatch {

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

// What a folded title holds, in brief: which characters occur in it and,
// once more than one rule asks, which pairs of neighbouring characters. A
// rule whose text needs a character or a pair the title lacks is turned
// away without searching.
struct TitleSummary {
    static constexpr size_t PairWords = 16;
    // False when the title holds surrogates: then nothing is known and every
    // rule is tested in full.
    bool known = false;
    uint64_t characters = 0;  // a bit for each character, by its low bits
    uint64_t pairs[PairWords] = {};
};

// A window's title as many rules test it: it is folded (uppercased) once, in
// a buffer of its own that holds all but the longest titles, and summed up;
// its code points are made when a test first needs them. The viewed text
// must outlive the object.
class TitleText {
public:
    explicit TitleText(std::wstring_view text) noexcept : text_(text) {}
    TitleText(const TitleText&) = delete;
    TitleText& operator=(const TitleText&) = delete;

    std::wstring_view Text() const noexcept { return text_; }
    std::wstring_view Folded() const;
    bool IsFolded() const noexcept { return ready_; }
    const TitleSummary& Summary() const;
    // The summary's pairs, made at the second asking: for one rule they
    // would cost more than the search they spare. Null until then, and for
    // a summary that is not known.
    const uint64_t* Pairs() const;
    const std::u32string& FoldedCodePoints() const;

private:
    static constexpr size_t InlineUnits = 256;
    void Fold() const;

    std::wstring_view text_;
    mutable bool ready_ = false;
    mutable int pairAskings_ = 0;
    mutable std::wstring_view folded_;
    mutable TitleSummary summary_;
    mutable wchar_t inline_[InlineUnits];
    mutable std::wstring long_;
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

// What a title must hold for a rule's text to be found in it (internal).
struct Requirement;

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
    std::optional<CompiledPattern> pattern_;
    // What a title must hold to contain the text searched for.
    std::shared_ptr<const Requirement> needs_;
};

}  // namespace TextMatch
