#include <gtest/gtest.h>

#include <string>

#include "Error.h"
#include "Strings.h"
#include "TextMatch.h"

using TextMatch::EqualsIgnoringCase;
using TextMatch::Find;
using TextMatch::MatchesPattern;
using TextMatch::TitleMatches;

namespace {

// Non-Latin text is written with escapes so the source reads the same to every compiler.
const std::wstring Emoji = L"\U0001F600";                                             // one character, two units
const std::wstring DocumentUpper = L"\u0414\u041E\u041A\u0423\u041C\u0415\u041D\u0422";  // Cyrillic, upper case
const std::wstring DocumentLower = L"\u0434\u043E\u043A\u0443\u043C\u0435\u043D\u0442";  // the same word, lower case
const std::wstring GreekUpper = L"\u03A9\u039C\u0395\u0393\u0391";
const std::wstring GreekLower = L"\u03C9\u03BC\u03B5\u03B3\u03B1";
const std::wstring ArabicIndicThree = L"\u0663";
const std::wstring FullwidthThree = L"\uFF13";

struct PatternCase {
    std::wstring text, pattern;
    bool matches;
};

}  // namespace

TEST(TextMatchTest, ClassNamesCompareWholeAndIgnoringCase) {
    EXPECT_TRUE(EqualsIgnoringCase(L"notepad", L"Notepad"));
    EXPECT_TRUE(EqualsIgnoringCase(L"", L""));
    EXPECT_TRUE(EqualsIgnoringCase(DocumentUpper, DocumentLower));
    EXPECT_FALSE(EqualsIgnoringCase(L"Note", L"Notepad"));
    EXPECT_FALSE(EqualsIgnoringCase(L"Notepad", L"Note"));
    EXPECT_FALSE(EqualsIgnoringCase(L"", L"Notepad"));
    // The views handed in are not terminated where they end.
    const std::wstring longer = L"NotepadPlus";
    EXPECT_TRUE(EqualsIgnoringCase(std::wstring_view(longer).substr(0, 7), L"NOTEPAD"));
}

TEST(TextMatchTest, TitleSearchPositionsCaseAndWholeWords) {
    EXPECT_EQ(Find(L"Untitled - Notepad", L"notepad", false), 12u);
    EXPECT_EQ(Find(L"Untitled - Notepad", L"notepad", true), 0u);
    EXPECT_EQ(Find(L"abcabc", L"c", true), 3u);
    // Positions count characters: the leading pair is one.
    EXPECT_EQ(Find(Emoji + L" Notepad", L"Notepad", true), 3u);
    EXPECT_EQ(Find(Emoji + Emoji + L"x", Emoji + L"x", false), 2u);
    EXPECT_EQ(Find(L"Report " + DocumentLower, DocumentUpper, false), 8u);
    EXPECT_EQ(Find(GreekLower, GreekUpper, false), 1u);
    EXPECT_THROW(Find(L"Notepad", L"", false), platform::Error);

    const int32_t word = TextMatch::WholeWord;
    const struct {
        const wchar_t* title;
        bool matches;
    } words[] = {
        {L"note", true},           {L"My note", true},   {L"note pad", true},    {L"My note pad", true},
        {L"notes", false},         {L"a-note", false},   {L"note-pad", false},   {L"my\tnote", false},
        {L"notebook note", false}, {L"My notes", false}, {L"xnote note", false}, {L"NOTE", true},
    };
    for (const auto& [title, matches] : words)
        EXPECT_EQ(TitleMatches(title, L"note", word), matches) << platform::Narrow(title);
    EXPECT_TRUE(TitleMatches(Emoji + L" note", L"note", word));
    EXPECT_TRUE(TitleMatches(L"My note", L"note", word | TextMatch::MatchCase));
    EXPECT_FALSE(TitleMatches(L"NOTE", L"note", word | TextMatch::MatchCase));

    EXPECT_FALSE(TitleMatches(L"note", L"Note", TextMatch::MatchCase));
    EXPECT_TRUE(TitleMatches(L"note", L"Note", 0));
    EXPECT_TRUE(TitleMatches(L"anything", L"", TextMatch::Pattern | word));
    EXPECT_FALSE(TitleMatches(L"", L"x", 0));
    // The pattern bit overrules the others.
    EXPECT_TRUE(TitleMatches(L"Untitled - Notepad", L"*Notepad", TextMatch::Pattern));
    EXPECT_TRUE(TitleMatches(L"untitled - notepad", L"*Notepad", TextMatch::Pattern | TextMatch::MatchCase | word));
    EXPECT_FALSE(TitleMatches(L"Untitled - Notepad", L"Notepad", TextMatch::Pattern));

    // Titles beyond the old 255-character limits still match at their end.
    const std::wstring longTitle = std::wstring(300, L'x') + L" Notepad";
    EXPECT_EQ(Find(longTitle, L"NOTEPAD", false), 302u);
    EXPECT_TRUE(TitleMatches(longTitle, L"notepad", word));
    EXPECT_TRUE(TitleMatches(longTitle, L"*x notepad", TextMatch::Pattern));
}

