#include "TextMatch.h"

#include <windows.h>

#include <emmintrin.h>

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

#include "Error.h"

namespace TextMatch {

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

// The locale's uppercase of one call, as the system makes it.
bool MapUppercase(std::wstring_view text, wchar_t* into) {
    const int length = ApiLength(text, L"TextMatch.Fold");
    return ::LCMapStringEx(LOCALE_NAME_USER_DEFAULT, LCMAP_UPPERCASE, text.data(), length, into, length, nullptr,
                           nullptr, 0) == length;
}

// A title's summary: a bit for each character by its low bits (after
// folding, ASCII letters and digits get bits of their own), and a bit for
// each pair of neighbours, hashed.
constexpr unsigned AsciiLimit = 128;
constexpr unsigned WordBits = 64;
constexpr unsigned HashBits = 32;
constexpr unsigned PairHashBits = 10;
constexpr uint32_t HashFactor = 0x9E3779B1u;
constexpr unsigned UnitBits = 16;
static_assert(TitleSummary::PairWords * WordBits == 1u << PairHashBits);

constexpr uint64_t Bit(unsigned index) noexcept { return uint64_t{1} << (index % WordBits); }
constexpr unsigned PairHash(wchar_t first, wchar_t second) noexcept {
    return (((static_cast<uint32_t>(first) << UnitBits) | second) * HashFactor) >> (HashBits - PairHashBits);
}

bool IsSurrogate(wchar_t unit) noexcept { return IsHighSurrogate(unit) || IsLowSurrogate(unit); }

uint64_t CharacterBits(std::wstring_view folded) noexcept {
    uint64_t bits = 0;
    for (wchar_t unit : folded) bits |= Bit(unit);
    return bits;
}

void AddPairs(std::wstring_view folded, uint64_t* pairs) noexcept {
    for (size_t i = 1; i < folded.size(); ++i) {
        // A run of one character is one pair; setting its bit again and
        // again would only wait on the last store.
        if (i > 1 && folded[i] == folded[i - 1] && folded[i - 1] == folded[i - 2]) continue;
        const unsigned hash = PairHash(folded[i - 1], folded[i]);
        pairs[hash / WordBits] |= Bit(hash);
    }
}

// The whole summary of text already folded; unknown when it has surrogates.
TitleSummary SummaryOf(std::wstring_view folded) noexcept {
    TitleSummary summary;
    for (wchar_t unit : folded)
        if (IsSurrogate(unit)) return summary;
    summary.known = true;
    summary.characters = CharacterBits(folded);
    AddPairs(folded, summary.pairs);
    return summary;
}

// Uppercasing without linguistic casing maps each unit of the basic plane
// on its own, so the system's answer for every such unit, asked once, folds
// any title of them by lookup; asking the system per title costs several
// times more than the tests the folded title is then put to.
constexpr size_t UnitCount = 0x10000;
constexpr size_t BlockUnits = sizeof(__m128i) / sizeof(wchar_t);
constexpr wchar_t CaseDistance = L'a' - L'A';

class FoldTable {
public:
    FoldTable() : units_(UnitCount) {
        std::wstring plane(UnitCount, L'\0');
        for (size_t unit = 0; unit < UnitCount; ++unit) plane[unit] = static_cast<wchar_t>(unit);
        // Surrogates are not characters by themselves; they stay out of the
        // table and texts holding any go to the system whole.
        constexpr size_t firstSurrogate = 0xD800;
        constexpr size_t pastSurrogates = 0xE000;
        const std::wstring_view all(plane);
        ready_ = MapUppercase(all.substr(0, firstSurrogate), units_.data()) &&
                 MapUppercase(all.substr(pastSurrogates), units_.data() + pastSurrogates);
        plainAscii_ = ready_;
        for (wchar_t unit = 0; unit < AsciiLimit; ++unit) {
            const bool lower = unit >= L'a' && unit <= L'z';
            plainAscii_ = plainAscii_ && units_[unit] == (lower ? unit - CaseDistance : unit);
        }
    }

