#include "ComponentServer.h"

#include <gtest/gtest.h>

#include <oleauto.h>

#include <cstdio>
#include <thread>

#include "Handles.h"
#include "Process.h"
#include "ScratchRegistry.h"
#include "Strings.h"
#include "Variant.h"

namespace testing_support {

namespace {

using GetClassObjectFn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
using EntryPointFn = HRESULT(STDAPICALLTYPE*)();
using InstallFn = HRESULT(STDAPICALLTYPE*)(BOOL, LPCWSTR);

const HRESULT MissingEntryPoint = HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
constexpr int GuidTextCapacity = 64;
constexpr DWORD ToolTimeoutMs = 60000;
constexpr DWORD ScriptTimeoutMs = 120000;
constexpr size_t ReadChunk = 4096;

template <class Fn>
Fn As(FARPROC entry) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(entry));
}

struct Captured {
    bool finished = false;
    std::string output;
};

// Runs a console program with its output (both streams) collected.
Captured RunCaptured(const std::wstring& program, const std::wstring& arguments, DWORD timeoutMs) {
    Captured result;
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    platform::UniqueKernelHandle reader, writer;
    if (!::CreatePipe(reader.put(), writer.put(), &inheritable, 0)) return result;
    ::SetHandleInformation(reader.get(), HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writer.get();
    startup.hStdError = writer.get();
    std::wstring commandLine = Quoted(program) + L" " + arguments;
    PROCESS_INFORMATION info{};
    if (!StartProcess(program, commandLine, true, CREATE_NO_WINDOW, startup, info)) return result;
    platform::UniqueKernelHandle process(info.hProcess), thread(info.hThread);
    // Only the child may hold the writing end, or reading would never end.
    writer.reset();
    std::thread drain([&] {
        char buffer[ReadChunk];
        DWORD read = 0;
        while (::ReadFile(reader.get(), buffer, sizeof buffer, &read, nullptr) && read > 0)
            result.output.append(buffer, read);
    });
    result.finished = ::WaitForSingleObject(process.get(), timeoutMs) == WAIT_OBJECT_0;
    if (!result.finished) ::TerminateProcess(process.get(), 1);
    drain.join();
    return result;
}

}  // namespace

ComponentDll::ComponentDll(const std::wstring& fileName)
    : path_(BesideTests(fileName)), module_(::LoadLibraryW(path_.c_str())) {}

FARPROC ComponentDll::Entry(const char* name) const { return module_ ? ::GetProcAddress(module_, name) : nullptr; }

HRESULT ComponentDll::GetClassObject(REFCLSID clsid, REFIID iid, void** object) const {
    const auto entry = As<GetClassObjectFn>(Entry("DllGetClassObject"));
    return entry ? entry(clsid, iid, object) : MissingEntryPoint;
}

HRESULT ComponentDll::CanUnloadNow() const {
    const auto entry = As<EntryPointFn>(Entry("DllCanUnloadNow"));
    return entry ? entry() : MissingEntryPoint;
}

HRESULT ComponentDll::RegisterServer() const {
    const auto entry = As<EntryPointFn>(Entry("DllRegisterServer"));
    return entry ? entry() : MissingEntryPoint;
}

HRESULT ComponentDll::UnregisterServer() const {
    const auto entry = As<EntryPointFn>(Entry("DllUnregisterServer"));
    return entry ? entry() : MissingEntryPoint;
}

HRESULT ComponentDll::Install(BOOL install, const wchar_t* commandLine) const {
    const auto entry = As<InstallFn>(Entry("DllInstall"));
    return entry ? entry(install, commandLine) : MissingEntryPoint;
}

platform::ComPtr<IClassFactory> ComponentDll::Factory(REFCLSID clsid) const {
    platform::ComPtr<IClassFactory> factory;
    EXPECT_EQ(GetClassObject(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK)
        << platform::Narrow(GuidText(clsid));
    return factory;
}

void ComponentDll::CreateInstance(REFCLSID clsid, REFIID iid, void** object) const {
    if (auto factory = Factory(clsid)) {
        EXPECT_EQ(factory->CreateInstance(nullptr, iid, object), S_OK);
    }
}

std::wstring GuidText(REFGUID guid) {
    wchar_t text[GuidTextCapacity] = {};
    ::StringFromGUID2(guid, text, GuidTextCapacity);
    return text;
}

std::wstring SystemProgram(const wchar_t* name) {
    wchar_t folder[MAX_PATH] = {};
    ::GetSystemDirectoryW(folder, MAX_PATH);
    return std::wstring(folder) + L"\\" + name;
}

std::wstring Quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

void ExpectClassKeys(HKEY hive, std::span<const RegisteredClass> classes, REFGUID libId, const std::wstring& dllPath,
                     bool registered) {
    for (const RegisteredClass& entry : classes) {
        const std::wstring key = ClassesKey + L"CLSID\\" + GuidText(*entry.clsid);
        const std::wstring progIdKey = ClassesKey + entry.progId;
        if (!registered) {
            EXPECT_FALSE(KeyExists(hive, key)) << platform::Narrow(key);
            EXPECT_FALSE(KeyExists(hive, progIdKey)) << platform::Narrow(progIdKey);
            continue;
        }
        const std::wstring server = ReadValue(hive, key + L"\\InprocServer32", L"").text;
        EXPECT_TRUE(platform::EqualsNoCase(server, dllPath)) << platform::Narrow(server);
        EXPECT_EQ(ReadValue(hive, key + L"\\InprocServer32", L"ThreadingModel").text, L"Apartment");
        EXPECT_EQ(ReadValue(hive, key + L"\\ProgID", L"").text, entry.progId);
        EXPECT_EQ(ReadValue(hive, key + L"\\TypeLib", L"").text, GuidText(libId));
        EXPECT_EQ(ReadValue(hive, progIdKey + L"\\CLSID", L"").text, GuidText(*entry.clsid));
    }
}

bool TypeLibRegistered(REFGUID libId) {
    platform::Bstr path;
    return SUCCEEDED(::QueryPathOfRegTypeLib(libId, 1, 0, 0, path.put()));
}

DWORD Regsvr32(const std::wstring& options, const std::wstring& dllPath) {
    ChildProcess tool(SystemProgram(L"regsvr32.exe"), options + L" " + Quoted(dllPath));
    DWORD exitCode = STILL_ACTIVE;
    EXPECT_TRUE(tool.Started());
    EXPECT_TRUE(tool.WaitForExit(ToolTimeoutMs, &exitCode)) << "regsvr32 " << platform::Narrow(options) << " hangs";
    return exitCode;
}

int RunScriptClient(const std::wstring& scriptName) {
    const Captured run =
        RunCaptured(SystemProgram(L"cscript.exe"), L"//nologo " + Quoted(BesideTests(scriptName)), ScriptTimeoutMs);
    EXPECT_TRUE(run.finished) << "the script hangs:\n" << run.output;
    const size_t at = run.output.rfind(" passed, ");
    const size_t lineEnd = at == std::string::npos ? std::string::npos : run.output.rfind('\n', at);
    const size_t lineStart = lineEnd == std::string::npos ? 0 : lineEnd + 1;
    int passed = 0, failed = -1;
    if (at == std::string::npos ||
        std::sscanf(run.output.c_str() + lineStart, "%d passed, %d failed", &passed, &failed) != 2) {
        ADD_FAILURE() << "the script did not finish:\n" << run.output;
        return 0;
    }
    EXPECT_EQ(failed, 0) << run.output;
    return passed;
}

}  // namespace testing_support
