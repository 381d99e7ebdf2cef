#pragma once
// The component's hidden window: a plain top-level window that is never shown
// (top-level, so that it hears the shell's broadcasts). Whoever uses it
// receives its messages through the subclassing module.
#include <windows.h>

#include "Handles.h"
#include "Window.h"

class frmSubclass : public platform::Window {
public:
    // Creates and loads the window; raises when the system refuses it.
    frmSubclass();
};
