// The title test as it stood before; see BaselineTextMatch.h.
#include "BaselineTextMatch.h"

#include <windows.h>

#include <climits>
#include <string>
#include <vector>

#include "Error.h"

namespace BaselineTextMatch {

namespace {

constexpr wchar_t WordSeparator = L' ';
constexpr char32_t AnyOneMark = U'?';
constexpr char32_t AnyRunMark = U'*';
constexpr char32_t DigitMark = U'#';
constexpr char32_t ListOpen = U'[';
constexpr char32_t ListClose = U']';
constexpr char32_t ListNegation = U'!';
constexpr char32_t RangeMark = U'-';
constexpr char32_t FirstDigit = U'0';
constexpr char32_t LastDigit = U'9';

constexpr char32_t SurrogateOffset = 0x10000;
constexpr unsigned SurrogateShift = 10;
constexpr char32_t SurrogatePayloadMask = 0x3FF;

bool IsHighSurrogate(wchar_t c) noexcept { return IS_HIGH_SURROGATE(c); }
bool IsLowSurrogate(wchar_t c) noexcept { return IS_LOW_SURROGATE(c); }

// The Win32 text functions take int lengths; a view that long cannot come
// from a window, so it is a caller's mistake rather than something to clip.
int ApiLength(std::wstring_view text, std::wstring_view source) {
    if (text.size() > static_cast<size_t>(INT_MAX)) platform::Raise(platform::errors::InvalidProcedureCall, source);
    return static_cast<int>(text.size());
}

// Both sides of a case-insensitive comparison go through this one mapping,
// so they agree whatever the locale does with a character. Uppercasing
// without linguistic casing keeps every unit where it was, so positions
// found in the copy hold for the original.
std::wstring Folded(std::wstring_view text) {
    std::wstring result(text);
    if (result.empty()) return result;
    const int length = ApiLength(text, L"TextMatch.Fold");
    if (::LCMapStringEx(LOCALE_NAME_USER_DEFAULT, LCMAP_UPPERCASE, text.data(), length, result.data(), length,
                        nullptr, nullptr, 0) != length) {
        // Only bad arguments make the mapping fail; the system's own table
        // is still better than comparing case-sensitively.
        result.assign(text);
        ::CharUpperBuffW(result.data(), static_cast<DWORD>(length));
    }
    return result;
}

// Code points, a surrogate pair making one; a lone surrogate stays a
// character of its own so that no unit of a title is ever dropped.
std::u32string CodePoints(std::wstring_view text) {
    std::u32string result;
    result.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const wchar_t unit = text[i];
        if (IsHighSurrogate(unit) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            const char32_t high = static_cast<char32_t>(unit) & SurrogatePayloadMask;
            const char32_t low = static_cast<char32_t>(text[i + 1]) & SurrogatePayloadMask;
            result.push_back(SurrogateOffset + ((high << SurrogateShift) | low));
            ++i;
        } else {
            result.push_back(static_cast<char32_t>(unit));
        }
    }
    return result;
}

// Whether a unit index falls between the two halves of a pair.
bool SplitsPair(std::wstring_view text, size_t index) noexcept {
    return index > 0 && index < text.size() && IsHighSurrogate(text[index - 1]) && IsLowSurrogate(text[index]);
}

size_t CharacterCount(std::wstring_view text) noexcept {
    size_t count = 0;
    for (size_t i = 0; i < text.size(); ++i)
        if (!SplitsPair(text, i)) ++count;
    return count;
}

// ---- Patterns ----------------------------------------------------------

enum class TokenKind { Literal, AnyOne, AnyRun, Digit, List };

struct Range {
    char32_t first;
    char32_t last;
};

struct Token {
    explicit Token(TokenKind k, char32_t c = 0) : kind(k), literal(c) {}

    TokenKind kind;
    char32_t literal;           // Literal
    bool negated = false;       // List
    std::vector<Range> ranges;  // List

