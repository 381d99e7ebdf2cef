// Stands in for the user's browser: the tests make it the program that opens
// a kind of file, and it writes the file it was asked to open (its second
// argument) into the file named by its first, as UTF-8, then ends.
#include <windows.h>

#include <string>

#include "Handles.h"
#include "Strings.h"

namespace {
constexpr int RecordArgument = 1;
constexpr int OpenedArgument = 2;
constexpr int ExpectedArguments = 3;
}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < ExpectedArguments) return 1;
    const std::string opened = platform::Narrow(argv[OpenedArgument]);
    // Written to a side file and renamed, so that a reader never sees half of it.
    const std::wstring record = argv[RecordArgument];
    const std::wstring partial = record + L".part";
    {
        platform::UniqueFile file(::CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return 1;
        DWORD written = 0;
        if (!::WriteFile(file.get(), opened.data(), static_cast<DWORD>(opened.size()), &written, nullptr)) return 1;
    }
    return ::MoveFileExW(partial.c_str(), record.c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : 1;
}
