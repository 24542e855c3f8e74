; Installer of the Orvane gaming mouse software, built by scripts/make_installer.sh:
;   makensis -DVERSION=1.0.0 -DOUTFILE=TarnSetup.exe -DLISTS=<folder with the file lists>
; Installs the three programs with their language files, pictures, TarnPrefs.txt and the INF
; that TarnWake reads, and starts TarnWake and TarnDesk at log-on; the uninstaller removes
; exactly those and leaves the user's settings.
; The installer speaks the languages the programs ship in and writes the language the user
; chooses for the programs (silently: /LANGUAGE=<code>, e.g. /LANGUAGE=0419).
Unicode true
SetCompressor /SOLID lzma

!include LogicLib.nsh
!include WinMessages.nsh
!include x64.nsh
!include FileFunc.nsh
!include MUI2.nsh
!include nsDialogs.nsh

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
; Where TarnDesk and TarnAgent each read the code of their language file (per user).
!define DESK_SETTINGS_KEY "Software\Orvane\Gaming\Settings"
!define AGENT_SETTINGS_KEY "Software\Orvane\Stilbe\Settings"
!define FALLBACK_LANGUAGE "0409"

; The shipped languages (Language\<code>.txt), each named in its own words.
!macro FOR_EACH_LANGUAGE MACRO
  !insertmacro ${MACRO} "0409" "English"
  !insertmacro ${MACRO} "0407" "Deutsch"
  !insertmacro ${MACRO} "040C" "Français"
  !insertmacro ${MACRO} "0C0A" "Español"
  !insertmacro ${MACRO} "0410" "Italiano"
  !insertmacro ${MACRO} "0416" "Português (Brasil)"
  !insertmacro ${MACRO} "0415" "Polski"
  !insertmacro ${MACRO} "0419" "Русский"
  !insertmacro ${MACRO} "0411" "日本語"
  !insertmacro ${MACRO} "0412" "한국어"
  !insertmacro ${MACRO} "0804" "中文(简体)"
  !insertmacro ${MACRO} "0404" "中文(繁體)"
!macroend

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Orvane\Gaming Mouse"
RequestExecutionLevel admin
ShowInstDetails show
ShowUninstDetails show
BrandingText "${PRODUCT}"

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright (C) 2026 Orvane"

Var ProgramLanguage
Var LanguageList

!define MUI_ICON "image\mark.ico"
!define MUI_UNICON "image\mark.ico"
!insertmacro MUI_PAGE_DIRECTORY
Page custom LanguagePageShow LanguagePageLeave
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

; The installer's own pages follow the system's user-interface language among these.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "German"
!insertmacro MUI_LANGUAGE "French"
!insertmacro MUI_LANGUAGE "SpanishInternational"
!insertmacro MUI_LANGUAGE "Italian"
!insertmacro MUI_LANGUAGE "PortugueseBR"
!insertmacro MUI_LANGUAGE "Polish"
!insertmacro MUI_LANGUAGE "Russian"
!insertmacro MUI_LANGUAGE "Japanese"
!insertmacro MUI_LANGUAGE "Korean"
!insertmacro MUI_LANGUAGE "SimpChinese"
!insertmacro MUI_LANGUAGE "TradChinese"

LangString LanguagePageTitle ${LANG_ENGLISH} "Language"
LangString LanguagePageText ${LANG_ENGLISH} "Choose the language of the mouse programs."
LangString LanguageLabel ${LANG_ENGLISH} "Language of the mouse programs:"
LangString LanguagePageTitle ${LANG_GERMAN} "Sprache"
LangString LanguagePageText ${LANG_GERMAN} "Wählen Sie die Sprache der Mausprogramme."
LangString LanguageLabel ${LANG_GERMAN} "Sprache der Mausprogramme:"
LangString LanguagePageTitle ${LANG_FRENCH} "Langue"
LangString LanguagePageText ${LANG_FRENCH} "Choisissez la langue des programmes de la souris."
LangString LanguageLabel ${LANG_FRENCH} "Langue des programmes de la souris :"
LangString LanguagePageTitle ${LANG_SPANISHINTERNATIONAL} "Idioma"
LangString LanguagePageText ${LANG_SPANISHINTERNATIONAL} "Elija el idioma de los programas del mouse."
LangString LanguageLabel ${LANG_SPANISHINTERNATIONAL} "Idioma de los programas del mouse:"
LangString LanguagePageTitle ${LANG_ITALIAN} "Lingua"
LangString LanguagePageText ${LANG_ITALIAN} "Scegliere la lingua dei programmi del mouse."
LangString LanguageLabel ${LANG_ITALIAN} "Lingua dei programmi del mouse:"
LangString LanguagePageTitle ${LANG_PORTUGUESEBR} "Idioma"
LangString LanguagePageText ${LANG_PORTUGUESEBR} "Escolha o idioma dos programas do mouse."
LangString LanguageLabel ${LANG_PORTUGUESEBR} "Idioma dos programas do mouse:"
LangString LanguagePageTitle ${LANG_POLISH} "Język"
LangString LanguagePageText ${LANG_POLISH} "Wybierz język programów myszy."
LangString LanguageLabel ${LANG_POLISH} "Język programów myszy:"
LangString LanguagePageTitle ${LANG_RUSSIAN} "Язык"
LangString LanguagePageText ${LANG_RUSSIAN} "Выберите язык программ мыши."
LangString LanguageLabel ${LANG_RUSSIAN} "Язык программ мыши:"
LangString LanguagePageTitle ${LANG_JAPANESE} "言語"
LangString LanguagePageText ${LANG_JAPANESE} "マウス プログラムの言語を選択してください。"
LangString LanguageLabel ${LANG_JAPANESE} "マウス プログラムの言語:"
LangString LanguagePageTitle ${LANG_KOREAN} "언어"
LangString LanguagePageText ${LANG_KOREAN} "마우스 프로그램의 언어를 선택하세요."
LangString LanguageLabel ${LANG_KOREAN} "마우스 프로그램 언어:"
LangString LanguagePageTitle ${LANG_SIMPCHINESE} "语言"
LangString LanguagePageText ${LANG_SIMPCHINESE} "选择鼠标程序的语言。"
LangString LanguageLabel ${LANG_SIMPCHINESE} "鼠标程序的语言:"
LangString LanguagePageTitle ${LANG_TRADCHINESE} "語言"
LangString LanguagePageText ${LANG_TRADCHINESE} "選擇滑鼠程式的語言。"
LangString LanguageLabel ${LANG_TRADCHINESE} "滑鼠程式的語言:"

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

