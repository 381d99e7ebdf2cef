// The title test against a matcher simple enough to be plainly right: plain
// recursion over short inputs, sharing nothing with the real one but the
// system's uppercasing. PELKIN_FUZZ_TRIPLES sets how many random cases run
// (a fixed-seed slice by default), PELKIN_FUZZ_SEED the seed.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "Strings.h"
#include "TextMatch.h"

namespace {

constexpr uint64_t DefaultTriples = 150000;
constexpr uint32_t DefaultSeed = 17;
constexpr int OptionCombinations = 8;
constexpr size_t MaxTitleUnits = 9;
constexpr size_t MaxPatternPieces = 7;
constexpr int RulesPerTitle = 4;

uint64_t FromEnvironment(const char* name, uint64_t fallback) {
    const char* value = std::getenv(name);
    return value && *value ? std::strtoull(value, nullptr, 10) : fallback;
}

std::wstring Fold(const std::wstring& text) {
    std::wstring result(text);
    if (text.empty()) return result;
    const int length = static_cast<int>(text.size());
    EXPECT_EQ(::LCMapStringEx(LOCALE_NAME_USER_DEFAULT, LCMAP_UPPERCASE, text.data(), length, result.data(), length,
                              nullptr, nullptr, 0),
              length);
    return result;
}

std::u32string Characters(const std::wstring& text) {
    std::u32string result;
    for (size_t i = 0; i < text.size(); ++i) {
        if (IS_HIGH_SURROGATE(text[i]) && i + 1 < text.size() && IS_LOW_SURROGATE(text[i + 1])) {
            result.push_back(0x10000 + (((text[i] & 0x3FFu) << 10) | (text[i + 1] & 0x3FFu)));
            ++i;
        } else {
            result.push_back(text[i]);
        }
    }
    return result;
}

bool InList(std::u32string_view list, char32_t c) {
    for (size_t k = 0; k < list.size();) {
        if (k + 2 < list.size() && list[k + 1] == U'-') {
            if (c >= list[k] && c <= list[k + 2]) return true;
            k += 3;
        } else {
            if (c == list[k]) return true;
            ++k;
        }
    }
    return false;
}

bool Reference(std::u32string_view p, std::u32string_view t) {
    if (p.empty()) return t.empty();
    const char32_t c = p[0];
    if (c == U'*') return Reference(p.substr(1), t) || (!t.empty() && Reference(p, t.substr(1)));
    if (c == U'[') {
        const size_t close = p.find(U']', 1);
        if (close != std::u32string_view::npos) {
            std::u32string_view list = p.substr(1, close - 1);
            if (list.empty()) return Reference(p.substr(close + 1), t);
            const bool negated = list[0] == U'!';
            if (negated) list.remove_prefix(1);
            return !t.empty() && InList(list, t[0]) != negated && Reference(p.substr(close + 1), t.substr(1));
        }
    }
    if (t.empty()) return false;
    const bool takes = c == U'?' || (c == U'#' ? t[0] >= U'0' && t[0] <= U'9' : c == t[0]);
    return takes && Reference(p.substr(1), t.substr(1));
}

bool ReferenceTitleTest(const std::wstring& title, const std::wstring& rule, int32_t options) {
    if (rule.empty()) return true;
    if (options & TextMatch::Pattern) return Reference(Characters(Fold(rule)), Characters(Fold(title)));
    const bool exact = options & TextMatch::MatchCase;
    const std::u32string t = Characters(exact ? title : Fold(title));
    const std::u32string r = Characters(exact ? rule : Fold(rule));
    for (size_t at = 0; at + r.size() <= t.size(); ++at) {
        if (t.compare(at, r.size(), r) != 0) continue;
        if (!(options & TextMatch::WholeWord)) return true;
        const size_t end = at + r.size();
        return (at == 0 || t[at - 1] == U' ') && (end == t.size() || t[end] == U' ');
    }
    return false;
}

// Pieces of text in several scripts and forms: accented Latin, Greek,
// Cyrillic, CJK, a pair, lone halves, digits of other scripts, separators.
const std::vector<std::wstring> TextPieces = {
    L"a", L"A", L"b", L"n", L"N", L"\u00E9", L"\u00C9", L"\u00E0", L"\u00DF", L"\u03B1", L"\u0391", L"\u03C9",
    L"\u03A9", L"\u0434", L"\u0414", L"\u043A", L"\u4E2D", L"\u6587", L"\U0001F600", L"\xD83D", L"\xDE00",
    L"0", L"7", L"\u0663", L"\uFF13", L"\u0967", L" ", L"-", L"\t", L"i", L"I", L"\u0131", L"\u0130",
};
const std::vector<std::wstring> PatternPieces = {L"*", L"?", L"#", L"[", L"]", L"!", L"-", L"[a-z]",
                                                 L"[!a]", L"[]", L"[!]", L"[\u03B1-\u03C9]", L"[0-9]"};

class Generator {
public:
    explicit Generator(uint32_t seed) : random_(seed) {}

