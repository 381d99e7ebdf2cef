#pragma once
// The options dialog: every application option on five pages.
#include <windows.h>

#include <memory>

#include "Window.h"

class frmOptions : public platform::Dialog {
public:
    static std::shared_ptr<frmOptions> Create();

    // Brought forward when open; otherwise shown, modal or modeless, owned by
    // `owner`. A modeless dialog gives the focus back to its owner when it closes.
    void Display(bool modal, HWND owner);

protected:
    frmOptions();
};
