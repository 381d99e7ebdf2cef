#include "AutoStartModule.h"

#include "CRegistry.h"
#include "Strings.h"
#include "Version.h"

namespace AutoStartModule {

std::wstring CommandLine() {
    return L"\"" + platform::ModuleFolder() + L"\\" + AppInfo::ExeName + L".exe\"";
}

bool Write(HKEY hive, LSTATUS& error) {
    CRegistry run(hive, RunBaseKey);
    if (run.SaveSetting(RunSection, AppInfo::ProductName, CommandLine(), REG_SZ)) return true;
    error = run.LastError();
    return false;
}

bool Remove(HKEY hive, LSTATUS& error) {
    CRegistry run(hive, RunBaseKey);
    if (!run.IsKey(RunSection, AppInfo::ProductName) || run.DeleteSetting(RunSection, AppInfo::ProductName)) return true;
    error = run.LastError();
    return false;
}

bool IsPresent(HKEY hive) { return CRegistry(hive, RunBaseKey).IsKey(RunSection, AppInfo::ProductName); }

}  // namespace AutoStartModule