    bool Takes(char32_t c) const noexcept {
        switch (kind) {
            case TokenKind::Literal: return c == literal;
            case TokenKind::AnyOne:
            case TokenKind::AnyRun: return true;
            case TokenKind::Digit: return c >= FirstDigit && c <= LastDigit;
            case TokenKind::List: {
                bool inList = false;
                for (const Range& r : ranges)
                    if (c >= r.first && c <= r.last) inList = true;
                return inList != negated;
            }
        }
        return false;
    }
};

// The inside of a list: single characters and ranges "a-z". A '-' that has
// no character on one side is itself; a reversed range holds nothing, which
// falls out of the comparison in Takes.
std::vector<Range> ParseList(std::u32string_view inside) {
    std::vector<Range> ranges;
    size_t i = 0;
    while (i < inside.size()) {
        if (i + 2 < inside.size() && inside[i + 1] == RangeMark) {
            ranges.push_back({inside[i], inside[i + 2]});
            i += 3;
        } else {
            ranges.push_back({inside[i], inside[i]});
            ++i;
        }
    }
    return ranges;
}

std::vector<Token> Compile(std::u32string_view pattern) {
    std::vector<Token> tokens;
    for (size_t i = 0; i < pattern.size(); ++i) {
        const char32_t c = pattern[i];
        if (c == AnyOneMark) {
            tokens.emplace_back(TokenKind::AnyOne);
        } else if (c == AnyRunMark) {
            // Adjacent runs say no more than one does.
            if (tokens.empty() || tokens.back().kind != TokenKind::AnyRun) tokens.emplace_back(TokenKind::AnyRun);
        } else if (c == DigitMark) {
            tokens.emplace_back(TokenKind::Digit);
        } else if (c == ListOpen) {
            const size_t close = pattern.find(ListClose, i + 1);
            if (close == std::u32string_view::npos) {
                // A list that never closes was meant as the bracket itself
                // ("[Draft* - Editor"); what follows keeps its meaning.
                tokens.emplace_back(TokenKind::Literal, c);
                continue;
            }
            std::u32string_view inside = pattern.substr(i + 1, close - i - 1);
            i = close;
            if (inside.empty()) continue;  // "[]": nothing to take, nothing to match
            Token list(TokenKind::List);
            if (inside.front() == ListNegation) {
                list.negated = true;
                inside.remove_prefix(1);
            }
            list.ranges = ParseList(inside);
            tokens.push_back(std::move(list));
        } else {
            tokens.emplace_back(TokenKind::Literal, c);
        }
    }
    return tokens;
}

// Every token position the matcher could be at is tracked at once, so a
// text is read a single time and no choice is ever retried: the cost is one
// pass over the tokens per character, whatever the pattern looks like.
class Matcher {
public:
    explicit Matcher(const std::vector<Token>& tokens)
        : tokens_(tokens), current_(tokens_.size() + 1), next_(tokens_.size() + 1) {
        current_[0] = true;
        Close(current_);
    }

    // False once no position survives; the rest of the text cannot help.
    bool Step(char32_t c) {
        next_.assign(next_.size(), false);
        bool any = false;
        for (size_t j = 0; j < tokens_.size(); ++j) {
            if (!current_[j] || !tokens_[j].Takes(c)) continue;
            // A run takes the character and stays open for more.
            next_[tokens_[j].kind == TokenKind::AnyRun ? j : j + 1] = true;
            any = true;
        }
        Close(next_);
        current_.swap(next_);
        return any;
    }

    bool Accepted() const { return current_[tokens_.size()]; }

private:
    // A run may also take nothing, so being before it is being after it.
    void Close(std::vector<bool>& states) const {
        for (size_t j = 0; j < tokens_.size(); ++j)
            if (states[j] && tokens_[j].kind == TokenKind::AnyRun) states[j + 1] = true;
    }

    const std::vector<Token>& tokens_;
    std::vector<bool> current_;
    std::vector<bool> next_;
};

}  // namespace

