#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <utility>

#include "ExceptionLog.h"
#include "Strings.h"

using platform::ExceptionEntry;
using platform::ExceptionLog;

namespace {

std::string Ansi(const std::wstring& text) { return platform::Narrow(text, CP_ACP); }

std::string DateTimeStamp(const SYSTEMTIME& when) {
    wchar_t date[128] = {};
    wchar_t time[128] = {};
    EXPECT_GT(::GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &when, nullptr, date, 128, nullptr), 0);
    EXPECT_GT(::GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &when, nullptr, time, 128), 0);
    return Ansi(date) + " " + Ansi(time);
}

constexpr wchar_t Title[] = L"Pelkin!";
constexpr wchar_t Version[] = L"1.5 (Build 0337)";

// What follows the "] " of an entry's time stamp, for the title and version above.
std::string EntryBody(const std::string& value, const std::string& description, const std::string& source) {
    return "Pelkin! v1.5 (Build 0337)\r\n\r\n\tException Occurred:\r\n\t\tValue: " + value +
           "\r\n\t\tDescription: " + description + "\r\n\t\tSource: " + source + "\r\n\r\n";
}

std::string ReadAll(const std::wstring& path) {
    std::ifstream file(path.c_str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// A fresh folder under the temporary folder, removed with what is in it.
class ExceptionLogFile : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH + 1] = {};
        ASSERT_GT(::GetTempPathW(MAX_PATH + 1, temp), 0u);
        folder_ = std::wstring(temp) + L"PelkinLogTest-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                  std::to_wstring(::GetTickCount64());
        ASSERT_TRUE(::CreateDirectoryW(folder_.c_str(), nullptr));
        path_ = folder_ + L"\\PKException.txt";
    }
    void TearDown() override {
        ::DeleteFileW(path_.c_str());
        ::RemoveDirectoryW(folder_.c_str());
    }
    std::wstring folder_;
    std::wstring path_;
};

}  // namespace

TEST(ExceptionLog, VersionAndValueTexts) {
    EXPECT_EQ(platform::FormatVersionText(1, 5, 337), L"1.5 (Build 0337)");
    EXPECT_EQ(platform::FormatVersionText(1, 0, 0), L"1.0 (Build 0000)");
    EXPECT_EQ(platform::FormatVersionText(2, 12, 12345), L"2.12 (Build 12345)");

    const std::pair<int32_t, const wchar_t*> values[] = {
        {0, L"0"}, {13, L"13"}, {INT32_MAX, L"2147483647"}, {-1, L"0xFFFFFFFF"},
        {static_cast<int32_t>(0x800401A6u), L"0x800401A6"}, {static_cast<int32_t>(0x8000000Au), L"0x8000000A"},
    };
    for (const auto& [number, text] : values) EXPECT_EQ(platform::FormatErrorValue(number), text) << number;
}

TEST(ExceptionLog, FormatWritesTheEntryByteForByte) {
    const ExceptionLog log(L"unused.txt", Title, Version);
    const SYSTEMTIME when = {2024, 3, 4, 7, 14, 5, 9, 0};
    const std::string stamp = "\r\n[" + DateTimeStamp(when) + "] ";

    EXPECT_EQ(log.Format({13, L"Type mismatch", L"CRegistry", L"GetSetting"}, when),
              stamp + EntryBody("13", "Type mismatch", "CRegistry.GetSetting"));
    EXPECT_EQ(log.Format({static_cast<int32_t>(0x800401A6u), L"Hot key in use", L"frmMain", L"Form_Load"}, when),
              stamp + EntryBody("0x800401A6", "Hot key in use", "frmMain.Form_Load"));
    // Text goes out in the ANSI code page, not as UTF-8.
    EXPECT_EQ(log.Format({5, L"Caf\u00E9", L"M", L"P"}, when), stamp + EntryBody("5", Ansi(L"Caf\u00E9"), "M.P"));
}

TEST_F(ExceptionLogFile, AppendAddsOneWholeEntryEachTime) {
    const ExceptionLog log(path_, Title, Version);
    const ExceptionEntry entries[] = {{9, L"Subscript out of range", L"CWindows", L"Item"},
                                      {-1, L"Unexpected", L"frmMain", L"Timer"}};
    const std::string bodies[] = {EntryBody("9", "Subscript out of range", "CWindows.Item"),
                                  EntryBody("0xFFFFFFFF", "Unexpected", "frmMain.Timer")};
    std::string previous;
    for (int i = 0; i < 2; ++i) {
        SYSTEMTIME before, after;
        ::GetLocalTime(&before);
        log.Append(entries[i]);
        ::GetLocalTime(&after);
        // What was there stays; exactly one entry, stamped with the local time, follows.
        const std::string content = ReadAll(path_);
        ASSERT_EQ(content.compare(0, previous.size(), previous), 0) << content;
        const std::string added = content.substr(previous.size());
        const size_t close = added.find("] ");
        ASSERT_TRUE(added.starts_with("\r\n[") && close != std::string::npos) << added;
        const std::string stamp = added.substr(3, close - 3);
        EXPECT_TRUE(stamp == DateTimeStamp(before) || stamp == DateTimeStamp(after)) << stamp;
        EXPECT_EQ(added.substr(close + 2), bodies[i]);
        previous = content;
    }
}

TEST_F(ExceptionLogFile, AppendToAnUnwritablePathIsSilentlyDropped) {
    const ExceptionEntry entry{13, L"Type mismatch", L"CRegistry", L"GetSetting"};
    for (const std::wstring& path : {folder_ + L"\\missing\\PKException.txt", folder_})
        ExceptionLog(path, Title, Version).Append(entry);  // must not throw nor crash
    EXPECT_EQ(::GetFileAttributesW((folder_ + L"\\missing").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(::GetFileAttributesW(folder_.c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
}
