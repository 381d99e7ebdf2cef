#pragma once
// The rules editor's Cut, Copy, Paste and Delete for rules, and a one-step
// Undo that, repeated, flips between the two states. It is the program's own
// (the system clipboard is not used) and holds the very rule objects.
#include <cstdint>
#include <memory>
#include <string>

class CRule;
class CRules;
class IPrompt;

// What last happened to the rule Undo acts on.
enum UndoActionCode : int32_t { UndoAdded = 0, UndoCut = 1, UndoPasted = 2, UndoDeleted = 3 };

class CClipboard {
public:
    // Works on `rules`, and notes there the rules added for Undo. Delete asks
    // the prompt first while `confirmDelete` (the stored choice) is on; with
    // no prompt to ask, nothing is deleted then. All three outlive the clipboard.
    CClipboard(CRules& rules, IPrompt* prompt, const bool& confirmDelete);
    ~CClipboard();
    CClipboard(const CClipboard&) = delete;
    CClipboard& operator=(const CClipboard&) = delete;

    // Forgets the rule held and the change Undo would take back.
    void Clear() noexcept;
    void Copy(const std::wstring& key);
    void Cut(const std::wstring& key);
    // True when the rule was removed; asks first when the Delete confirmation is on.
    bool Delete(const std::wstring& key);
    bool Paste();
    bool Undo();

    bool CanPaste() const noexcept { return clipObject_ != nullptr; }
    bool CanUndo() const noexcept { return undoObject_ != nullptr; }
    const std::shared_ptr<CRule>& ClipObject() const noexcept { return clipObject_; }
    int32_t UndoAction() const noexcept { return undoAction_; }
    void SetUndoAction(int32_t value) noexcept { undoAction_ = value; }
    const std::shared_ptr<CRule>& UndoObject() const noexcept { return undoObject_; }
    void SetUndoObject(std::shared_ptr<CRule> value) noexcept { undoObject_ = std::move(value); }

private:
    CRules& rules_;
    IPrompt* prompt_;
    const bool& confirmDelete_;
    std::shared_ptr<CRule> clipObject_;
    std::shared_ptr<CRule> undoObject_;
    int32_t undoAction_ = UndoAdded;
};