    // Folds into `into`, as long as the text. False when the text needs the
    // system itself.
    bool Fold(std::wstring_view text, wchar_t* into) const noexcept {
        if (!ready_) return false;
        for (size_t i = 0; i < text.size();) {
            if (plainAscii_) i += FoldAscii(text.substr(i), into + i);
            // A block with some other unit in it, or the last few units.
            for (const size_t end = std::min(text.size(), i + BlockUnits); i < end; ++i) {
                if (IsSurrogate(text[i])) return false;
                into[i] = units_[static_cast<size_t>(text[i])];
            }
        }
        return true;
    }

private:
    // Blocks of ASCII, uppercased the way every locale does it (the table
    // was found to agree), a block at a time; stops at the first block with
    // another unit. Returns the units folded.
    static size_t FoldAscii(std::wstring_view text, wchar_t* into) noexcept {
        const __m128i beyondAscii = _mm_set1_epi16(static_cast<short>(~(AsciiLimit - 1)));
        const __m128i beforeLower = _mm_set1_epi16(L'a' - 1);
        const __m128i afterLower = _mm_set1_epi16(L'z' + 1);
        const __m128i distance = _mm_set1_epi16(CaseDistance);
        constexpr int allEqual = 0xFFFF;
        size_t i = 0;
        for (; i + BlockUnits <= text.size(); i += BlockUnits) {
            const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i));
            const __m128i outside = _mm_and_si128(units, beyondAscii);
            if (_mm_movemask_epi8(_mm_cmpeq_epi16(outside, _mm_setzero_si128())) != allEqual) break;
            const __m128i lower = _mm_and_si128(_mm_cmpgt_epi16(units, beforeLower), _mm_cmplt_epi16(units, afterLower));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(into + i), _mm_sub_epi16(units, _mm_and_si128(lower, distance)));
        }
        return i;
    }

    std::vector<wchar_t> units_;
    bool ready_ = false;
    bool plainAscii_ = false;
};

// Both sides of a case-insensitive comparison go through this one mapping,
// so they agree whatever the locale does with a character. Uppercasing
// without linguistic casing keeps every unit where it was, so positions
// found in the copy hold for the original. Returns whether the text was
// folded unit by unit, the way a summary's characters assume.
bool FoldInto(std::wstring_view text, wchar_t* into) {
    if (text.empty()) return true;
    static const FoldTable table;
    if (table.Fold(text, into)) return true;
    if (!MapUppercase(text, into)) {
        // Only bad arguments make the mapping fail; the system's own table
        // is still better than comparing case-sensitively.
        text.copy(into, text.size());
        ::CharUpperBuffW(into, static_cast<DWORD>(text.size()));
    }
    return false;
}

std::wstring Folded(std::wstring_view text) {
    std::wstring result(text.size(), L'\0');
    FoldInto(text, result.data());
    return result;
}

// The first occurrence of `what` in `text` at or after `from`, npos when
// there is none. Blocks of starting places are tried at once by their first
// and last units, so most of the text is passed over a block at a time.
size_t Search(std::wstring_view text, std::wstring_view what, size_t from) noexcept {
    constexpr size_t none = std::wstring_view::npos;
    const size_t length = what.size();
    if (from > text.size() || text.size() - from < length) return none;
    if (length == 0) return from;
    const size_t lastStart = text.size() - length;
    const auto rest = [&](size_t at) {
        return length < 2 || std::char_traits<wchar_t>::compare(text.data() + at + 1, what.data() + 1, length - 2) == 0;
    };
    const __m128i first = _mm_set1_epi16(static_cast<short>(what.front()));
    const __m128i last = _mm_set1_epi16(static_cast<short>(what.back()));
    constexpr unsigned maskPerUnit = 3;  // a unit's two bytes
    size_t at = from;
    for (; at + BlockUnits - 1 <= lastStart; at += BlockUnits) {
        const __m128i starts = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + at));
        const __m128i ends = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + at + length - 1));
        unsigned found =
            static_cast<unsigned>(_mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi16(starts, first), _mm_cmpeq_epi16(ends, last))));
        while (found) {
            const unsigned bit = static_cast<unsigned>(__builtin_ctz(found));
            if (rest(at + bit / 2)) return at + bit / 2;
            found &= ~(maskPerUnit << bit);
        }
    }
    for (; at <= lastStart; ++at)
        if (text[at] == what.front() && text[at + length - 1] == what.back() && rest(at)) return at;
    return none;
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

