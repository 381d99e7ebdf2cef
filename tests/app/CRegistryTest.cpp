#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "CRegistry.h"
#include "Error.h"
#include "ScratchRegistry.h"
#include "Strings.h"

using testing_support::KeyExists;
using testing_support::ReadValue;
using testing_support::WriteNumber;
using testing_support::WriteRaw;
using testing_support::WriteText;

namespace {

const HKEY User = HKEY_CURRENT_USER;
const std::wstring Base = L"Software\\Pelkin!";
std::wstring Under(const std::wstring& section) { return Base + L"\\" + section; }

// The failure an action raised, as "number source"; empty when it raised none.
std::wstring FailureOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const platform::Error& e) {
        return std::to_wstring(e.Number()) + L" " + e.Source();
    }
    return {};
}

// Every test works on scratch hives and on the program's own key in them.
class CRegistryTest : public ::testing::Test {
protected:
    testing_support::ScratchRegistry scratch_;
    CRegistry registry_;
};

}  // namespace

TEST_F(CRegistryTest, BaseKeyAndSectionPaths) {
    const std::pair<std::pair<const wchar_t*, const wchar_t*>, const wchar_t*> bases[] = {
        {{L"None", L"Pelkin!"}, L"Software\\Pelkin!"}, {{L"none", L"Pelkin!"}, L"Software\\Pelkin!"},
        {{L"Acme", L"Pelkin!"}, L"Software\\Acme\\Pelkin!"}, {{L"Acme", L""}, L"Software\\Acme"},
        {{L"", L""}, L"Software\\"}, {{L"None", L""}, L"Software\\"},
    };
    for (const auto& [names, key] : bases) EXPECT_EQ(CRegistry::BaseKey(names.first, names.second), key);
    EXPECT_EQ(registry_.Hive(), User);
    EXPECT_EQ(registry_.Subkey(), Base);

    const struct {
        const wchar_t *subkey, *section, *path;
    } paths[] = {
        {L"Software\\Pelkin!", L"", L"Software\\Pelkin!"},
        {L"Software\\Pelkin!", L"Options", L"Software\\Pelkin!\\Options"},
        {L"Software\\Pelkin!", L"Options\\", L"Software\\Pelkin!\\Options"},
        {L"Software\\Pelkin!\\", L"Options", L"Software\\Pelkin!\\Options"},
        {L" \tSoftware\\Pelkin! ", L"A\\B", L"Software\\Pelkin!\\A\\B"},
        {L"", L"Options", L"Options"},
        {L"", L"\\Options", L"Options"},
        {L"Software\\Pelkin!", L"\\Options", L"Software\\Pelkin!\\Options"},
    };
    for (const auto& p : paths)
        EXPECT_EQ(CRegistry(User, p.subkey).SectionPath(p.section), p.path) << platform::Narrow(p.subkey);
}

