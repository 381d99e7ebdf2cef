// How long a rule's title test takes, for ordinary and hostile patterns and
// titles of growing length, and for a list of mixed rules; the matcher as it
// was and as it is, in the same run. Every window of every scan and event
// that no rule has taken yet pays this, once per rule. A rule's title is made
// ready once; each window's title is read (and folded) once for all rules.
#include <chrono>
#include <iterator>
#include <cstdio>
#include <string>
#include <vector>

#include "BaselineTextMatch.h"
#include "TextMatch.h"

namespace {

struct Case {
    const char* name;
    std::wstring pattern;
    int32_t options;
};

constexpr int ShortRounds = 5000;
constexpr int LongRounds = 300;
constexpr int LongTitle = 1000;
constexpr size_t TailLength = 18;
constexpr int MixedRules = 100;
constexpr int MixedRounds = 500;

// The best of a few tries: the machine's other work only ever adds time.
constexpr int Tries = 5;

template <class Body>
double NanosecondsPerRound(int rounds, Body body) {
    double best = 0;
    for (int attempt = 0; attempt < Tries; ++attempt) {
        const auto start = std::chrono::steady_clock::now();
        int matched = 0;
        for (int i = 0; i < rounds; ++i) matched += body();
        const auto elapsed = std::chrono::steady_clock::now() - start;
        // Keep the result alive so the loop is not optimised away.
        if (matched < 0) std::puts("");
        const double each = std::chrono::duration<double, std::nano>(elapsed).count() / rounds;
        if (attempt == 0 || each < best) best = each;
    }
    return best;
}

template <class Space>
double TitleTest(const std::wstring& title, const Case& test, int rounds) {
    const typename Space::PreparedTitle rule(test.pattern, test.options);
    return NanosecondsPerRound(rounds, [&] { return rule.Matches(typename Space::TitleText(title)) ? 1 : 0; });
}

template <class Space>
double MixedRulesTest(const std::vector<Case>& cases, const std::wstring& title) {
    std::vector<typename Space::PreparedTitle> rules;
    for (const Case& c : cases) rules.emplace_back(c.pattern, c.options);
    return NanosecondsPerRound(MixedRounds, [&] {
        const typename Space::TitleText text(title);
        int matched = 0;
        for (const auto& rule : rules) matched += rule.Matches(text) ? 1 : 0;
        return matched;
    });
}

struct Baseline {
    using PreparedTitle = BaselineTextMatch::PreparedTitle;
    using TitleText = BaselineTextMatch::TitleText;
};
struct Current {
    using PreparedTitle = TextMatch::PreparedTitle;
    using TitleText = TextMatch::TitleText;
};

// Rules as people write them, none of them for this title: a mail
// program's window, read for 255 characters.
const wchar_t RealTitle[] =
    L"Re: Quarterly figures for the northern region, second draft (please review before Friday's meeting "
    L"with the board; the tables on pages 4-7 changed since Monday) - Inbox - j.smith@example.com - Mail "
    L"and Calendar - Work profile, 3 unread messages in this folder - Sync";
const wchar_t* const RealWords[] = {
    L"Calculator", L"Notepad", L"Paint", L"Task Manager", L"Media Player", L"Command Prompt", L"Downloads",
    L"Control Panel", L"Settings", L"Terminal", L"Spreadsheet", L"Presentation", L"Chat", L"Music", L"Photos",
    L"Remote Desktop", L"Registry Editor", L"Device Manager", L"Event Viewer", L"Explorer", L"Backup",
    L"Printer", L"Scanner", L"Video", L"Torrent"};

std::vector<Case> RealRules() {
    std::vector<Case> rules;
    const size_t words = std::size(RealWords);
    for (int i = 0; i < MixedRules; ++i) {
        const std::wstring word = RealWords[static_cast<size_t>(i) % words];
        switch (i % 4) {
            case 0: rules.push_back({"", word, 0}); break;
            case 1: rules.push_back({"", word, TextMatch::WholeWord}); break;
            case 2: rules.push_back({"", L"*" + word + L"*", TextMatch::Pattern}); break;
            default: rules.push_back({"", L"* - " + word, TextMatch::Pattern}); break;
        }
    }
    return rules;
}

std::wstring Title(int length) {
    std::wstring title(static_cast<size_t>(length) - TailLength, L'a');
    return title + L" - Untitled Notepd";  // never quite matches: the whole title is read
}

}  // namespace

int wmain() {
    const std::vector<Case> cases = {
        {"substring", L"Notepad", 0},
        {"whole word, case", L"Notepad", TextMatch::WholeWord | TextMatch::MatchCase},
        {"whole word", L"Untitled", TextMatch::WholeWord},
        {"pattern *Notepad", L"*Notepad", TextMatch::Pattern},
        {"pattern [a-z]#*", L"*[a-z]#*", TextMatch::Pattern},
        {"pattern *a - U*d", L"*a - U*d", TextMatch::Pattern},
        {"hostile *a*a*a*a*a*a*a*a*b", L"*a*a*a*a*a*a*a*a*b", TextMatch::Pattern},
        {"hostile *?*?*?*?*[!a]x", L"*?*?*?*?*[!a]x", TextMatch::Pattern},
        {"hostile *?a?a?a?a?a?a?d*", L"*?a?a?a?a?a?a?d*", TextMatch::Pattern},
    };
    const int lengths[] = {40, 255, 4000};
    std::printf("title test, ns per window (before -> after)\n%-28s", "");
    for (int length : lengths) std::printf(" %9d chars    ", length);
    std::printf("\n");
    for (const auto& test : cases) {
        std::printf("%-28s", test.name);
        for (int length : lengths) {
            const std::wstring title = Title(length);
            const int rounds = length > LongTitle ? LongRounds : ShortRounds;
            std::printf(" %8.0f -> %6.0f", TitleTest<Baseline>(title, test, rounds),
                        TitleTest<Current>(title, test, rounds));
        }
        std::printf("\n");
    }
    // The cases above, numbered to make a hundred rules.
    std::vector<Case> numbered;
    for (int i = 0; i < MixedRules; ++i) {
        const Case& c = cases[static_cast<size_t>(i) % cases.size()];
        numbered.push_back({c.name, c.pattern + std::to_wstring(i), c.options});
    }
    const std::wstring title = Title(255);
    std::printf("%d mixed rules, 255 chars, us per window: %.2f -> %.2f\n", MixedRules,
                MixedRulesTest<Baseline>(numbered, title) / 1000.0, MixedRulesTest<Current>(numbered, title) / 1000.0);
    const std::vector<Case> real = RealRules();
    const std::wstring mail(RealTitle, 255);
    std::printf("%d rules as written, a mail window's title (255 chars), us per window: %.2f -> %.2f\n", MixedRules,
                MixedRulesTest<Baseline>(real, mail) / 1000.0, MixedRulesTest<Current>(real, mail) / 1000.0);
    return 0;
}
