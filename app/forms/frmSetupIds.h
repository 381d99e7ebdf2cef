#pragma once
// Identifiers of the rules editor's template and controls.
#define IDD_SETUP 500

#define IDC_SETUP_TBSVIEW 5001
#define IDC_SETUP_LVWRULES 5002
#define IDC_SETUP_LVWWINDOWS 5003
#define IDC_SETUP_LBLVIEWS 5004
#define IDC_SETUP_CBOVIEWS 5005
#define IDC_SETUP_CMDAPPLY 5006
#define IDC_SETUP_PICPELKINBAR 5007
#define IDC_SETUP_TBRSTANDARD 5008

// The toolbar's buttons.
#define IDC_SETUP_TBR_NEW 5101
#define IDC_SETUP_TBR_OPEN 5102
#define IDC_SETUP_TBR_CUT 5103
#define IDC_SETUP_TBR_COPY 5104
#define IDC_SETUP_TBR_PASTE 5105
#define IDC_SETUP_TBR_DELETE 5106
#define IDC_SETUP_TBR_MOVEUP 5107
#define IDC_SETUP_TBR_MOVEDOWN 5108
#define IDC_SETUP_TBR_REFRESH 5109

#ifndef RC_INVOKED
// The name the editor's failures are logged under, whichever of its parts met them.
inline constexpr wchar_t SetupLogSource[] = L"frmSetup";
#endif
