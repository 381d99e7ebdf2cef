#pragma once
// The rules editor window.
#include <memory>

#include "Window.h"

class frmSetup : public platform::Dialog {
public:
    static std::shared_ptr<frmSetup> Create();
    // Shows the editor, or brings it forward when it is shown already.
    void Display();

private:
    frmSetup();
};