// A pattern cut by its runs into segments of one-character tokens, for
// titles without surrogates, where a unit is a character. Such a pattern
// matches when its first segment matches the title's start (unless a run
// comes first), its last the end (unless a run comes last), and each one
// between is found after the one before: the leftmost place for each leaves
// the most room for the rest, so no place is ever tried again, and the cost
// is at most the title's length times a segment's.
class SegmentProgram {
public:
    explicit SegmentProgram(const std::vector<Token>& tokens) : tokens_(tokens) {
        bool inSegment = false;
        for (size_t j = 0; j < tokens.size(); ++j) {
            if (tokens[j].kind == TokenKind::AnyRun) {
                hasRun_ = true;
                inSegment = false;
                continue;
            }
            if (!inSegment) segments_.push_back({j, 0, {}, true, {}});
            inSegment = true;
            Segment& segment = segments_.back();
            ++segment.count;
            const bool plain = tokens[j].kind == TokenKind::Literal && tokens[j].literal < SurrogateOffset;
            segment.plain = segment.plain && plain;
            if (plain) segment.text.push_back(static_cast<wchar_t>(tokens[j].literal));
        }
        for (Segment& segment : segments_)
            if (!segment.plain && segment.count < WordBits) segment.ascii = AsciiTakers(segment);
        fromStart_ = !tokens.empty() && tokens.front().kind != TokenKind::AnyRun;
        toEnd_ = !tokens.empty() && tokens.back().kind != TokenKind::AnyRun;
    }

    bool Matches(std::wstring_view folded) const {
        if (!hasRun_) return segments_.empty() ? folded.empty() : folded.size() == segments_[0].count && At(segments_[0], folded, 0);
        size_t first = 0, last = segments_.size();
        size_t from = 0, to = folded.size();
        if (fromStart_) {
            const Segment& head = segments_.front();
            if (head.count > to || !At(head, folded, 0)) return false;
            from = head.count;
            ++first;
        }
        if (toEnd_) {
            const Segment& tail = segments_.back();
            if (to - from < tail.count || !At(tail, folded, to - tail.count)) return false;
            to -= tail.count;
            --last;
        }
        for (size_t k = first; k < last; ++k) {
            const size_t at = Find(segments_[k], folded.substr(0, to), from);
            if (at == std::wstring_view::npos) return false;
            from = at + segments_[k].count;
        }
        return true;
    }

private:
    struct Segment {
        size_t first;  // its first token
        size_t count;
        std::wstring text;  // its characters, when all are plain ones
        bool plain;
        // For each ASCII character, a bit for each token that takes it.
        std::vector<uint64_t> ascii;
    };

    std::vector<uint64_t> AsciiTakers(const Segment& segment) const {
        std::vector<uint64_t> takers(AsciiLimit);
        for (char32_t c = 0; c < AsciiLimit; ++c) takers[c] = Takers(segment, c);
        return takers;
    }

    uint64_t Takers(const Segment& segment, char32_t c) const noexcept {
        uint64_t takers = 0;
        for (size_t j = 0; j < segment.count; ++j)
            if (tokens_[segment.first + j].Takes(c)) takers |= uint64_t{1} << j;
        return takers;
    }

    bool At(const Segment& segment, std::wstring_view folded, size_t at) const noexcept {
        for (size_t j = 0; j < segment.count; ++j)
            if (!tokens_[segment.first + j].Takes(folded[at + j])) return false;
        return true;
    }

    size_t Find(const Segment& segment, std::wstring_view folded, size_t from) const noexcept {
        if (segment.plain) return Search(folded, segment.text, from);
        if (segment.ascii.empty()) {
            for (size_t at = from; at + segment.count <= folded.size(); ++at)
                if (At(segment, folded, at)) return at;
            return std::wstring_view::npos;
        }
        // Every place the segment could have started, a bit each, moved on
        // by one character at a time: one pass, nothing tried twice.
        const uint64_t whole = uint64_t{1} << (segment.count - 1);
        uint64_t started = 0;
        for (size_t at = from; at < folded.size(); ++at) {
            const wchar_t unit = folded[at];
            started = ((started << 1) | 1) & (unit < AsciiLimit ? segment.ascii[unit] : Takers(segment, unit));
            if (started & whole) return at + 1 - segment.count;
        }
        return std::wstring_view::npos;
    }

