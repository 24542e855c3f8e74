; Installer of the Orvane gaming mouse software, built by scripts/make_installer.sh:
;   makensis -DVERSION=1.0.0 -DOUTFILE=TarnSetup.exe -DLISTS=<folder with the file lists>
; Installs the three programs with their language files, pictures, TarnPrefs.txt and the INF
; that TarnWake reads, and starts TarnWake and TarnDesk at log-on; the uninstaller removes
; exactly those and leaves the user's settings.
Unicode true
SetCompressor /SOLID lzma

!include LogicLib.nsh
!include WinMessages.nsh
!include x64.nsh
!include FileFunc.nsh

!ifndef VERSION
  !error "VERSION is not defined"
!endif
!ifndef OUTFILE
  !define OUTFILE "TarnSetup-${VERSION}.exe"
!endif

!define PRODUCT "Orvane Gaming Mouse Software"
!define PUBLISHER "Orvane"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\OrvaneGamingMouse"
!define MENU_FOLDER "$SMPROGRAMS\Orvane Gaming Mouse"
!define SHORTCUT "${MENU_FOLDER}\Gaming Mouse Settings.lnk"
; TarnDesk and TarnAgent keep their module path in 100 characters.
!define MAX_INSTDIR 85

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Orvane\Gaming Mouse"
RequestExecutionLevel admin
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright (C) 2026 Orvane"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; Asks each program's window to close and waits up to five seconds for it; a copy that
; does not end is stopped, so its files can be replaced or removed.
!macro END_PROGRAM CLASS WINDOW IMAGE
  StrCpy $1 0
  ${Do}
    FindWindow $0 "${CLASS}" "${WINDOW}"
    ${If} $0 == 0
      ${Break}
    ${EndIf}
    ${If} $1 == 0
      SendMessage $0 ${WM_CLOSE} 0 0 /TIMEOUT=2000
    ${EndIf}
    IntOp $1 $1 + 1
    ${If} $1 > 50
      ${Break}
    ${EndIf}
    Sleep 100
  ${Loop}
  nsExec::Exec '"$SYSDIR\taskkill.exe" /F /IM "${IMAGE}"'
  Pop $0
!macroend

!macro END_RUNNING_COPIES un
  Function ${un}EndRunningCopies
    !insertmacro END_PROGRAM "TarnDeskCLass" "TarnDeskWnd" "TarnDesk.exe"
    !insertmacro END_PROGRAM "TarnAgentClass" "TarnAgentWnd" "TarnAgent.exe"
    !insertmacro END_PROGRAM "TarnWakeClass" "TarnWakeWnd" "TarnWake.exe"
  FunctionEnd
!macroend
!insertmacro END_RUNNING_COPIES ""
!insertmacro END_RUNNING_COPIES "un."

Function .onInit
  ${IfNot} ${RunningX64}
    MessageBox MB_ICONSTOP "${PRODUCT} needs a 64-bit edition of Windows." /SD IDOK
    Abort
  ${EndIf}
  SetRegView 64
FunctionEnd

Function .onVerifyInstDir
  StrLen $0 $INSTDIR
  ${If} $0 > ${MAX_INSTDIR}
    Abort
  ${EndIf}
FunctionEnd

Section "Programs"
  SetShellVarContext all
  SetRegView 64
  Call EndRunningCopies

  !include "${LISTS}\install_files.nsh"
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  ; An earlier version wrote both Run values in the 64-bit view; beside the new ones log-on
  ; would start every program twice. The names are ours, so they go whatever they hold.
  DeleteRegValue HKLM "${RUN_KEY}" "TarnAgent"
  DeleteRegValue HKLM "${RUN_KEY}" "TarnWake"
  ; The 32-bit view, where the 32-bit TarnWake reads the agent's command (Windows runs the
  ; entries of both views at log-on). Unquoted: TarnWake hands the whole value to the shell
  ; as one file name.
  SetRegView 32
  WriteRegStr HKLM "${RUN_KEY}" "TarnAgent" "$INSTDIR\TarnAgent.exe"
  WriteRegStr HKLM "${RUN_KEY}" "TarnWake" "$INSTDIR\TarnWake.exe"
  ; TarnDesk at log-on, so program profiles follow the program in front from the start. Only
  ; Windows reads this one, so it is quoted: the folder may hold spaces.
  WriteRegStr HKLM "${RUN_KEY}" "TarnDesk" '"$INSTDIR\TarnDesk.exe"'
  SetRegView 64

  ; TarnDesk finds its pictures relative to the working folder.
  CreateDirectory "${MENU_FOLDER}"
  SetOutPath "$INSTDIR"
  CreateShortCut "${SHORTCUT}" "$INSTDIR\TarnDesk.exe" "" "$INSTDIR\TarnDesk.exe" 0

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\TarnDesk.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Function un.onInit
  SetRegView 64
FunctionEnd

; Removes what the installer put down; the per-user settings under
; HKCU\Software\Orvane stay for a later installation.
Section "Uninstall"
  SetShellVarContext all
  SetRegView 64
  Call un.EndRunningCopies

  !include "${LISTS}\uninstall_files.nsh"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
  ${GetParent} "$INSTDIR" $0
  ${If} $0 == "$PROGRAMFILES64\Orvane"
    RMDir "$0"
  ${EndIf}

  Delete "${SHORTCUT}"
  RMDir "${MENU_FOLDER}"

  ; Only the values that still name this installation's programs, in the 32-bit view where
  ; the installer wrote them.
  SetRegView 32
  ReadRegStr $0 HKLM "${RUN_KEY}" "TarnAgent"
  ${If} $0 == "$INSTDIR\TarnAgent.exe"
    DeleteRegValue HKLM "${RUN_KEY}" "TarnAgent"
  ${EndIf}
  ReadRegStr $0 HKLM "${RUN_KEY}" "TarnWake"
  ${If} $0 == "$INSTDIR\TarnWake.exe"
    DeleteRegValue HKLM "${RUN_KEY}" "TarnWake"
  ${EndIf}
  ReadRegStr $0 HKLM "${RUN_KEY}" "TarnDesk"
  ${If} $0 == '"$INSTDIR\TarnDesk.exe"'
    DeleteRegValue HKLM "${RUN_KEY}" "TarnDesk"
  ${EndIf}
  SetRegView 64
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
