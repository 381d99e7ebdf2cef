#pragma once
// The tools of one band, by name, in menu order. Entry 1 is always the hidden
// separator tool "-": native separator items carry identifier 0, and this is
// the tool that measures and draws them.
#include <windows.h>

#include <functional>
#include <unordered_map>
#include <vector>

#include "ComObject.h"
#include "KeyedCollection.h"
#include "QuilletInterfaces.h"
#include "Tool.h"

class Band;

class Tools final : public platform::com::ComBase<Tools, platform::com::Dispatch<_Tools>, platform::com::SupportErrorInfo> {
public:
    static constexpr wchar_t SeparatorName[] = L"-";

    // Made through Make, which hands out the first reference.
    explicit Tools(Band* parent) noexcept : parent_(parent) {}

    // With the hidden separator tool in the style the band calls for.
    static platform::ComPtr<Tools> Make(Band* parent, QLToolStyle separatorStyle);

    void* Cast(REFIID iid) noexcept;

    // The band goes: every entry leaves, last first, and stops reporting to it.
    void Orphan() noexcept;

    Tool* Separator() const noexcept;
    std::vector<platform::ComPtr<Tool>> Snapshot() const { return tools_.Snapshot(); }

    // Walks the visible tools with their item positions in the native menu
    // (a BeginGroup separator takes a position of its own) until `visit`
    // answers false.
    void ForEachVisible(const std::function<bool(Tool& tool, int position)>& visit) const;
    // The item position of the first visible tool with that identifier; 0 without one.
    LONG IndexOfId(LONG id) const;
    // GetToolFromID: identifier 0 is the hidden separator tool, others the
    // first visible tool. One step: every item of a menu is measured and
    // drawn by its identifier.
    Tool* FromId(LONG id) const;
    // A tool came, went, moved, or changed its identifier or visibility.
    void ToolsChanged() noexcept { idsCurrent_ = false; }
    // GetToolFromIndex: the visible tool at that item position.
    Tool* FromPosition(LONG position) const;
    // FindTool: this band's visible tools and, through their SubBands, every submenu's.
    Tool* FindDeep(LONG id) const;

    // _Tools
    HRESULT STDMETHODCALLTYPE Add(LONG ID, BSTR Name, BSTR Caption, LONG Icon, QLToolStyle Style, BSTR Shortcut,
                                  VARIANT_BOOL BeginGroup, VARIANT_BOOL Checked, VARIANT_BOOL Default, BSTR OptionGroup,
                                  BSTR SubBand, VARIANT_BOOL OwnerDraw, VARIANT_BOOL AllowCustomDraw,
                                  VARIANT_BOOL Enabled, VARIANT_BOOL Visible, _Tool** result) override;
    HRESULT STDMETHODCALLTYPE Exists(VARIANT Index, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE GetToolFromID(LONG ID, _Tool** result) override;
    HRESULT STDMETHODCALLTYPE GetToolFromIndex(LONG Index, _Tool** result) override;
    HRESULT STDMETHODCALLTYPE Item(VARIANT Index, _Tool** result) override;
    HRESULT STDMETHODCALLTYPE Move(VARIANT Index, VARIANT Before, VARIANT After) override;
    HRESULT STDMETHODCALLTYPE Remove(VARIANT Index) override;
    HRESULT STDMETHODCALLTYPE RemoveAll() override;
    HRESULT STDMETHODCALLTYPE get_Count(LONG* value) override;
    HRESULT STDMETHODCALLTYPE get_NewEnum(IUnknown** value) override;
    HRESULT STDMETHODCALLTYPE get_Parent(_Band** value) override;
    HRESULT STDMETHODCALLTYPE FindTool(LONG ID, _Tool** result) override;

private:
    friend platform::com::ComBase<Tools, platform::com::Dispatch<_Tools>, platform::com::SupportErrorInfo>;
    ~Tools() override;

    Tool* FindDeep(LONG id, std::vector<const Tools*>& searched) const;
    void RemoveAt(int position);
    void RemoveKey(const std::wstring& key);
    void MoveNextTo(const std::wstring& key, const VARIANT& anchor, bool before);
    // The tool a client's index (a name or a position) names; nullptr for none.
    Tool* Named(const VARIANT& index) const;

    platform::KeyedCollection<platform::ComPtr<Tool>> tools_;
    // The first visible tool of each identifier, made again after a change.
    mutable std::unordered_map<LONG, Tool*> visibleById_;
    mutable bool idsCurrent_ = false;
    Band* parent_;  // not counted; cleared when the band goes
};
