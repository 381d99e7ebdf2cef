#include "CClipboard.h"

#include <windows.h>

#include "CApplication.h"
#include "CRules.h"
#include "Guard.h"
#include "MainModule.h"

namespace {

constexpr wchar_t ClassName[] = L"CClipboard";
constexpr wchar_t ConfirmCaption[] = L"Confirm Rule Delete";

// The rule list the clipboard works on; none once the application is gone.
CRules* RuleList() {
    auto app = TheApp;
    return app ? &app->Rules() : nullptr;
}

}  // namespace

void CClipboard::Copy(const std::wstring& key) {
    platform::Guard(ClassName, L"Copy", [&] {
        CRules* rules = RuleList();
        if (auto rule = rules ? rules->Item(key) : nullptr) clipObject_ = rule;
    });
}

void CClipboard::Cut(const std::wstring& key) {
    platform::Guard(ClassName, L"Cut", [&] {
        CRules* rules = RuleList();
        auto rule = rules ? rules->Item(key) : nullptr;
        if (!rule) return;
        clipObject_ = rule;
        rules->Remove(key);
        undoObject_ = rule;
        undoAction_ = UndoCut;
    });
}

bool CClipboard::Delete(const std::wstring& key) {
    return platform::Guard(ClassName, L"Delete", [&] {
        auto app = TheApp;
        auto rule = app ? app->Rules().Item(key) : nullptr;
        if (!rule) return false;
        if (app->Confirmations(ConfirmDelete) &&
            ShowMessage(L"Are you sure you want to delete '" + key + L"'?", MB_YESNO | MB_ICONQUESTION,
                        ConfirmCaption) != IDYES)
            return false;
        undoObject_ = rule;
        app->Rules().Remove(key);
        undoAction_ = UndoDeleted;
        return true;
    });
}

bool CClipboard::Paste() {
    return platform::Guard(ClassName, L"Paste", [&] {
        CRules* rules = RuleList();
        if (!clipObject_ || !rules) return false;
        undoObject_ = rules->Insert(clipObject_);
        undoAction_ = UndoPasted;
        return true;
    });
}

bool CClipboard::Undo() {
    return platform::Guard(ClassName, L"Undo", [&] {
        CRules* rules = RuleList();
        if (!undoObject_ || !rules) return false;
        // Undo leaves its object as it is, so undoing again flips back.
        auto remove = [&](int32_t next) {
            if (const int32_t position = rules->IndexOf(undoObject_)) rules->Remove(position);
            undoAction_ = next;
        };
        auto insert = [&] {
            rules->Insert(undoObject_);
            undoAction_ = UndoAdded;
        };
        switch (undoAction_) {
            case UndoAdded: remove(UndoDeleted); break;
            case UndoCut: insert(); break;
            case UndoPasted: remove(UndoCut); break;
            case UndoDeleted: insert(); break;
            default: break;
        }
        return true;
    });
}