    const std::vector<Token>& tokens_;
    std::vector<Segment> segments_;
    bool hasRun_ = false;
    bool fromStart_ = false;
    bool toEnd_ = false;
};

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


// Patterns short enough (nearly all) run as bit masks: bit j stands for
// "before token j", so one step over a character is a handful of word
// operations however many runs the pattern has.
constexpr size_t MaskBits = 64;
using StateMask = uint64_t;

class MaskProgram {
public:
    explicit MaskProgram(const std::vector<Token>& tokens) : accept_(StateMask{1} << tokens.size()) {
        for (size_t j = 0; j < tokens.size(); ++j) {
            const StateMask bit = StateMask{1} << j;
            const TokenKind kind = tokens[j].kind;
            if (kind == TokenKind::AnyRun) runs_ |= bit;
            if (kind == TokenKind::AnyRun || kind == TokenKind::AnyOne) anything_ |= bit;
            else if (kind != TokenKind::Digit) beyondAscii_.push_back(j);
        }
        // Past a run at the very end nothing can fail any more.
        if (!tokens.empty() && tokens.back().kind == TokenKind::AnyRun) settled_ = StateMask{1} << (tokens.size() - 1);
        for (char32_t c = 0; c < AsciiLimit; ++c) {
            StateMask takers = 0;
            for (size_t j = 0; j < tokens.size(); ++j)
                if (tokens[j].Takes(c)) takers |= StateMask{1} << j;
            ascii_[c] = StepOf(takers);
        }
    }

    static bool Fits(const std::vector<Token>& tokens) noexcept { return tokens.size() < MaskBits; }

    bool Matches(const std::vector<Token>& tokens, std::wstring_view folded) const {
        StateMask states = 1 | ((1 & runs_) << 1);
        for (size_t i = 0; i < folded.size(); ++i) {
            if (states & settled_) return true;
            const wchar_t unit = folded[i];
            if (unit < AsciiLimit) {
                states = ascii_[unit].Apply(states);
            } else if (IsHighSurrogate(unit) && i + 1 < folded.size() && IsLowSurrogate(folded[i + 1])) {
                const char32_t high = static_cast<char32_t>(unit) & SurrogatePayloadMask;
                const char32_t low = static_cast<char32_t>(folded[++i]) & SurrogatePayloadMask;
                states = StepOf(Takers(tokens, SurrogateOffset + ((high << SurrogateShift) | low))).Apply(states);
            } else {
                states = StepOf(Takers(tokens, unit)).Apply(states);
            }
            if (!states) return false;
        }
        return (states & accept_) != 0;
    }

private:
    // One character's step, made ready: a token that takes it moves on (a
    // run stays), and whatever lands before a run is also past it, since a
    // run may take nothing. Runs are never adjacent, so one further shift
    // closes over every empty run.
    struct Step {
        StateMask moves;      // takers that are not runs
        StateMask movesTwice; // of those, the ones landing before a run
        StateMask stays;      // runs that take it
        StateMask Apply(StateMask states) const noexcept {
            const StateMask stay = states & stays;
            return ((states & moves) << 1) | ((states & movesTwice) << 2) | stay | (stay << 1);
        }
    };

    Step StepOf(StateMask takers) const noexcept {
        const StateMask moves = takers & ~runs_;
        return {moves, moves & (runs_ >> 1), takers & runs_};
    }

    StateMask Takers(const std::vector<Token>& tokens, char32_t c) const noexcept {
        StateMask takers = anything_;
        for (size_t j : beyondAscii_)
            if (tokens[j].Takes(c)) takers |= StateMask{1} << j;
        return takers;
    }

    StateMask accept_;
    StateMask runs_ = 0;
    StateMask anything_ = 0;
    StateMask settled_ = 0;
    Step ascii_[AsciiLimit] = {};
    std::vector<size_t> beyondAscii_;
};

// A plain character: one unit of the basic plane, the same in a title and
// in its code points.
bool IsPlain(const Token& token) noexcept {
    return token.kind == TokenKind::Literal && token.literal < SurrogateOffset &&
           !IsSurrogate(static_cast<wchar_t>(token.literal));
}