; $1 = $0 when $0 names a shipped language (in any letter case), else unchanged.
!macro MATCH_CODE CODE NAME
  ${If} $0 == "${CODE}"
    StrCpy $1 "${CODE}"
  ${EndIf}
!macroend

; $1 = the first shipped language whose primary language is $3, when $1 is still empty.
!macro MATCH_PRIMARY CODE NAME
  IntOp $4 0x${CODE} & 0x3FF
  ${If} $1 == ""
  ${AndIf} $4 == $3
    StrCpy $1 "${CODE}"
  ${EndIf}
!macroend

; The language the programs start in: the /LANGUAGE= option, else the one the user chose
; before (a reinstall keeps it), else the system's user-interface language or its nearest
; shipped relative, else English.
Function ChooseProgramLanguage
  StrCpy $1 ""
  ClearErrors
  ${GetOptions} $CMDLINE "/LANGUAGE=" $0
  ${IfNot} ${Errors}
    !insertmacro FOR_EACH_LANGUAGE MATCH_CODE
  ${EndIf}
  ${If} $1 == ""
    ReadRegStr $0 HKCU "${DESK_SETTINGS_KEY}" "language"
    !insertmacro FOR_EACH_LANGUAGE MATCH_CODE
  ${EndIf}
  ${If} $1 == ""
    System::Call "kernel32::GetUserDefaultUILanguage() i .r2"
    IntFmt $0 "%04X" $2
    !insertmacro FOR_EACH_LANGUAGE MATCH_CODE
    ${If} $1 == ""
      ; Chinese of Hong Kong and Macao is written in traditional characters.
      ${If} $2 = 0x0C04
      ${OrIf} $2 = 0x1404
        StrCpy $1 "0404"
      ${EndIf}
      IntOp $3 $2 & 0x3FF
      !insertmacro FOR_EACH_LANGUAGE MATCH_PRIMARY
    ${EndIf}
  ${EndIf}
  ${If} $1 == ""
    StrCpy $1 "${FALLBACK_LANGUAGE}"
  ${EndIf}
  StrCpy $ProgramLanguage $1
FunctionEnd

Function .onInit
  ${IfNot} ${RunningX64}
    MessageBox MB_ICONSTOP "${PRODUCT} needs a 64-bit edition of Windows." /SD IDOK
    Abort
  ${EndIf}
  SetRegView 64
  Call ChooseProgramLanguage
FunctionEnd

!macro ADD_LANGUAGE CODE NAME
  ${NSD_CB_AddString} $LanguageList "${NAME}"
  ${If} $ProgramLanguage == "${CODE}"
    ${NSD_CB_SelectString} $LanguageList "${NAME}"
  ${EndIf}
!macroend

!macro CODE_OF_NAME CODE NAME
  ${If} $0 == "${NAME}"
    StrCpy $ProgramLanguage "${CODE}"
  ${EndIf}
!macroend

Function LanguagePageShow
  !insertmacro MUI_HEADER_TEXT "$(LanguagePageTitle)" "$(LanguagePageText)"
  nsDialogs::Create 1018
  Pop $0
  ${If} $0 == error
    Abort
  ${EndIf}
  ${NSD_CreateLabel} 0 0 100% 12u "$(LanguageLabel)"
  Pop $0
  ${NSD_CreateDropList} 0 14u 50% 120u ""
  Pop $LanguageList
  !insertmacro FOR_EACH_LANGUAGE ADD_LANGUAGE
  nsDialogs::Show
FunctionEnd

Function LanguagePageLeave
  ${NSD_GetText} $LanguageList $0
  !insertmacro FOR_EACH_LANGUAGE CODE_OF_NAME
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

  ; The installing user's language for both programs; like the rest of the user's settings
  ; it outlives an uninstall.
  WriteRegStr HKCU "${DESK_SETTINGS_KEY}" "language" "$ProgramLanguage"
  WriteRegStr HKCU "${AGENT_SETTINGS_KEY}" "language" "$ProgramLanguage"

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
