#include "ErrorModule.h"

#include "ComObject.h"
#include "Guard.h"
#include "KestrixVersion.h"
#include "Strings.h"

namespace KestrixErrors {

namespace {
constexpr wchar_t LogFileName[] = L"PKException.txt";
}

const platform::ExceptionLog& ComponentExceptionLog() {
    static const platform::ExceptionLog log(
        platform::ModuleFolder(platform::com::ThisModule()) + L"\\" + LogFileName, KestrixInfo::Title,
        platform::FormatVersionText(KestrixInfo::Major, KestrixInfo::Minor, KestrixInfo::Revision));
    return log;
}

void InstallErrorLog() {
    platform::SetFailureLogger([](const platform::Error& failure, std::wstring_view module,
                                  std::wstring_view procedure) {
        ComponentExceptionLog().Append(
            {failure.Number(), failure.Description(), std::wstring(module), std::wstring(procedure)});
    });
}

}  // namespace KestrixErrors