// One character out of a set (a digit or a list of ASCII characters) that
// a title must hold somewhere for the token to be matched. A set that may
// take other characters tells nothing by the characters' bits.
struct OneOf {
    uint64_t characters = 0;

    bool HeldBy(const TitleSummary& title) const noexcept { return (title.characters & characters) != 0; }
};

}  // namespace

// What every title a rule's text can match holds, checked from the title's
// summary before any search or matching starts: characters and neighbouring
// pairs, one of each set, and a least length. A title without a known
// summary is only measured.
struct Requirement {
    TitleSummary needs;
    bool needsPairs = false;
    std::vector<OneOf> oneOf;
    size_t leastUnits = 0;
    bool exactLength = false;

    // From a text searched for as it stands, folded.
    explicit Requirement(std::wstring_view folded) : needs(SummaryOf(folded)), leastUnits(folded.size()) {
        needsPairs = needs.known && folded.size() > 1;
    }

    // From the tokens of a pattern: every stretch of plain characters with
    // its pairs, but no pair across two stretches.
    explicit Requirement(const std::vector<Token>& tokens) : exactLength(true) {
        needs.known = true;
        std::wstring stretch;
        for (const Token& token : tokens) {
            if (token.kind == TokenKind::AnyRun) exactLength = false;
            else ++leastUnits;
            if (IsPlain(token)) {
                stretch.push_back(static_cast<wchar_t>(token.literal));
                continue;
            }
            AddStretch(stretch);
            if (token.kind == TokenKind::Digit || token.kind == TokenKind::List) AddSet(token);
        }
        AddStretch(stretch);
    }

    bool HeldBy(const TitleText& title) const {
        const std::wstring_view folded = title.Folded();
        if (folded.size() < leastUnits) return false;
        const TitleSummary& summary = title.Summary();
        if (!summary.known || !needs.known) return true;
        if (exactLength && folded.size() != leastUnits) return false;
        if (needs.characters & ~summary.characters) return false;
        for (const OneOf& set : oneOf)
            if (!set.HeldBy(summary)) return false;
        return !needsPairs || PairsIn(title.Pairs());
    }

private:
    void AddStretch(std::wstring& stretch) {
        const TitleSummary part = SummaryOf(stretch);
        needs.characters |= part.characters;
        for (size_t k = 0; k < TitleSummary::PairWords; ++k) needs.pairs[k] |= part.pairs[k];
        needsPairs = needsPairs || stretch.size() > 1;
        stretch.clear();
    }

    void AddSet(const Token& token) {
        OneOf set;
        for (char32_t c = 0; c < AsciiLimit; ++c)
            if (token.Takes(c)) set.characters |= Bit(static_cast<unsigned>(c));
        bool beyondAscii = token.kind == TokenKind::List && token.negated;
        if (token.kind == TokenKind::List)
            for (const Range& range : token.ranges) beyondAscii = beyondAscii || range.last >= AsciiLimit;
        if (!beyondAscii) oneOf.push_back(set);
    }

    // Null pairs are not made yet: they tell nothing.
    bool PairsIn(const uint64_t* pairs) const noexcept {
        if (!pairs) return true;
        uint64_t missing = 0;
        for (size_t k = 0; k < TitleSummary::PairWords; ++k) missing |= needs.pairs[k] & ~pairs[k];
        return !missing;
    }
};

namespace {

}  // namespace

bool EqualsIgnoringCase(std::wstring_view a, std::wstring_view b) {
    if (a.empty() || b.empty()) return a.empty() && b.empty();
    constexpr std::wstring_view source = L"TextMatch.EqualsIgnoringCase";
    return ::CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.data(), ApiLength(a, source), b.data(),
                            ApiLength(b, source)) == CSTR_EQUAL;
}

namespace {

// The unit index of the first occurrence over texts already folded alike
// (or both as they are), npos when there is none.
size_t FindUnit(std::wstring_view text, std::wstring_view what) {
    if (what.empty())
        platform::Raise(platform::errors::InvalidProcedureCall, L"There is no text to look for", L"TextMatch.Find");
    // An occurrence that starts or ends inside a pair is half a character,
    // not an occurrence.
    for (size_t at = Search(text, what, 0); at != std::wstring_view::npos; at = Search(text, what, at + 1)) {
        if (!SplitsPair(text, at) && !SplitsPair(text, at + what.size())) return at;
    }
    return std::wstring_view::npos;
}

size_t FindAsIs(std::wstring_view text, std::wstring_view what) {
    const size_t at = FindUnit(text, what);
    return at == std::wstring_view::npos ? 0 : CharacterCount(text.substr(0, at)) + 1;
}

}  // namespace