TEST_F(CRegistryTest, GetSettingReadsEachStoredType) {
    const std::wstring section = Under(L"Read");
    const wchar_t text[] = L"abcX";  // a zero right after the counted bytes would be counted in
    const wchar_t terminated[] = L"%TEMP%";
    const DWORD allBits = 0xFFFFFFFF;
    const BYTE bigEndian[] = {0x78, 0x56, 0x34, 0x12};
    WriteRaw(User, section, L"sz", REG_SZ, terminated, sizeof terminated);
    WriteRaw(User, section, L"szBare", REG_SZ, text, 3 * sizeof(wchar_t));
    ASSERT_EQ(ReadValue(User, section, L"szBare").size, 3 * sizeof(wchar_t));
    WriteRaw(User, section, L"szEmpty", REG_SZ, L"", sizeof(wchar_t));
    const wchar_t twice[] = L"True\0";  // a writer that counted its terminator twice
    WriteRaw(User, section, L"szTwice", REG_SZ, twice, sizeof twice);
    WriteRaw(User, section, L"szZero", REG_SZ, text, 0);
    WriteRaw(User, section, L"expand", REG_EXPAND_SZ, terminated, sizeof terminated);
    WriteRaw(User, section, L"none", REG_NONE, text, 2 * sizeof(wchar_t));
    WriteRaw(User, section, L"dword", REG_DWORD, &allBits, sizeof allBits);
    WriteRaw(User, section, L"big", REG_DWORD_BIG_ENDIAN, bigEndian, sizeof bigEndian);
    WriteRaw(User, section, L"binaryEmpty", REG_BINARY, bigEndian, 0);
    WriteRaw(User, section, L"binary", REG_BINARY, bigEndian, sizeof bigEndian);

    const SettingValue fallback = std::wstring(L"fallback");
    const struct {
        const wchar_t *section, *key;
        SettingValue expected;
    } reads[] = {
        {L"Read", L"SZ", std::wstring(L"%TEMP%")},  {L"read\\", L"sz", std::wstring(L"%TEMP%")},
        {L"Read", L"szBare", std::wstring(L"abc")}, {L"Read", L"szEmpty", std::wstring()},
        {L"Read", L"szTwice", std::wstring(L"True")},
        {L"Read", L"szZero", fallback},             {L"Read", L"expand", std::wstring(L"%TEMP%")},
        {L"Read", L"none", std::wstring(L"ab")},    {L"Read", L"dword", int32_t{-1}},
        {L"Read", L"big", int32_t{0x12345678}},     {L"Read", L"binaryEmpty", fallback},
        {L"Read", L"missing", fallback},            {L"Missing", L"sz", fallback},
    };
    for (const auto& r : reads)
        EXPECT_EQ(registry_.GetSetting(r.section, r.key, fallback), r.expected) << platform::Narrow(r.key);
    EXPECT_EQ(registry_.GetSetting(L"Missing", L"x", int32_t{7}), SettingValue(int32_t{7}));
    EXPECT_EQ(FailureOf([&] { registry_.GetSetting(L"Read", L"binary", fallback); }), L"13 CRegistry.GetSetting");
}

TEST_F(CRegistryTest, SaveSettingWritesTextAndNumbers) {
    const struct {
        const wchar_t* section;
        SettingValue value;
        DWORD type;
        std::wstring text;
        DWORD number;
    } saves[] = {
        {L"Options", std::wstring(L"Pelkin \u00C4"), REG_SZ, L"Pelkin \u00C4", 0},
        {L"Rules\\Rule 1\\Match", true, REG_SZ, L"True", 0},  // missing sections are created, however deep
        {L"Rules\\Rule 1\\Match", false, REG_SZ, L"False", 0},
        {L"Rules\\Rule 1\\Match", int32_t{-25}, REG_SZ, L"-25", 0},
        {L"Numbers", int32_t{42}, REG_DWORD, L"", 42},
        {L"Numbers", std::wstring(L" -2 "), REG_DWORD, L"", 0xFFFFFFFE},
        {L"Numbers", true, REG_DWORD, L"", 0xFFFFFFFF},
    };
    for (const auto& s : saves) {
        SCOPED_TRACE(platform::Narrow(s.text) + std::to_string(s.number));
        EXPECT_TRUE(registry_.SaveSetting(s.section, L"Value", s.value, s.type));
        const auto stored = ReadValue(User, Under(s.section), L"Value");
        EXPECT_EQ(stored.type, s.type);
        // Text is stored whole, with nothing after it but the registry's own terminator.
        if (s.type == REG_SZ)
            EXPECT_LE(stored.size, (s.text.size() + 1) * sizeof(wchar_t));
        else
            EXPECT_EQ(stored.size, sizeof(DWORD));
        EXPECT_EQ(stored.text, s.text);
        EXPECT_EQ(stored.number, s.number);
    }
    EXPECT_EQ(registry_.GetSetting(L"Options", L"Value", {}), SettingValue(std::wstring(L"Pelkin \u00C4")));
    EXPECT_TRUE(registry_.SaveSetting(L"Options", L"Path", std::wstring(L"%TEMP%"), REG_EXPAND_SZ));
    EXPECT_EQ(registry_.GetValueType(L"Options", L"Path"), DWORD{REG_EXPAND_SZ});

    // A refused value leaves the registry as it was.
    for (DWORD type : {DWORD{REG_DWORD}, DWORD{REG_BINARY}, DWORD{REG_MULTI_SZ}})
        EXPECT_EQ(FailureOf([&] { registry_.SaveSetting(L"Bad", L"N", std::wstring(L"twelve"), type); }),
                  L"13 CRegistry.SaveSetting");
    EXPECT_FALSE(KeyExists(User, Under(L"Bad")));
    EXPECT_NE(FailureOf([&] { registry_.SaveSetting(L"Numbers", L"Value", std::wstring(L"x"), REG_DWORD); }), L"");
    EXPECT_EQ(ReadValue(User, Under(L"Numbers"), L"Value").number, 0xFFFFFFFF);
}

