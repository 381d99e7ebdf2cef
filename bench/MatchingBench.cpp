// How long a rule's title test takes, for ordinary and hostile patterns and
// titles of growing length. Every window of every scan and event that no rule
// has taken yet pays this, once per rule.
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "TextMatch.h"

namespace {

struct Case {
    const char* name;
    std::wstring pattern;
    int32_t options;
};

double NanosecondsPerMatch(const std::wstring& title, const Case& test, int rounds) {
    const auto start = std::chrono::steady_clock::now();
    int matched = 0;
    for (int i = 0; i < rounds; ++i) matched += TextMatch::TitleMatches(title, test.pattern, test.options) ? 1 : 0;
    const auto elapsed = std::chrono::steady_clock::now() - start;
    // Keep the result alive so the loop is not optimised away.
    if (matched < 0) std::puts("");
    return std::chrono::duration<double, std::nano>(elapsed).count() / rounds;
}

}  // namespace

int wmain() {
    const std::vector<Case> cases = {
        {"substring", L"Notepad", 0},
        {"whole word, case", L"Notepad", TextMatch::WholeWord | TextMatch::MatchCase},
        {"pattern *Notepad", L"*Notepad", TextMatch::Pattern},
        {"pattern [a-z]#*", L"*[a-z]#*", TextMatch::Pattern},
        {"hostile *a*a*a*a*a*a*a*a*b", L"*a*a*a*a*a*a*a*a*b", TextMatch::Pattern},
    };
    const int lengths[] = {40, 255, 4000};
    std::printf("%-30s %14s %14s %14s\n", "title test (ns per window)", "40 chars", "255 chars", "4000 chars");
    for (const auto& test : cases) {
        std::printf("%-30s", test.name);
        for (int length : lengths) {
            std::wstring title(static_cast<size_t>(length) - 18, L'a');
            title += L" - Untitled Notepd";  // never quite matches: the whole title is read
            const int rounds = length > 1000 ? 200 : 2000;
            std::printf(" %14.0f", NanosecondsPerMatch(title, test, rounds));
        }
        std::printf("\n");
    }
    return 0;
}
