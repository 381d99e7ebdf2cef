#pragma once
// What the model is handed by the program, stood in for by the tests: a
// prompt that records what the user would have read and answers as told,
// and a host that keeps the tracked windows and counts the edits.
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "IPrompt.h"
#include "IRuleHost.h"
#include "Options.h"

namespace model_test {

class ScriptedPrompt : public IPrompt {
public:
    enum class Kind { Confirm, Refuse, Warn };
    struct Seen {
        Kind kind;
        std::wstring caption;
        std::wstring text;
    };

    // What Confirm answers.
    bool answer = true;

    // What was put to the user since the last call.
    std::vector<Seen> Take() { return std::exchange(seen_, {}); }

    bool Confirm(const std::wstring& text, const wchar_t* caption) override {
        seen_.push_back({Kind::Confirm, caption, text});
        return answer;
    }
    void Refuse(const std::wstring& text, const wchar_t* caption) override {
        seen_.push_back({Kind::Refuse, caption, text});
    }
    void Warn(const std::wstring& text) override { seen_.push_back({Kind::Warn, {}, text}); }

private:
    std::vector<Seen> seen_;
};

class RecordingHost : public IRuleHost {
public:
    Options options;
    WindowRegistry windows;
    int edits = 0;
    int matchingChanges = 0;

    // Whether a rule was edited since the last call.
    bool TookEdit() { return std::exchange(edits, 0) > 0; }

    WindowRegistry& TrackedWindows() noexcept override { return windows; }
    const Options& CurrentOptions() const noexcept override { return options; }
    std::unique_ptr<ICountdown> CreateCountdown(int32_t, std::function<void()>) override { return nullptr; }
    void OnWindowAdd(HWND) override {}
    void OnWindowChange(HWND, HICON, const std::wstring&) override {}
    void OnWindowRemove(HWND, bool) override {}
    void RulesEdited() override { ++edits; }
    void MatchingChanged() noexcept override { ++matchingChanges; }
};

}  // namespace model_test
