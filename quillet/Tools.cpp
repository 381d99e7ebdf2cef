#include "Tools.h"

#include <algorithm>

#include "Band.h"
#include "ComEnumerator.h"
#include "ComError.h"
#include "Guard.h"
#include "QuilletModule.h"

using platform::CheckOut;
using platform::ComPtr;

namespace {

constexpr platform::LogSource Log{L"Tools"};

constexpr int SeparatorPosition = 1;

bool IsSeparatorKey(const std::wstring& key) { return key == Tools::SeparatorName; }

}  // namespace

ComPtr<Tools> Tools::Make(Band* parent, QLToolStyle separatorStyle) {
    auto tools = platform::com::MakeObject<Tools>(parent);
    tools->tools_.Add(SeparatorName, Tool::MakeSeparator(parent, separatorStyle));
    return tools;
}

Tools::~Tools() { Orphan(); }

void* Tools::Cast(REFIID iid) noexcept {
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID__Tools) return static_cast<_Tools*>(this);
    if (iid == IID_ISupportErrorInfo) return static_cast<ISupportErrorInfo*>(this);
    return nullptr;
}

void Tools::Orphan() noexcept {
    for (int position = tools_.Count(); position >= 1; --position)
        Log.Skip(L"Class_Terminate", [&] { RemoveAt(position); });
    parent_ = nullptr;
}

void Tools::RemoveAt(int position) {
    ComPtr<Tool> leaving = tools_.Item(position);
    tools_.Remove(position);
    ToolsChanged();
    leaving->Orphan();
}

void Tools::RemoveKey(const std::wstring& key) {
    ComPtr<Tool> leaving = *tools_.Find(key);
    tools_.Remove(key);
    ToolsChanged();
    leaving->Orphan();
}

Tool* Tools::Named(const VARIANT& index) const {
    const std::optional<QuilletModule::Index> read = QuilletModule::ReadIndex(index);
    if (!read) return nullptr;
    if (read->byKey) {
        const ComPtr<Tool>* found = tools_.Find(read->key);
        return found ? found->Get() : nullptr;
    }
    return read->position >= 1 && read->position <= tools_.Count() ? tools_.Item(read->position).Get() : nullptr;
}

// Always the first entry: found without numbering positions.
Tool* Tools::Separator() const noexcept { return tools_.Empty() ? nullptr : tools_.begin()->value.Get(); }

// --- positions and lookups --------------------------------------------------

void Tools::ForEachVisible(const std::function<bool(Tool& tool, int position)>& visit) const {
    int position = 0;
    for (const auto& entry : tools_) {
        Tool& tool = *entry.value.Get();
        if (!tool.IsVisible()) continue;
        if (tool.BeginsGroup()) ++position;
        if (!visit(tool, position)) return;
        ++position;
    }
}

LONG Tools::IndexOfId(LONG id) const {
    LONG found = 0;
    ForEachVisible([&](Tool& tool, int position) {
        if (tool.Id() != id) return true;
        found = position;
        return false;
    });
    return found;
}

Tool* Tools::FromId(LONG id) const {
    if (id == 0) return Separator();
    if (!idsCurrent_) {
        visibleById_.clear();
        for (const auto& entry : tools_)
            if (entry.value->IsVisible()) visibleById_.try_emplace(entry.value->Id(), entry.value.Get());
        idsCurrent_ = true;
    }
    const auto found = visibleById_.find(id);
    return found == visibleById_.end() ? nullptr : found->second;
}

Tool* Tools::FromPosition(LONG wanted) const {
    Tool* found = nullptr;
    ForEachVisible([&](Tool& tool, int position) {
        if (position == wanted) found = &tool;
        return !found && position < wanted;
    });
    return found;
}

Tool* Tools::FindDeep(LONG id) const {
    std::vector<const Tools*> searched;
    return FindDeep(id, searched);
}

Tool* Tools::FindDeep(LONG id, std::vector<const Tools*>& searched) const {
    // Bands may name each other as submenus; each is searched once.
    if (std::find(searched.begin(), searched.end(), this) != searched.end()) return nullptr;
    searched.push_back(this);
    for (const auto& entry : tools_) {
        Tool& tool = *entry.value.Get();
        if (!tool.IsVisible()) continue;
        if (tool.Id() == id) return &tool;
        Band* sub = parent_ ? parent_->SubBandOf(tool) : nullptr;
        if (Tool* found = sub ? sub->ToolList().FindDeep(id, searched) : nullptr) return found;
    }
    return nullptr;
}

// --- _Tools -----------------------------------------------------------------

