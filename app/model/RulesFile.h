#pragma once
// The rules as a file of their own: one JSON document that the user backs up,
// compares and takes to another PC. It holds the rules in their order with
// every field under a readable name, and nothing that belongs to this PC.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "CRule.h"

class CRules;

namespace rules_file {

// What the document calls itself, and the one version this program reads.
inline constexpr char FormatName[] = "Pelkin rules";
inline constexpr int32_t FormatVersion = 1;
// What the file dialogs offer.
inline constexpr wchar_t Extension[] = L"json";

// Why a file cannot be imported: where (line 0 when no line is to blame) and what.
struct Problem {
    int32_t line = 0;
    std::wstring what;
};

// The document for these rules, as UTF-8 text without a byte-order mark.
std::string Write(const std::vector<RuleDefinition>& rules);
// The rules a document holds, each of them one the loader takes; or what is
// wrong with it. Fields this program does not know are passed over.
std::variant<std::vector<RuleDefinition>, Problem> Read(std::string_view text);

// The whole file, or why it could not be read or written (the system's words).
std::variant<std::string, std::wstring> LoadFile(const std::wstring& path);
std::wstring SaveFile(const std::wstring& path, std::string_view text);

// One sentence for the user: the file, the line and what is wrong.
std::wstring Describe(const std::wstring& path, const Problem& problem);
// The rules of the file at `path`, or that sentence.
std::variant<std::vector<RuleDefinition>, std::wstring> Load(const std::wstring& path);
// Writes the rules into the file at `path`; empty, or why it could not.
std::wstring Save(const std::wstring& path, const std::vector<RuleDefinition>& rules);

// What becomes of an imported rule whose name a rule of the list has.
enum class Clashes { KeepBoth, Replace };

// The imported rules' names that rules of the list (or rules the list
// refused at its last load) already have, in the file's order.
std::vector<std::wstring> ClashingNames(const CRules& rules, const std::vector<RuleDefinition>& imported);
// "Name (2)", "Name (3)", ...: the first that no rule of the list, no
// refused rule and none of `alsoTaken` has, within the length a name may have.
std::wstring FreeName(const CRules& rules, const std::wstring& name, const std::vector<std::wstring>& alsoTaken);

// Adds the rules after the list's own, in order; a clash is settled as asked.
// Either every rule goes in or the list is left as it was: then the answer
// says why.
std::optional<std::wstring> Import(CRules& rules, const std::vector<RuleDefinition>& imported, Clashes clashes);

// The list's rules (or those of `names`, in the list's order) as the file holds them.
std::vector<RuleDefinition> Definitions(const CRules& rules, const std::vector<std::wstring>& names = {});

}  // namespace rules_file
