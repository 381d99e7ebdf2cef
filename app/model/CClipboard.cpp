#include "CClipboard.h"

#include <windows.h>

#include "CRules.h"
#include "Guard.h"
#include "IPrompt.h"

namespace {

constexpr wchar_t ClassName[] = L"CClipboard";
constexpr wchar_t ConfirmCaption[] = L"Confirm Rule Delete";

}  // namespace

CClipboard::CClipboard(CRules& rules, IPrompt* prompt, const bool& confirmDelete)
    : rules_(rules), prompt_(prompt), confirmDelete_(confirmDelete) {
    rules_.SetUndoRecord(this);
}

CClipboard::~CClipboard() { rules_.SetUndoRecord(nullptr); }

void CClipboard::Clear() noexcept {
    clipObject_.reset();
    undoObject_.reset();
    undoAction_ = UndoAdded;
}

void CClipboard::Copy(const std::wstring& key) {
    platform::Guard(ClassName, L"Copy", [&] {
        if (auto rule = rules_.Item(key)) clipObject_ = rule;
    });
}

void CClipboard::Cut(const std::wstring& key) {
    platform::Guard(ClassName, L"Cut", [&] {
        auto rule = rules_.Item(key);
        if (!rule) return;
        clipObject_ = rule;
        rules_.Remove(key);
        undoObject_ = rule;
        undoAction_ = UndoCut;
    });
}

bool CClipboard::Delete(const std::wstring& key) {
    return platform::Guard(ClassName, L"Delete", [&] {
        auto rule = rules_.Item(key);
        if (!rule) return false;
        if (confirmDelete_ && !(prompt_ && prompt_->Confirm(L"Are you sure you want to delete '" + key + L"'?",
                                                            ConfirmCaption)))
            return false;
        undoObject_ = rule;
        rules_.Remove(key);
        undoAction_ = UndoDeleted;
        return true;
    });
}

bool CClipboard::Paste() {
    return platform::Guard(ClassName, L"Paste", [&] {
        if (!clipObject_) return false;
        undoObject_ = rules_.Insert(clipObject_);
        undoAction_ = UndoPasted;
        return true;
    });
}

bool CClipboard::Undo() {
    return platform::Guard(ClassName, L"Undo", [&] {
        if (!undoObject_) return false;
        // Undo leaves its object as it is, so undoing again flips back.
        auto remove = [&](int32_t next) {
            if (const int32_t position = rules_.IndexOf(undoObject_)) rules_.Remove(position);
            undoAction_ = next;
        };
        auto insert = [&] {
            rules_.Insert(undoObject_);
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
