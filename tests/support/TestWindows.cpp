#include "TestWindows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string_view>

#include "Process.h"
#include "Strings.h"
#include "Wait.h"

// The command language is described at the top of tests/tools/testwin.cpp.
namespace testing_support {

namespace {
constexpr wchar_t ProgramFile[] = L"testwin.exe";
constexpr DWORD StartTimeoutMs = DefaultTimeoutMs;
constexpr DWORD AnswerTimeoutMs = DefaultTimeoutMs;
// A storm of thousands of retitles, each perhaps answered by the watching
// program with questions of its own, takes longer than any other command.
constexpr DWORD StormAnswerTimeoutMs = 2 * DefaultTimeoutMs;
constexpr DWORD ExitTimeoutMs = DefaultTimeoutMs;
constexpr DWORD PollIntervalMs = 1;
// Longer than any answer testwin writes.
constexpr DWORD LongestLine = 256;

const wchar_t* KindName(TestWindowKind kind) {
    switch (kind) {
        case TestWindowKind::Plain: return L"plain";
        case TestWindowKind::Tool: return L"tool";
        case TestWindowKind::App: return L"app";
        case TestWindowKind::OwnedPopup: return L"owned";
        case TestWindowKind::Child: return L"child";
        case TestWindowKind::Bare: return L"bare";
    }
    return L"";
}

// A text field: no tab or line break may end it early.
std::wstring Field(std::wstring_view text) {
    std::wstring field;
    for (wchar_t c : text) {
        switch (c) {
            case L'\\': field += L"\\\\"; break;
            case L'\t': field += L"\\t"; break;
            case L'\n': field += L"\\n"; break;
            case L'\r': field += L"\\r"; break;
            default: field += c; break;
        }
    }
    return field;
}

const wchar_t* Flag(bool on) { return on ? L"1" : L"0"; }

// The number after "ok" and a tab; nothing for any other answer.
std::optional<int32_t> Value(const std::wstring& answer) {
    constexpr std::wstring_view Ok = L"ok\t";
    if (answer.compare(0, Ok.size(), Ok) != 0) return std::nullopt;
    return platform::ParseInt32(std::wstring_view(answer).substr(Ok.size()));
}

template <class Handle>
Handle HandleFrom(const std::wstring& answer) {
    const auto value = Value(answer);
    return value ? reinterpret_cast<Handle>(static_cast<intptr_t>(*value)) : nullptr;
}

// The next line testwin wrote, without its line break; nothing when none came
// in time or testwin ended. While waiting, messages sent to this thread's
// windows are answered: a window testwin makes may send to its owner or parent.
std::optional<std::string> ReadLine(HANDLE pipe, ULONGLONG deadline) {
    char peeked[LongestLine];
    for (;;) {
        DWORD size = 0;
        if (!::PeekNamedPipe(pipe, peeked, sizeof peeked, &size, nullptr, nullptr)) return std::nullopt;
        const char* end = std::find(peeked, peeked + size, '\n');
        if (end != peeked + size) {
            std::string line(peeked, static_cast<size_t>(end - peeked));
            DWORD read = 0;
            ::ReadFile(pipe, peeked, static_cast<DWORD>(end - peeked + 1), &read, nullptr);
            return line;
        }
        if (size == sizeof peeked || ::GetTickCount64() >= deadline) return std::nullopt;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, PollIntervalMs, QS_SENDMESSAGE);
        MSG msg;
        ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}
}  // namespace

std::wstring HandleText(HWND window) {
    return std::to_wstring(static_cast<int32_t>(reinterpret_cast<intptr_t>(window)));
}

TestWindowProgram::TestWindowProgram() {
    // Only testwin's ends are inherited: were ours too, testwin would never
    // see the end of its input when the test process ends.
    platform::UniqueKernelHandle childInput, childOutput;
    if (!::CreatePipe(childInput.put(), input_.put(), nullptr, 0) ||
        !::CreatePipe(output_.put(), childOutput.put(), nullptr, 0)) {
        ADD_FAILURE() << "no pipes for testwin: " << ::GetLastError();
        return;
    }
    ::SetHandleInformation(childInput.get(), HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    ::SetHandleInformation(childOutput.get(), HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = childInput.get();
    startup.hStdOutput = childOutput.get();
    startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
    const std::wstring program = BesideTests(ProgramFile);
    std::wstring commandLine = L"\"" + program + L"\"";
    PROCESS_INFORMATION info{};
    if (!StartProcess(program, commandLine, true, 0, startup, info)) {
        ADD_FAILURE() << "testwin did not start: " << ::GetLastError();
        return;
    }
    ::CloseHandle(info.hThread);
    process_.reset(info.hProcess);
    processId_ = info.dwProcessId;
    // Once testwin holds the only copy of its ends, its end breaks our pipe.
    childInput.reset();
    childOutput.reset();
    if (ReadLine(output_.get(), ::GetTickCount64() + StartTimeoutMs) != "ready") {
        ADD_FAILURE() << "testwin did not get ready";
        ::TerminateProcess(process_.get(), 1);
    }
}

TestWindowProgram::~TestWindowProgram() {
    if (!Running()) return;
    Command(L"quit");
    if (::WaitForSingleObject(process_.get(), ExitTimeoutMs) == WAIT_OBJECT_0) return;
    ADD_FAILURE() << "testwin did not end";
    ::TerminateProcess(process_.get(), 1);
    ::WaitForSingleObject(process_.get(), ExitTimeoutMs);
}

DWORD TestWindowProgram::ProcessId() const noexcept { return processId_; }

bool TestWindowProgram::Running() const {
    return process_ && ::WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT;
}

HWND TestWindowProgram::Create(const TestWindowSpec& spec) {
    return HandleFrom<HWND>(Command(std::wstring(L"create\t") + KindName(spec.kind) + L"\t" + Flag(spec.icon) + L"\t" +
                                    Flag(spec.visible) + L"\t" + Flag(spec.disabled) + L"\t" +
                                    HandleText(spec.relative) + L"\t" + Field(spec.className) + L"\t" +
                                    Field(spec.title)));
}

bool TestWindowProgram::Minimize(HWND window) { return Ok(L"minimize\t" + HandleText(window)); }
bool TestWindowProgram::Restore(HWND window) { return Ok(L"restore\t" + HandleText(window)); }
bool TestWindowProgram::Maximize(HWND window) { return Ok(L"maximize\t" + HandleText(window)); }
bool TestWindowProgram::Hide(HWND window) { return Ok(L"hide\t" + HandleText(window)); }
bool TestWindowProgram::Show(HWND window) { return Ok(L"show\t" + HandleText(window)); }
bool TestWindowProgram::Destroy(HWND window) { return Ok(L"destroy\t" + HandleText(window)); }

bool TestWindowProgram::Retitle(HWND window, const std::wstring& title) {
    return Ok(L"retitle\t" + HandleText(window) + L"\t" + Field(title));
}

bool TestWindowProgram::CatchUp() { return Ok(L"ping"); }

bool TestWindowProgram::Hang(DWORD milliseconds) {
    if (!Ok(L"hang\t" + std::to_wstring(milliseconds))) return false;
    hangEnds_ = ::GetTickCount64() + milliseconds;
    return true;
}

DWORD TestWindowProgram::HangLeftMs() const {
    const ULONGLONG now = ::GetTickCount64();
    return now < hangEnds_ ? static_cast<DWORD>(hangEnds_ - now) : 0;
}

bool TestWindowProgram::Guard(HWND window, bool guarded) {
    return Ok(L"guard\t" + HandleText(window) + L"\t" + Flag(guarded));
}

bool TestWindowProgram::RefuseClose(HWND window, bool refuse) {
    return Ok(L"refuse\t" + HandleText(window) + L"\t" + Flag(refuse));
}

int TestWindowProgram::Storm(int rounds, const std::wstring& prefix) {
    return Value(Command(L"storm\t" + std::to_wstring(rounds) + L"\t" + Field(prefix), StormAnswerTimeoutMs))
        .value_or(-1);
}

int TestWindowProgram::Announce(int rounds, DWORD event) {
    return Value(Command(L"announce\t" + std::to_wstring(rounds) + L"\t" + std::to_wstring(event),
                         StormAnswerTimeoutMs))
        .value_or(-1);
}

int TestWindowProgram::CloseRequests(HWND window) {
    return Value(Command(L"closes\t" + HandleText(window))).value_or(-1);
}

HICON TestWindowProgram::IconOf(HWND window) { return HandleFrom<HICON>(Command(L"icon\t" + HandleText(window))); }

// testwin's answer, or nothing when it has ended. An answer that does not
// come in time is a failure, and testwin is ended: a late answer would
// otherwise be taken for the answer to the next command.
std::wstring TestWindowProgram::Command(const std::wstring& line) { return Command(line, AnswerTimeoutMs); }

std::wstring TestWindowProgram::Command(const std::wstring& line, DWORD answerTimeoutMs) {
    if (!Running()) return {};
    const std::string bytes = platform::Narrow(line) + "\n";
    DWORD written = 0;
    if (!::WriteFile(input_.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) return {};
    const ULONGLONG deadline = std::max(::GetTickCount64(), hangEnds_) + answerTimeoutMs;
    if (auto answer = ReadLine(output_.get(), deadline)) return platform::Widen(*answer);
    ADD_FAILURE() << "testwin did not answer: " << platform::Narrow(line);
    ::TerminateProcess(process_.get(), 1);
    ::WaitForSingleObject(process_.get(), ExitTimeoutMs);
    return {};
}

bool TestWindowProgram::Ok(const std::wstring& line) { return Command(line) == L"ok"; }

}  // namespace testing_support
