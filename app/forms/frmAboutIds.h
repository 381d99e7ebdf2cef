#pragma once
// Identifiers of the About box's template and controls.
#define IDD_ABOUT 200
#define IDC_ABOUT_IMGICON 2001
#define IDC_ABOUT_LBLPRODUCT 2002
#define IDC_ABOUT_LBLVERSION 2003
#define IDC_ABOUT_LBLCOPYRIGHT 2004