TEST(TextMatchTest, PatternSyntax) {
    const PatternCase cases[] = {
        {L"", L"", true},
        {L"", L"*", true},
        {L"a", L"", false},
        {L"Notepad", L"notepad", true},
        {L"Notepad", L"Note", false},
        {L"Note - Notepad", L"*pad", true},
        {L"Notepad", L"N?tepad", true},
        {L"Ntepad", L"N?tepad", false},
        {L"Page 42", L"Page ##", true},
        {L"Page 4x", L"Page ##", false},
        {L"Page " + ArabicIndicThree, L"Page #", false},
        {L"Page " + FullwidthThree, L"Page #", false},
        {L"Page " + ArabicIndicThree, L"Page ?", true},
        {L"b", L"[a-c]", true},
        {L"B", L"[a-c]", true},
        {L"d", L"[a-c]", false},
        {L"a", L"[z-a]", false},
        {L"z", L"[!z-a]", true},
        {L"d", L"[!a-c]", true},
        {L"b", L"[!a-c]", false},
        {L"-", L"[-a]", true},
        {L"-", L"[a-]", true},
        {L"b", L"[-a]", false},
        {L"x", L"[ax-z]", true},
        {L"[a", L"[a", true},
        {L"[ab*", L"[a?*", true},  // only the unclosed '[' itself loses its meaning
        {L"[Draft - Editor", L"[Draft*", true},
        {L"Draft", L"[Draft*", false},
        {L"ab", L"a[]b", true},
        {L"axb", L"a[]b", false},
        {L"x", L"[!]", true},
        {L"", L"[!]", false},
        {L"]", L"]", true},
        {Emoji, L"?", true},
        {Emoji + L"x", L"??", true},
        {L"x" + Emoji + L"y", L"x?y", true},
        {L"x" + Emoji + L"y", L"x[!a]y", true},
        {DocumentLower, DocumentUpper, true},
        {DocumentLower, L"*" + DocumentUpper.substr(3), true},
        {GreekLower, GreekUpper.substr(0, 2) + L"*", true},
        {L"aaab", L"*a*b", true},
        {L"aaba", L"*a*b", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MatchesPattern(c.text, c.pattern), c.matches)
            << "text '" << platform::Narrow(c.text) << "' pattern '" << platform::Narrow(c.pattern) << "'";
}

// A matcher that retries choices takes longer than the universe here; the
// test passes by finishing at all.
TEST(TextMatchTest, HostilePatternCompletes) {
    const std::wstring text(10000, L'a');
    EXPECT_FALSE(MatchesPattern(text, L"*a*a*a*a*a*a*a*a*b"));
    EXPECT_TRUE(MatchesPattern(text + L"b", L"*a*a*a*a*a*a*a*a*b"));
    EXPECT_FALSE(MatchesPattern(text, L"*?*?*?*?*?*?*?*?*?*[!a]"));
}

// Long patterns take another road than short ones; both must give the same
// answers, and titles with and without pairs must fold alike.
TEST(TextMatchTest, LongPatternsAndTitlesWithPairsAgreeWithShortOnes) {
    const size_t longLength = 100;
    const std::wstring anyOnes(longLength, L'?');
    EXPECT_TRUE(MatchesPattern(std::wstring(longLength, L'x'), anyOnes));
    EXPECT_FALSE(MatchesPattern(std::wstring(longLength - 1, L'x'), anyOnes));
    EXPECT_TRUE(MatchesPattern(std::wstring(longLength, L'x') + L"-tail", anyOnes + L"-T*"));
    EXPECT_FALSE(MatchesPattern(std::wstring(longLength, L'x') + L"-tail", anyOnes + L"?-T*"));
    const std::wstring longWord = std::wstring(longLength, L'w') + L"Notepad";
    EXPECT_TRUE(MatchesPattern(L"My " + longWord, L"*" + longWord.substr(0, longLength / 2) + L"*NOTEPAD"));
    EXPECT_FALSE(MatchesPattern(L"My " + longWord + L"!", L"*" + longWord.substr(0, longLength / 2) + L"*NOTEPAD"));
    EXPECT_TRUE(MatchesPattern(Emoji + DocumentLower, L"?" + DocumentUpper));
    EXPECT_TRUE(TitleMatches(Emoji + L" " + GreekLower, GreekUpper, TextMatch::WholeWord));
    EXPECT_FALSE(TitleMatches(Emoji + GreekLower, GreekUpper, TextMatch::WholeWord));
}