bool EqualsIgnoringCase(std::wstring_view a, std::wstring_view b) {
    if (a.empty() || b.empty()) return a.empty() && b.empty();
    constexpr std::wstring_view source = L"TextMatch.EqualsIgnoringCase";
    return ::CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.data(), ApiLength(a, source), b.data(),
                            ApiLength(b, source)) == CSTR_EQUAL;
}

namespace {

// Find over texts already folded alike (or both as they are).
size_t FindAsIs(std::wstring_view text, std::wstring_view what) {
    if (what.empty())
        platform::Raise(platform::errors::InvalidProcedureCall, L"There is no text to look for", L"TextMatch.Find");
    // An occurrence that starts or ends inside a pair is half a character,
    // not an occurrence.
    for (size_t at = text.find(what); at != std::wstring_view::npos; at = text.find(what, at + 1)) {
        if (!SplitsPair(text, at) && !SplitsPair(text, at + what.size())) return CharacterCount(text.substr(0, at)) + 1;
    }
    return 0;
}

}  // namespace

size_t Find(std::wstring_view text, std::wstring_view what, bool matchCase) {
    if (matchCase) return FindAsIs(text, what);
    return FindAsIs(Folded(text), Folded(what));
}

const std::wstring& TitleText::Folded() const {
    if (!folded_) folded_ = BaselineTextMatch::Folded(text_);
    return *folded_;
}

const std::u32string& TitleText::FoldedCodePoints() const {
    if (!foldedCodePoints_) foldedCodePoints_ = CodePoints(Folded());
    return *foldedCodePoints_;
}

struct CompiledPattern::Tokens {
    std::vector<Token> list;
};

CompiledPattern::CompiledPattern(std::wstring_view pattern)
    : tokens_(std::make_shared<const Tokens>(Tokens{Compile(CodePoints(Folded(pattern)))})) {}

bool CompiledPattern::Matches(std::wstring_view text) const { return Matches(TitleText(text)); }

bool CompiledPattern::Matches(const TitleText& text) const {
    Matcher matcher(tokens_->list);
    for (char32_t c : text.FoldedCodePoints())
        if (!matcher.Step(c)) return false;
    return matcher.Accepted();
}

bool MatchesPattern(std::wstring_view text, std::wstring_view pattern) { return CompiledPattern(pattern).Matches(text); }

bool TitleMatches(std::wstring_view title, std::wstring_view ruleTitle, int32_t searchOptions) {
    return TitleMatches(TitleText(title), ruleTitle, searchOptions);
}

bool TitleMatches(const TitleText& title, std::wstring_view ruleTitle, int32_t searchOptions) {
    return PreparedTitle(ruleTitle, searchOptions).Matches(title);
}

PreparedTitle::PreparedTitle(std::wstring_view ruleTitle, int32_t searchOptions)
    : text_(ruleTitle), options_(searchOptions), length_(CharacterCount(ruleTitle)) {
    if (text_.empty()) return;
    if (options_ & Pattern)
        pattern_.emplace(text_);
    else if (!(options_ & MatchCase))
        folded_ = Folded(text_);
}

bool PreparedTitle::Matches(const TitleText& title) const {
    if (text_.empty()) return true;
    if (pattern_) return pattern_->Matches(title);

    const size_t position = (options_ & MatchCase) ? FindAsIs(title.Text(), text_) : FindAsIs(title.Folded(), folded_);
    if (position == 0) return false;
    if (!(options_ & WholeWord)) return true;

    // Only the first occurrence counts: a later one that would stand as a
    // whole word does not rescue a title whose first one does not. Folding
    // keeps a space a space, so the folded characters serve as well.
    const std::u32string& characters = title.FoldedCodePoints();
    const size_t before = position - 1;       // 1-based position of the character before it
    const size_t after = position + length_;  // 1-based position of the character after it
    auto isSeparator = [&](size_t at) {
        return at >= 1 && at <= characters.size() && characters[at - 1] == WordSeparator;
    };

    if (before >= 1 && !isSeparator(before)) return false;
    if (after > characters.size()) return true;
    return isSeparator(after);
}

}  // namespace BaselineTextMatch