TEST_F(CRegistryTest, DeleteSettingRemovesValuesAndLeafSections) {
    WriteText(User, Under(L"Options"), L"A", L"1");
    WriteText(User, Under(L"Options"), L"B", L"2");
    WriteText(User, Under(L"Options\\Inner"), L"C", L"3");

    EXPECT_TRUE(registry_.DeleteSetting(L"Options", L"a"));
    EXPECT_FALSE(ReadValue(User, Under(L"Options"), L"A").exists);
    EXPECT_TRUE(ReadValue(User, Under(L"Options"), L"B").exists);
    EXPECT_FALSE(registry_.DeleteSetting(L"Options", L"A"));
    EXPECT_FALSE(registry_.DeleteSetting(L"Missing", L"A"));
    EXPECT_FALSE(registry_.DeleteSetting(L"Missing", L""));

    // A section goes only when nothing is below it.
    EXPECT_FALSE(registry_.DeleteSetting(L"Options", L""));
    EXPECT_TRUE(KeyExists(User, Under(L"Options\\Inner")));
    EXPECT_TRUE(registry_.DeleteSetting(L"Options\\Inner", L""));
    EXPECT_TRUE(registry_.DeleteSetting(L"Options\\", L""));
    EXPECT_FALSE(KeyExists(User, Under(L"Options")));
    EXPECT_TRUE(KeyExists(User, Base));
}

TEST_F(CRegistryTest, DeleteAllSettingsRemovesWholeTreesOnly) {
    const BYTE blob[] = {1, 2};
    for (const wchar_t* level : {L"Tree", L"Tree\\One", L"Tree\\One\\Two", L"Tree\\Side", L"Again\\One\\Two"}) {
        WriteText(User, Under(level), L"Text", level);
        WriteNumber(User, Under(level), L"Number", 1);
        WriteRaw(User, Under(level), L"Blob", REG_BINARY, blob, sizeof blob);  // unreadable as text
    }
    WriteText(User, Under(L"Kept"), L"Text", L"stays");
    WriteText(User, L"Software\\Sibling", L"Text", L"stays");

    EXPECT_TRUE(registry_.DeleteAllSettings(L"Tree"));
    EXPECT_FALSE(KeyExists(User, Under(L"Tree")));
    EXPECT_FALSE(registry_.DeleteAllSettings(L"Tree"));
    EXPECT_TRUE(registry_.DeleteAllSettings(L"Again\\"));
    EXPECT_FALSE(KeyExists(User, Under(L"Again")));
    EXPECT_TRUE(ReadValue(User, Under(L"Kept"), L"Text").exists);

    // The empty section is the program's key itself, and nothing beside it.
    EXPECT_TRUE(registry_.DeleteAllSettings(L""));
    EXPECT_FALSE(KeyExists(User, Base));
    EXPECT_TRUE(ReadValue(User, L"Software\\Sibling", L"Text").exists);
}

