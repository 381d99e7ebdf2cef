#pragma once
// The About box: the program's title, version and legal notice.
#include <windows.h>

#include <memory>

#include "Window.h"

class frmAbout : public platform::Dialog {
public:
    static std::shared_ptr<frmAbout> Create();

    // Brought forward when open; otherwise shown, modal or modeless, owned by
    // `owner`. A modeless box gives the focus back to its owner when it closes.
    void Display(bool modal, HWND owner);

protected:
    frmAbout();

private:
    bool OnInitDialog() override;
    void OnCommand(int id, int notifyCode, HWND control) override;

    // The form a modeless box gives the focus back to when it closes.
    HWND owner_ = nullptr;
};
