// The rules editor's File menu commands that take rules out of the program
// and bring them in: a rules file written from the list, and a file's rules
// added to the list as edits that Apply stores and Cancel takes back.
#include <windows.h>
#include <commdlg.h>

#include <string>
#include <variant>
#include <vector>

#include "CFileDialog.h"
#include "CRules.h"
#include "Guard.h"
#include "RulesFile.h"
#include "Version.h"
#include "frmSetup.h"

namespace {

constexpr wchar_t TransferLogSource[] = L"frmSetup";
constexpr wchar_t RulesFilter[] = L"Rules files (*.json)|*.json|All files (*.*)|*.*";
constexpr int32_t RulesFilterIndex = 1;
constexpr wchar_t DefaultFileName[] = L"Pelkin rules.json";
// How many clashing names the question lists before it counts the rest.
constexpr size_t ListedClashes = 10;

int Ask(HWND owner, const std::wstring& text, UINT flags) {
    return ::MessageBoxW(owner, text.c_str(), AppInfo::Title, flags);
}

std::wstring ClashQuestion(const std::vector<std::wstring>& names) {
    std::wstring text = names.size() == 1 ? L"A rule of the file has the name of a rule you have:\r\n"
                                          : std::to_wstring(names.size()) +
                                                L" rules of the file have the names of rules you have:\r\n";
    for (size_t index = 0; index < names.size() && index < ListedClashes; ++index)
        text += L"\r\n    " + names[index];
    if (names.size() > ListedClashes) text += L"\r\n    ... and " + std::to_wstring(names.size() - ListedClashes) + L" more";
    return text + L"\r\n\r\nReplace your rules of these names with the file's?\r\n\r\nYes replaces them. No keeps "
                  L"both: each imported rule gets the next free name, such as \"" +
           names.front() + L" (2)\".";
}

}  // namespace

void frmSetup::ExportRulesFile() {
    platform::Guard(TransferLogSource, L"ExportRulesFile", [&] {
        auto app = app_.lock();
        if (!app) return;
        std::vector<std::wstring> names;
        if (const std::wstring selected = rules_.SelectedRule(); !selected.empty() && app->Rules().Count() > 1) {
            const int answer = Ask(hWnd(),
                                   L"Export only the selected rule \"" + selected + L"\"?\r\n\r\nNo exports all " +
                                       std::to_wstring(app->Rules().Count()) + L" rules.",
                                   MB_YESNOCANCEL | MB_ICONQUESTION);
            if (answer == IDCANCEL) return;
            if (answer == IDYES) names.push_back(selected);
        }
        CFileDialog dialog;
        dialog.Initialize(hWnd());
        dialog.SetFilter(RulesFilter);
        dialog.SetFlags(OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR);
        if (!dialog.ShowSave(L"Export Rules", DefaultFileName, L"", RulesFilterIndex, rules_file::Extension)) return;
        const std::wstring failure = rules_file::Save(dialog.FileName(), rules_file::Definitions(app->Rules(), names));
        if (!failure.empty()) Ask(hWnd(), L"The rules were not exported: " + failure, MB_OK | MB_ICONEXCLAMATION);
    });
}

void frmSetup::ImportRulesFile() {
    platform::Guard(TransferLogSource, L"ImportRulesFile", [&] {
        auto app = app_.lock();
        if (!app) return;
        CFileDialog dialog;
        dialog.Initialize(hWnd());
        dialog.SetFilter(RulesFilter);
        dialog.SetFlags(OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR);
        if (!dialog.ShowOpen(L"Import Rules", L"", L"", RulesFilterIndex, rules_file::Extension)) return;
        auto loaded = rules_file::Load(dialog.FileName());
        if (const auto* problem = std::get_if<std::wstring>(&loaded)) {
            Ask(hWnd(), L"The rules were not imported: " + *problem, MB_OK | MB_ICONEXCLAMATION);
            return;
        }
        const auto& imported = std::get<std::vector<RuleDefinition>>(loaded);
        auto clashes = rules_file::Clashes::KeepBoth;
        // One question for every clash at once.
        if (const auto names = rules_file::ClashingNames(app->Rules(), imported); !names.empty()) {
            const int answer = Ask(hWnd(), ClashQuestion(names), MB_YESNOCANCEL | MB_ICONQUESTION);
            if (answer == IDCANCEL) return;
            if (answer == IDYES) clashes = rules_file::Clashes::Replace;
        }
        if (auto problem = rules_file::Import(app->Rules(), imported, clashes)) {
            Ask(hWnd(), L"The rules were not imported: " + *problem, MB_OK | MB_ICONEXCLAMATION);
            return;
        }
        // Imported rules are edits like any other: Apply stores them.
        RulesEdited();
    });
}
