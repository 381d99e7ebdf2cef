#pragma once
// Resource identifiers of the options dialog, shared by its template and its
// code. Control IDs run from 3001; the array controls of the mouse page are
// four consecutive IDs each, by slot.

#define IDD_OPTIONS 300

#define IDC_tvwOptions 3001
#define IDC_lblHeading 3002
#define IDC_linHeading 3003
#define IDC_cmdApply 3004

// General
#define IDC_lblHideIcon 3010
#define IDC_cboHideIcon 3011
#define IDC_lblStartup 3012
#define IDC_cboStartup 3013
#define IDC_lblWindowsInterval 3014
#define IDC_sldWindows 3015
#define IDC_lblConfirmations 3016
#define IDC_lstConfirmations 3017
#define IDC_chkWizardStyle 3018
#define IDC_lblTheme 3019
#define IDC_cboTheme 3020

// Mouse
#define IDC_lblMouseHelp 3030
#define IDC_lblMouseMain 3031
#define IDC_imgMouseMain 3032 /* 3032-3035 */
#define IDC_cboMouseMain 3036 /* 3036-3039 */
#define IDC_lblMouseWindow 3040
#define IDC_imgMouseWindow 3041 /* 3041-3044 */
#define IDC_cboMouseWindow 3045 /* 3045-3048 */

// Rules
#define IDC_lblRules 3060
#define IDC_lstRules 3061

// Hot keys: the switcher, hiding the active window, restoring all windows
#define IDC_chkSwitcherHotkey 3070
#define IDC_cboSwitcherHotkey 3071
#define IDC_lblSwitcherOptions 3072
#define IDC_lstSwitcherOptions 3073
#define IDC_chkHideActiveHotkey 3074
#define IDC_hkyHideActive 3075
#define IDC_chkRestoreAllHotkey 3076
#define IDC_hkyRestoreAll 3077

// Advanced
#define IDC_chkWindowTitleLength 3080
#define IDC_txtWindowTitleLength 3081
#define IDC_chkBanner 3082
#define IDC_lblHighlight 3083
#define IDC_cboHighlight 3084
#define IDC_chkOwnerDraw 3085
#define IDC_lblMenus 3086
#define IDC_lstMenus 3087