size_t Find(std::wstring_view text, std::wstring_view what, bool matchCase) {
    if (matchCase) return FindAsIs(text, what);
    return FindAsIs(Folded(text), Folded(what));
}

void TitleText::Fold() const {
    wchar_t* into = inline_;
    if (text_.size() > InlineUnits) {
        long_.resize(text_.size());
        into = long_.data();
    }
    folded_ = std::wstring_view(into, text_.size());
    summary_.known = FoldInto(text_, into);
    if (summary_.known) summary_.characters = CharacterBits(folded_);
    ready_ = true;
}

std::wstring_view TitleText::Folded() const {
    if (!ready_) Fold();
    return folded_;
}

const TitleSummary& TitleText::Summary() const {
    if (!ready_) Fold();
    return summary_;
}

const uint64_t* TitleText::Pairs() const {
    const TitleSummary& summary = Summary();
    if (!summary.known) return nullptr;
    constexpr int AskingsBeforePairs = 1;
    if (pairAskings_ <= AskingsBeforePairs) {
        if (pairAskings_++ < AskingsBeforePairs) return nullptr;
        AddPairs(folded_, summary_.pairs);
    }
    return summary_.pairs;
}

const std::u32string& TitleText::FoldedCodePoints() const {
    if (!foldedCodePoints_) foldedCodePoints_ = CodePoints(Folded());
    return *foldedCodePoints_;
}

struct CompiledPattern::Tokens {
    explicit Tokens(std::vector<Token> tokens) : list(std::move(tokens)), needs(list), segments(list) {
        if (MaskProgram::Fits(list)) program.emplace(list);
    }

    std::vector<Token> list;
    Requirement needs;
    SegmentProgram segments;
    std::optional<MaskProgram> program;
};

CompiledPattern::CompiledPattern(std::wstring_view pattern)
    : tokens_(std::make_shared<const Tokens>(Compile(CodePoints(Folded(pattern))))) {}

bool CompiledPattern::Matches(std::wstring_view text) const { return Matches(TitleText(text)); }

bool CompiledPattern::Matches(const TitleText& text) const {
    const std::wstring_view folded = text.Folded();
    if (!tokens_->needs.HeldBy(text)) return false;
    if (text.Summary().known) return tokens_->segments.Matches(folded);
    if (tokens_->program) return tokens_->program->Matches(tokens_->list, folded);
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
    : text_(ruleTitle), options_(searchOptions) {
    if (text_.empty()) return;
    if (options_ & Pattern) {
        pattern_.emplace(text_);
        return;
    }
    folded_ = Folded(text_);
    // Folding maps each unit on its own, so a title holding the text as it
    // stands holds it folded too: the folded title's summary turns away
    // titles for either kind of search.
    needs_ = std::make_shared<const Requirement>(folded_);
}

bool PreparedTitle::Matches(const TitleText& title) const {
    if (text_.empty()) return true;
    if (pattern_) return pattern_->Matches(title);

    // A title nobody folded yet is searched as it stands by a rule that
    // matches case: folding it for the summary would cost more.
    if ((!(options_ & MatchCase) || title.IsFolded()) && !needs_->HeldBy(title)) return false;
    const std::wstring_view searched = (options_ & MatchCase) ? title.Text() : title.Folded();
    const std::wstring_view what = (options_ & MatchCase) ? std::wstring_view(text_) : std::wstring_view(folded_);
    const size_t at = FindUnit(searched, what);
    if (at == std::wstring_view::npos) return false;
    if (!(options_ & WholeWord)) return true;

    // Only the first occurrence counts: a later one that would stand as a
    // whole word does not rescue a title whose first one does not. A space
    // is a whole character of one unit, so the units beside the occurrence
    // say what the characters beside it are; folding keeps a space a space.
    const size_t end = at + what.size();
    if (at > 0 && searched[at - 1] != WordSeparator) return false;
    return end == searched.size() || searched[end] == WordSeparator;
}

}  // namespace TextMatch