TEST_F(CRegistryTest, GetAllSettingsListsSubkeysAndValuesAsText) {
    const std::wstring section = Under(L"All");
    for (const wchar_t* sub : {L"Alpha", L"Beta", L"Gamma"}) WriteText(User, section + L"\\" + sub, L"x", L"y");
    // Written in name order, which is the enumeration order on every system.
    const wchar_t expand[] = L"%TEMP%";
    WriteRaw(User, section, L"Empty", REG_SZ, expand, 0);
    WriteText(User, section, L"Name", L"Pelkin");
    WriteNumber(User, section, L"Negative", 0xFFFFFFFF);
    WriteRaw(User, section, L"Path", REG_EXPAND_SZ, expand, sizeof expand);
    WriteNumber(User, section, L"Positive", 300);

    std::vector<std::wstring> subkeys{L"stale"};
    CRegistry::ValueTable values{{L"stale", L"stale"}};
    EXPECT_TRUE(registry_.GetAllSettings(L"All", &subkeys, &values));
    EXPECT_EQ(subkeys, (std::vector<std::wstring>{L"Alpha", L"Beta", L"Gamma"}));
    EXPECT_EQ(values, (CRegistry::ValueTable{{L"Empty", L""}, {L"Name", L"Pelkin"}, {L"Negative", L"-1"},
                                             {L"Path", L"%TEMP%"}, {L"Positive", L"300"}}));

    // One output asked for: its own content decides.
    EXPECT_TRUE(registry_.GetAllSettings(L"All", &subkeys, nullptr));
    EXPECT_TRUE(registry_.GetAllSettings(L"All", nullptr, &values));
    EXPECT_FALSE(registry_.GetAllSettings(L"All\\Alpha", &subkeys, nullptr));
    EXPECT_TRUE(registry_.GetAllSettings(L"All\\Alpha", nullptr, &values));

    // An empty or missing section answers False with both outputs emptied.
    WriteText(User, Under(L"Hollow"), L"x", L"y");
    registry_.DeleteSetting(L"Hollow", L"x");
    for (const wchar_t* empty : {L"Hollow", L"Missing"}) {
        subkeys = {L"stale"};
        values = {{L"stale", L"stale"}};
        EXPECT_FALSE(registry_.GetAllSettings(empty, &subkeys, &values));
        EXPECT_TRUE(subkeys.empty() && values.empty()) << platform::Narrow(empty);
    }

    WriteRaw(User, section, L"Blob", REG_BINARY, expand, 2);
    EXPECT_EQ(FailureOf([&] { registry_.GetAllSettings(L"All", &subkeys, &values); }), L"13 CRegistry.GetAllSettings");
    EXPECT_TRUE(registry_.GetAllSettings(L"All", &subkeys, nullptr));
}

TEST_F(CRegistryTest, ValueTypesKeysAndSections) {
    const DWORD one = 1;
    WriteText(User, Under(L"Kinds"), L"Text", L"t");
    WriteNumber(User, Under(L"Kinds"), L"Number", 1);
    WriteRaw(User, Under(L"Kinds"), L"Big", REG_DWORD_BIG_ENDIAN, &one, sizeof one);
    WriteRaw(User, Under(L"Kinds"), L"Blob", REG_BINARY, &one, sizeof one);

    const std::pair<const wchar_t*, DWORD> types[] = {
        {L"Text", REG_SZ}, {L"number", REG_DWORD}, {L"Big", REG_DWORD_BIG_ENDIAN}, {L"Blob", REG_BINARY}};
    for (const auto& [key, type] : types) {
        EXPECT_EQ(registry_.GetValueType(L"Kinds", key), type) << platform::Narrow(key);
        EXPECT_TRUE(registry_.IsKey(L"kinds\\", key));
    }
    EXPECT_EQ(registry_.GetValueType(L"Kinds", L"Missing"), 0u);
    EXPECT_EQ(registry_.GetValueType(L"Missing", L"Text"), 0u);
    EXPECT_FALSE(registry_.IsKey(L"Kinds", L"Missing"));
    EXPECT_FALSE(registry_.IsKey(L"Missing", L"Text"));

    EXPECT_TRUE(registry_.IsSection(L""));
    EXPECT_TRUE(registry_.IsSection(L"KINDS\\"));
    EXPECT_FALSE(registry_.IsSection(L"Kinds\\Missing"));
    EXPECT_FALSE(registry_.IsSection(L"Text"));

    // Another hive and base key are honoured.
    CRegistry machine(HKEY_LOCAL_MACHINE, L"Software\\Acme");
    EXPECT_TRUE(machine.SaveSetting(L"Kinds", L"Where", std::wstring(L"machine"), REG_SZ));
    EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, L"Software\\Acme\\Kinds", L"Where").text, L"machine");
    EXPECT_FALSE(registry_.IsKey(L"Kinds", L"Where"));
}
