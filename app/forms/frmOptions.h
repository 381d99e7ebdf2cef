#pragma once
// The options dialog: every application option on five pages.
#include <windows.h>
#include <commctrl.h>

#include <array>
#include <memory>

#include "CToolTips.h"
#include "ComPtr.h"
#include "SubclassHandler.h"
#include "Window.h"

class CApplication;
class OptionRefusals;

class frmOptions : public platform::Dialog {
public:
    // Shows and writes the options of `app`, which may go before the dialog.
    static std::shared_ptr<frmOptions> Create(std::weak_ptr<CApplication> app);

    // Brought forward when open; otherwise shown, modal or modeless, owned by
    // `owner`. A modeless dialog gives the focus back to its owner when it closes.
    void Display(bool modal, HWND owner);

protected:
    explicit frmOptions(std::weak_ptr<CApplication> app);

private:
    bool OnInitDialog() override;
    void OnCommand(int id, int notifyCode, HWND control) override;
    LRESULT OnNotify(const NMHDR& header) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

    void Form_Load();
    void Form_Unload();
    void FillLists();
    void AddTips();
    void ReadOptions(const CApplication& app);

    // Pages: the node's tag is the page's number.
    void tvwOptions_NodeClick(HTREEITEM node, bool moveFocus);
    void ShowPage(int page, bool visible);
    HWND FirstControl(int page) const;

    // Edits.
    void Changed();
    void chkOwnerDraw_Click();
    void chkSwitcherHotkey_Click();
    void chkCommandHotkey_Click();
    void chkWindowTitleLength_Click();
    void txtWindowTitleLength_Validate();
    void sldWindows_Change();
    void imgMouse_Click(int icon, int slot);
    LRESULT OnChar(HWND control, WPARAM key, LPARAM lParam);
    void DrawMouseImage(const DRAWITEMSTRUCT& item) const;

    // Writes every option through the application's setters, then has them
    // saved. False when some option was refused: the user has been told and
    // Apply stays enabled.
    bool Apply();
    void WriteOptions(CApplication& app, OptionRefusals& refused) const;
    void WriteSwitcher(CApplication& app, OptionRefusals& refused) const;
    void WriteCommandHotkeys(CApplication& app, OptionRefusals& refused) const;
    void cmdOK_Click();

    std::weak_ptr<CApplication> app_;
    // The owner of a modeless display, which gets the focus back.
    HWND owner_ = nullptr;
    int page_ = 0;
    // Set while the controls are filled: what they report then is no edit.
    bool loading_ = false;
    // Per icon (program, trayed window) and slot: whether the slot is the
    // one of its button shown for editing.
    std::array<std::array<bool, 4>, 2> slotShown_{};
    CToolTips tips_;
    // Sees the keys typed on the title length box and its check box.
    platform::ComPtr<SubclassHandler> keys_;
};
