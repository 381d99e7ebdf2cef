; The installer: for the current user, no elevation, under the user's own
; programs folder. The components are found beside the program through its
; manifest, so nothing is registered for them.
; makensis -DVERSION=... -DOUTFILE=... -DFILES_DIR=... -DLICENSE_FILE=... Pelkin.nsi
; FILES_DIR holds InstallFiles.nsh and UninstallFiles.nsh, the lists of the
; staged files (cmake/MakeInstaller.cmake writes them).
Unicode true
Target amd64-unicode
ManifestDPIAware true
SetCompressor /SOLID lzma

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include Sections.nsh
!include WinMessages.nsh

!define PRODUCT "Pelkin!"
!define PROGRAM "Pelkin.exe"
!define UNINSTALLER "Uninstall.exe"
!define SHORTCUT "$SMPROGRAMS\${PRODUCT}.lnk"
; The program's own settings and its autostart value, as it writes them.
!define PROGRAM_KEY "Software\${PRODUCT}"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Pelkin"
; The program's hidden main window: a close sent to it ends the program
; without a question, every window it hid given back.
!define MAIN_CLASS "PelkinMainWindow"
!define MAIN_CAPTION "Pelkin!Main"
; The program writes its exception log beside itself.
!define LOG_FILE "PKException.txt"
!define CLOSE_TIMEOUT_MS 10000
!define SYNCHRONIZE 0x00100000

Name "${PRODUCT}"
OutFile "${OUTFILE}"
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\Pelkin"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"
VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "${PRODUCT} setup"
VIAddVersionKey "LegalCopyright" "Copyright (c) 2026 The Pelkin developers"

!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_FINISHPAGE_RUN "$INSTDIR\${PROGRAM}"
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\Pelkin.html"
!define MUI_FINISHPAGE_SHOWREADME_TEXT "Show the help page"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "${LICENSE_FILE}"
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; Ends a running Pelkin the way the program expects to be ended, and waits
; for its process, whose files could not be replaced or deleted before.
!macro DefineStopProgram prefix
Function ${prefix}StopProgram
  FindWindow $0 "${MAIN_CLASS}" "${MAIN_CAPTION}"
  ${If} $0 == 0
    Return
  ${EndIf}
  DetailPrint "Closing the running ${PRODUCT}"
  System::Call "user32::GetWindowThreadProcessId(p r0, *i .r1)"
  System::Call "kernel32::OpenProcess(i ${SYNCHRONIZE}, i 0, i r1) p .r2"
  SendMessage $0 ${WM_CLOSE} 0 0 /TIMEOUT=${CLOSE_TIMEOUT_MS}
  ${If} $2 P<> 0
    System::Call "kernel32::WaitForSingleObject(p r2, i ${CLOSE_TIMEOUT_MS}) i .r3"
    System::Call "kernel32::CloseHandle(p r2)"
  ${EndIf}
FunctionEnd
!macroend
!insertmacro DefineStopProgram ""
!insertmacro DefineStopProgram "un."

Section "${PRODUCT}" SecProgram
  SectionIn RO
  Call StopProgram
  !include "${FILES_DIR}\InstallFiles.nsh"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"
  CreateShortCut "${SHORTCUT}" "$INSTDIR\${PROGRAM}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "The Pelkin developers"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${PROGRAM}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; Autostart as the program's own options write it: the option, so that the
; options dialog shows it, and the value under the current user's Run key.
Section /o "Start ${PRODUCT} when I log on" SecAutoStart
  WriteRegStr HKCU "${PROGRAM_KEY}\Options" "AutoStart" "1"
  WriteRegStr HKCU "${RUN_KEY}" "${PRODUCT}" '"$INSTDIR\${PROGRAM}"'
SectionEnd

; A silent install chooses autostart with /AUTOSTART.
Function .onInit
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/AUTOSTART" $1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${SecAutoStart}
  ${EndIf}
FunctionEnd

Section "Uninstall"
  Call un.StopProgram
  ; The program removes its own registry entries, autostart included.
  ${If} ${FileExists} "$INSTDIR\${PROGRAM}"
    ExecWait '"$INSTDIR\${PROGRAM}" /uninstall /quiet'
  ${EndIf}
  !include "${FILES_DIR}\UninstallFiles.nsh"
  Delete "$INSTDIR\${LOG_FILE}"
  Delete "$INSTDIR\${UNINSTALLER}"
  Delete "${SHORTCUT}"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  ; Only when empty: whatever the user put there stays.
  RMDir "$INSTDIR"
SectionEnd
