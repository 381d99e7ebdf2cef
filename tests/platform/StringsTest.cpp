#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

#include "Strings.h"

TEST(Strings, ParseInt32AcceptsWholeDecimalNumbersWithinInt32) {
    const struct {
        const wchar_t* text;
        std::optional<int32_t> expected;
    } cases[] = {
        {L"0", 0},           {L"+42", 42},        {L"-42", -42},         {L" \t17\t ", 17},   {L"007", 7},
        {L"2147483647", INT32_MAX},               {L"-2147483648", INT32_MIN},                {L"2147483648", {}},
        {L"-2147483649", {}}, {L"4294967295", {}}, {L"99999999999999999999", {}},             {L"", {}},
        {L"  ", {}},         {L"-", {}},          {L"--1", {}},          {L"- 1", {}},         {L"1 2", {}},
        {L"12abc", {}},      {L"0x10", {}},       {L"1.5", {}},          {L"\uFF11", {}},  // full-width digit
    };
    for (const auto& c : cases) EXPECT_EQ(platform::ParseInt32(c.text), c.expected) << platform::Narrow(c.text);
}

TEST(Strings, CaseInsensitiveComparisons) {
    EXPECT_TRUE(platform::ContainsNoCase(L"Untitled - NOTES", L"notes"));
    EXPECT_TRUE(platform::ContainsNoCase(L"Gr\u00DC\u00DFe", L"\u00FC\u00DF"));  // GrÜße / üß
    EXPECT_TRUE(platform::ContainsNoCase(L"abc", L""));
    EXPECT_FALSE(platform::ContainsNoCase(L"abc", L"abcd"));
    EXPECT_FALSE(platform::ContainsNoCase(L"Notepad", L"pads"));
    EXPECT_TRUE(platform::EqualsNoCase(L"\u00C4bc", L"\u00E4BC"));
    EXPECT_FALSE(platform::EqualsNoCase(L"True", L"Tru"));
}

TEST(Strings, WidenAndNarrowRoundTripNonAsciiText) {
    const std::wstring wide = L"Stra\u00DFe \u0416\u0443\u043A \u65E5\u672C \U0001F600";
    const std::string utf8 = platform::Narrow(wide);
    EXPECT_NE(utf8.find("Stra\xC3\x9F" "e"), std::string::npos);
    EXPECT_NE(utf8.find("\xF0\x9F\x98\x80"), std::string::npos);  // one code point from a surrogate pair
    EXPECT_EQ(platform::Widen(utf8), wide);
    EXPECT_EQ(platform::Widen(""), L"");
    const std::wstring withZero(L"a\0b", 3);
    EXPECT_EQ(platform::Widen(platform::Narrow(withZero)), withZero);
}