HRESULT Tools::Add(LONG ID, BSTR Name, BSTR Caption, LONG Icon, QLToolStyle Style, BSTR Shortcut,
                   VARIANT_BOOL BeginGroup, VARIANT_BOOL Checked, VARIANT_BOOL Default, BSTR OptionGroup,
                   BSTR SubBand, VARIANT_BOOL OwnerDraw, VARIANT_BOOL AllowCustomDraw, VARIANT_BOOL Enabled,
                   VARIANT_BOOL Visible, _Tool** result) {
    return Log.Member(L"Add", [&] {
        _Tool** out = CheckOut(result);
        *out = nullptr;
        if (!parent_) QuilletModule::Fail(L"Tools.Add");
        Tool::Settings settings;
        settings.name = platform::Bstr::Text(Name);
        if (tools_.Exists(settings.name)) return;
        settings.style = parent_->ToolStyleFor(Style);
        settings.id = ID;
        settings.caption = platform::Bstr::Text(Caption);
        settings.icon = Icon;
        settings.shortcut = platform::Bstr::Text(Shortcut);
        settings.beginGroup = BeginGroup != VARIANT_FALSE;
        settings.checked = Checked != VARIANT_FALSE;
        settings.isDefault = Default != VARIANT_FALSE;
        settings.optionGroup = platform::Bstr::Text(OptionGroup);
        settings.subBand = platform::Bstr::Text(SubBand);
        settings.ownerDraw = OwnerDraw != VARIANT_FALSE;
        settings.allowCustomDraw = AllowCustomDraw != VARIANT_FALSE;
        settings.enabled = Enabled != VARIANT_FALSE;
        settings.visible = Visible != VARIANT_FALSE;
        ComPtr<Tool> tool = Tool::Make(parent_, settings);
        tools_.Add(settings.name, tool);
        ToolsChanged();
        *out = tool.Detach();
    });
}

HRESULT Tools::Exists(VARIANT Index, VARIANT_BOOL* result) {
    return Log.Member(L"Exists", [&] { *CheckOut(result) = platform::ToVariantBool(Named(Index) != nullptr); });
}

HRESULT Tools::GetToolFromID(LONG ID, _Tool** result) {
    return Log.Member(L"GetToolFromID", [&] { *CheckOut(result) = ComPtr<_Tool>(FromId(ID)).Detach(); });
}

HRESULT Tools::GetToolFromIndex(LONG Index, _Tool** result) {
    return Log.Member(L"GetToolFromIndex", [&] { *CheckOut(result) = ComPtr<_Tool>(FromPosition(Index)).Detach(); });
}

HRESULT Tools::Item(VARIANT Index, _Tool** result) {
    return Log.Member(L"Item", [&] {
        _Tool** out = CheckOut(result);
        *out = nullptr;
        if (Tool* tool = Named(Index)) *out = ComPtr<_Tool>(tool).Detach();
    });
}

HRESULT Tools::Move(VARIANT Index, VARIANT Before, VARIANT After) {
    return Log.Member(L"Move", [&] {
        const std::optional<std::wstring> key = QuilletModule::KeyOf(tools_, Index);
        // The hidden separator tool keeps its place at the head.
        if (!key || IsSeparatorKey(*key)) return;
        if (!QuilletModule::Omitted(Before))
            MoveNextTo(*key, Before, true);
        else if (!QuilletModule::Omitted(After))
            MoveNextTo(*key, After, false);
    });
}

// One step whatever the band holds: the tool is taken out and put back by
// its anchor's key, with no position worked out on the way.
void Tools::MoveNextTo(const std::wstring& key, const VARIANT& anchor, bool before) {
    const std::optional<std::wstring> target = QuilletModule::KeyOf(tools_, anchor);
    if (!target || (before && IsSeparatorKey(*target))) return;
    if (before ? tools_.MoveBefore(key, *target) : tools_.MoveAfter(key, *target)) ToolsChanged();
}

HRESULT Tools::Remove(VARIANT Index) {
    return Log.Member(L"Remove", platform::OnFailure::LogWhileTrapping, [&] {
        const std::optional<std::wstring> key = QuilletModule::KeyOf(tools_, Index);
        if (key && !IsSeparatorKey(*key)) RemoveKey(*key);
    });
}

HRESULT Tools::RemoveAll() {
    for (int position = tools_.Count(); position > SeparatorPosition; --position)
        Log.Skip(L"RemoveAll", [&] { RemoveAt(position); });
    return S_OK;
}

HRESULT Tools::get_Count(LONG* value) {
    return Log.Member(L"Get_Count", [&] { *CheckOut(value) = tools_.Count(); });
}

HRESULT Tools::get_NewEnum(IUnknown** value) {
    return Log.Member(L"Get_NewEnum", [&] {
        IUnknown** out = CheckOut(value);
        std::vector<platform::Variant> items;
        for (const auto& entry : tools_) items.push_back(platform::Variant::FromObject(static_cast<_Tool*>(entry.value.Get())));
        *out = platform::com::MakeEnumerator<IEnumVARIANT, VARIANT>(std::move(items)).Detach();
    });
}

HRESULT Tools::get_Parent(_Band** value) {
    return Log.Member(L"Get_Parent", [&] { *CheckOut(value) = ComPtr<_Band>(parent_).Detach(); });
}

HRESULT Tools::FindTool(LONG ID, _Tool** result) {
    return Log.Member(L"FindTool", [&] { *CheckOut(result) = ComPtr<_Tool>(FindDeep(ID)).Detach(); });
}