    std::wstring Title() {
        std::wstring title;
        const size_t pieces = Below(MaxTitleUnits);
        for (size_t i = 0; i < pieces; ++i) title += Pick(TextPieces);
        return title;
    }

    std::wstring Rule(const std::wstring& title, int32_t options) {
        // A piece of the title itself, often, so that rules find something.
        if (!(options & TextMatch::Pattern) && !title.empty() && Below(2) == 0) {
            const size_t from = Below(title.size());
            return title.substr(from, 1 + Below(title.size() - from));
        }
        // The title with some of its units put as wildcards, so that
        // patterns match as often as not.
        if ((options & TextMatch::Pattern) && Below(2) == 0) {
            std::wstring rule;
            for (wchar_t unit : title) {
                const size_t choice = Below(8);
                if (choice == 0) rule += L'*';
                else if (choice == 1) rule += L'?';
                else if (choice == 2) rule += L"*" + std::wstring(1, unit);
                else if (choice != 3) rule += unit;  // 3: left out
            }
            return rule;
        }
        std::wstring rule;
        const size_t pieces = Below(MaxPatternPieces);
        for (size_t i = 0; i < pieces; ++i) rule += Below(3) == 0 ? Pick(PatternPieces) : Pick(TextPieces);
        return rule;
    }

private:
    size_t Below(size_t bound) { return std::uniform_int_distribution<size_t>(0, bound - 1)(random_); }
    const std::wstring& Pick(const std::vector<std::wstring>& from) { return from[Below(from.size())]; }

    std::mt19937 random_;
};

}  // namespace

TEST(TextMatchFuzzTest, AgreesWithTheReferenceOnRandomTitlesAndRules) {
    const uint64_t triples = FromEnvironment("PELKIN_FUZZ_TRIPLES", DefaultTriples);
    Generator generate(static_cast<uint32_t>(FromEnvironment("PELKIN_FUZZ_SEED", DefaultSeed)));
    uint64_t disagreements = 0;
    uint64_t matches = 0;
    for (uint64_t i = 0; i < triples;) {
        // Several rules ask one title, as in a scan: what the first asking
        // leaves behind (the folded title, its summary) serves the next.
        const std::wstring title = generate.Title();
        const TextMatch::TitleText text(title);
        for (int rule = 0; rule < RulesPerTitle && i < triples; ++rule, ++i) {
            const int32_t options = static_cast<int32_t>(i % OptionCombinations);
            const std::wstring ruleTitle = generate.Rule(title, options);
            const bool expected = ReferenceTitleTest(title, ruleTitle, options);
            matches += expected ? 1 : 0;
            if (TextMatch::PreparedTitle(ruleTitle, options).Matches(text) == expected) continue;
            if (++disagreements <= 20)
                ADD_FAILURE() << "title '" << platform::Narrow(title) << "' rule '" << platform::Narrow(ruleTitle)
                              << "' options " << options << " (asking " << rule + 1 << "): expected " << expected;
        }
    }
    std::printf("%llu triples, %llu matching, %llu disagreements\n", static_cast<unsigned long long>(triples),
                static_cast<unsigned long long>(matches), static_cast<unsigned long long>(disagreements));
    EXPECT_EQ(disagreements, 0u);
    // Both outcomes must be common, or the comparison proves little.
    EXPECT_GT(matches, triples / 20);
    EXPECT_LT(matches, triples - triples / 20);
}
