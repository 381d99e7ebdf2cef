#pragma once
// Resource identifiers of the rule inspector, shared by its template and its
// code. Control IDs run from 4001; the control arrays (the finder buttons by
// the field they capture, the action frames by action code) are consecutive
// IDs. The templates of all forms share one resource script, so every name
// here carries the form's RI_ mark.

#define IDD_RULEINSPECTOR 400

#define IDC_RI_tbsOptions 4001
#define IDC_RI_cmdBack 4002
#define IDC_RI_cmdNext 4003
#define IDC_RI_cmdApply 4004

// General
#define IDC_RI_lblName 4010
#define IDC_RI_txtName 4011
#define IDC_RI_lblSearchBy 4012
#define IDC_RI_lblTitle 4013
#define IDC_RI_txtTitle 4014
#define IDC_RI_lblClass 4015
#define IDC_RI_txtClass 4016
#define IDC_RI_cmdFind 4017 /* 4017 title, 4018 class, 4019 program */
#define IDC_RI_chkPatternMatch 4020
#define IDC_RI_chkMatchCase 4021
#define IDC_RI_chkWholeWord 4022
#define IDC_RI_lblHandle 4023
#define IDC_RI_lblProgram 4024
#define IDC_RI_txtProgram 4025
#define IDC_RI_lblRefused 4026

// Action
#define IDC_RI_lblChoose 4030
#define IDC_RI_lblCriteria 4031
#define IDC_RI_cboCriteria 4032
#define IDC_RI_lblAction 4033
#define IDC_RI_cboAction 4034
#define IDC_RI_fraAction 4040 /* 4040-4046, by action code */
#define IDC_RI_lblIcon 4050
#define IDC_RI_cboIcon 4051
#define IDC_RI_picIcon 4052
#define IDC_RI_scbIcon 4053
#define IDC_RI_cmdBrowse 4054
#define IDC_RI_chkAutoHideDelay 4055
#define IDC_RI_txtAutoHideDelay 4056
#define IDC_RI_lblAlphaCaption 4060
#define IDC_RI_sldAlpha 4061
#define IDC_RI_lblAlpha 4062
