; Installer of the Orvane gaming mouse software, built by scripts/make_installer.sh:
;   makensis -DVERSION=1.0.0 -DOUTFILE=TarnSetup.exe -DLISTS=<folder with the file lists>
; Installs the three programs with their language files, pictures, TarnPrefs.txt and the INF
; that TarnWake reads, starts them at log-on and, at the end, right away (TarnDesk unless
; /NOSTART is given or the finish page's box is cleared); the uninstaller removes exactly
; those and leaves the user's settings.
; The installer speaks the languages the programs ship in and writes the language the user
; chooses for the programs (silently: /LANGUAGE=<code>, e.g. /LANGUAGE=0419).
; Profile files (.tarnprofile) and backups of the mouse's memory (.tarnprofiles) open in
; TarnDesk for the user whose desktop runs; the uninstaller leaves an association that
; another installation or program has taken over since.
; Running programs are asked to close and waited for, never killed: a TarnDesk command-line
; run may be in the middle of a transfer to the mouse.
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
; The longest install folder; TarnDesk and TarnAgent once kept their module path in 100
; characters, and the language files and pictures lie below the folder.
!define MAX_INSTDIR 85
; How long running programs get to end after they were asked to, and a command-line
; transfer to end (a restore takes about ten seconds), before the user is asked.
!define CLOSE_WAIT_MS 30000
; Where TarnDesk and TarnAgent each read the code of their language file (per user).
!define DESK_SETTINGS_KEY "Software\Orvane\Gaming\Settings"
!define AGENT_SETTINGS_KEY "Software\Orvane\Stilbe\Settings"
!define FALLBACK_LANGUAGE "0409"
; The user's file types (HKCR shows them over the machine's), and how TarnDesk opens a file:
; TarnDesk reads the path from exactly this form.
!define CLASSES_KEY "Software\Classes"
!define OPEN_COMMAND '"$INSTDIR\TarnDesk.exe" /open "%1"'
; Icon ids in TarnDesk.exe (configurator/resources/tarndesk_res.h).
!define PROFILE_FILE_ICON 113
!define PROFILES_FILE_ICON 114

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

; The names of the two file types, in the language the user chose for the programs.
!macro FOR_EACH_TYPE_NAME MACRO
  !insertmacro ${MACRO} "0409" "Gaming Mouse profile" "Gaming Mouse profiles backup"
  !insertmacro ${MACRO} "0407" "Gaming-Mouse-Profil" "Gaming-Mouse-Profilsicherung"
  !insertmacro ${MACRO} "040C" "Profil Gaming Mouse" "Sauvegarde des profils Gaming Mouse"
  !insertmacro ${MACRO} "0C0A" "Perfil de Gaming Mouse" "Copia de seguridad de perfiles de Gaming Mouse"
  !insertmacro ${MACRO} "0410" "Profilo Gaming Mouse" "Backup dei profili Gaming Mouse"
  !insertmacro ${MACRO} "0416" "Perfil do Gaming Mouse" "Backup dos perfis do Gaming Mouse"
  !insertmacro ${MACRO} "0415" "Profil Gaming Mouse" "Kopia zapasowa profili Gaming Mouse"
  !insertmacro ${MACRO} "0419" "Профиль Gaming Mouse" "Резервная копия профилей Gaming Mouse"
  !insertmacro ${MACRO} "0411" "Gaming Mouse プロファイル" "Gaming Mouse プロファイルのバックアップ"
  !insertmacro ${MACRO} "0412" "Gaming Mouse 프로필" "Gaming Mouse 프로필 백업"
  !insertmacro ${MACRO} "0804" "Gaming Mouse 配置文件" "Gaming Mouse 配置文件备份"
  !insertmacro ${MACRO} "0404" "Gaming Mouse 設定檔" "Gaming Mouse 設定檔備份"
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
; The string SID of the user whose desktop this is (who started the installer, also when an
; administrator's account elevated it); empty when there is no desktop shell.
Var DesktopUser
; 1 for each program that ran before and was closed here, so it is started again.
Var DeskWasRunning
Var AgentWasRunning
Var WakeWasRunning
; 1 when TarnDesk is not to be started at the end (/NOSTART), unless it was running.
Var NoStart

!define MUI_ICON "image\mark.ico"
!define MUI_UNICON "image\mark.ico"
; Cancel asks first.
!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_WELCOME
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE DirectoryPageLeave
!insertmacro MUI_PAGE_DIRECTORY
Page custom LanguagePageShow LanguagePageLeave
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "$(StartSettingsText)"
!define MUI_FINISHPAGE_RUN_FUNCTION StartDeskFromFinishPage
!define MUI_PAGE_CUSTOMFUNCTION_SHOW FinishPageShow
!insertmacro MUI_PAGE_FINISH
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

; Texts of the pages and messages the installer adds to the standard ones.
LangString StartSettingsText ${LANG_ENGLISH} "Start Gaming Mouse Settings"
LangString FolderTooLong ${LANG_ENGLISH} "The folder path is too long: it may hold at most ${MAX_INSTDIR} characters. Choose a shorter folder."
LangString FolderNotRestricted ${LANG_ENGLISH} "Setup could not limit changes in $INSTDIR to administrators. The programs start for every user who logs on, so they are not installed in a folder that others could change. Choose a folder inside Program Files."
LangString ProgramsStillRunning ${LANG_ENGLISH} "The mouse programs are still running, or a transfer to the mouse is not finished. Wait until it ends, then choose Retry. Cancel stops without changing anything."
LangString StartSettingsText ${LANG_GERMAN} "Gaming Mouse Settings starten"
LangString FolderTooLong ${LANG_GERMAN} "Der Ordnerpfad ist zu lang: Er darf höchstens ${MAX_INSTDIR} Zeichen haben. Wählen Sie einen kürzeren Ordner."
LangString FolderNotRestricted ${LANG_GERMAN} "Setup konnte Änderungen in $INSTDIR nicht auf Administratoren beschränken. Die Programme starten für jeden Benutzer, der sich anmeldet, daher werden sie nicht in einen Ordner installiert, den andere ändern könnten. Wählen Sie einen Ordner unter Programme."
LangString ProgramsStillRunning ${LANG_GERMAN} "Die Mausprogramme laufen noch, oder eine Übertragung zur Maus ist nicht beendet. Warten Sie, bis sie endet, und wählen Sie dann Wiederholen. Abbrechen beendet Setup, ohne etwas zu ändern."
LangString StartSettingsText ${LANG_FRENCH} "Démarrer Gaming Mouse Settings"
LangString FolderTooLong ${LANG_FRENCH} "Le chemin du dossier est trop long : il peut compter au plus ${MAX_INSTDIR} caractères. Choisissez un dossier plus court."
LangString FolderNotRestricted ${LANG_FRENCH} "L'installation n'a pas pu réserver les modifications de $INSTDIR aux administrateurs. Les programmes démarrent pour chaque utilisateur qui ouvre une session ; ils ne sont donc pas installés dans un dossier que d'autres pourraient modifier. Choisissez un dossier dans Program Files."
LangString ProgramsStillRunning ${LANG_FRENCH} "Les programmes de la souris sont encore en cours d'exécution, ou un transfert vers la souris n'est pas terminé. Attendez qu'il se termine, puis choisissez Réessayer. Annuler arrête sans rien modifier."
LangString StartSettingsText ${LANG_SPANISHINTERNATIONAL} "Iniciar Gaming Mouse Settings"
LangString FolderTooLong ${LANG_SPANISHINTERNATIONAL} "La ruta de la carpeta es demasiado larga: puede tener como máximo ${MAX_INSTDIR} caracteres. Elija una carpeta más corta."
LangString FolderNotRestricted ${LANG_SPANISHINTERNATIONAL} "El programa de instalación no pudo limitar los cambios en $INSTDIR a los administradores. Los programas se inician para cada usuario que inicia sesión, por lo que no se instalan en una carpeta que otros podrían modificar. Elija una carpeta dentro de Archivos de programa."
LangString ProgramsStillRunning ${LANG_SPANISHINTERNATIONAL} "Los programas del mouse siguen en ejecución o no ha terminado una transferencia al mouse. Espere a que termine y elija Reintentar. Cancelar detiene la instalación sin cambiar nada."
LangString StartSettingsText ${LANG_ITALIAN} "Avvia Gaming Mouse Settings"
LangString FolderTooLong ${LANG_ITALIAN} "Il percorso della cartella è troppo lungo: può contenere al massimo ${MAX_INSTDIR} caratteri. Scegliere una cartella più breve."
LangString FolderNotRestricted ${LANG_ITALIAN} "L'installazione non è riuscita a limitare le modifiche in $INSTDIR agli amministratori. I programmi si avviano per ogni utente che accede, quindi non vengono installati in una cartella che altri potrebbero modificare. Scegliere una cartella in Programmi."
LangString ProgramsStillRunning ${LANG_ITALIAN} "I programmi del mouse sono ancora in esecuzione oppure un trasferimento verso il mouse non è terminato. Attendere che finisca, quindi scegliere Riprova. Annulla interrompe senza modificare nulla."
LangString StartSettingsText ${LANG_PORTUGUESEBR} "Iniciar o Gaming Mouse Settings"
LangString FolderTooLong ${LANG_PORTUGUESEBR} "O caminho da pasta é longo demais: ele pode ter no máximo ${MAX_INSTDIR} caracteres. Escolha uma pasta mais curta."
LangString FolderNotRestricted ${LANG_PORTUGUESEBR} "A instalação não conseguiu limitar as alterações em $INSTDIR aos administradores. Os programas iniciam para todo usuário que entra no sistema, por isso não são instalados em uma pasta que outros poderiam alterar. Escolha uma pasta dentro de Arquivos de Programas."
LangString ProgramsStillRunning ${LANG_PORTUGUESEBR} "Os programas do mouse ainda estão em execução ou uma transferência para o mouse não terminou. Aguarde o fim e escolha Repetir. Cancelar interrompe sem alterar nada."
LangString StartSettingsText ${LANG_POLISH} "Uruchom Gaming Mouse Settings"
LangString FolderTooLong ${LANG_POLISH} "Ścieżka folderu jest za długa: może mieć najwyżej ${MAX_INSTDIR} znaków. Wybierz krótszy folder."
LangString FolderNotRestricted ${LANG_POLISH} "Instalator nie mógł ograniczyć zmian w $INSTDIR do administratorów. Programy uruchamiają się dla każdego logującego się użytkownika, dlatego nie są instalowane w folderze, który inni mogliby zmienić. Wybierz folder w Program Files."
LangString ProgramsStillRunning ${LANG_POLISH} "Programy myszy nadal działają albo transfer do myszy jeszcze się nie zakończył. Poczekaj, aż się zakończy, i wybierz Ponów. Anuluj przerywa bez wprowadzania zmian."
LangString StartSettingsText ${LANG_RUSSIAN} "Запустить Gaming Mouse Settings"
LangString FolderTooLong ${LANG_RUSSIAN} "Путь к папке слишком длинный: в нём может быть не более ${MAX_INSTDIR} символов. Выберите папку с более коротким путём."
LangString FolderNotRestricted ${LANG_RUSSIAN} "Программе установки не удалось разрешить изменения в $INSTDIR только администраторам. Программы запускаются для каждого пользователя при входе в систему, поэтому они не устанавливаются в папку, которую могут изменить другие. Выберите папку внутри Program Files."
LangString ProgramsStillRunning ${LANG_RUSSIAN} "Программы мыши ещё работают, или передача данных в мышь не завершена. Дождитесь её окончания и нажмите «Повтор». «Отмена» прерывает установку без изменений."
LangString StartSettingsText ${LANG_JAPANESE} "Gaming Mouse Settings を起動する"
LangString FolderTooLong ${LANG_JAPANESE} "フォルダーのパスが長すぎます。パスは ${MAX_INSTDIR} 文字以内にしてください。短いフォルダーを選んでください。"
LangString FolderNotRestricted ${LANG_JAPANESE} "$INSTDIR の変更を管理者だけに制限できませんでした。プログラムはログオンするすべてのユーザーで起動するため、他のユーザーが変更できるフォルダーにはインストールしません。Program Files 内のフォルダーを選んでください。"
LangString ProgramsStillRunning ${LANG_JAPANESE} "マウスのプログラムがまだ実行中か、マウスへの転送が終わっていません。終わるまで待ってから [再試行] を選んでください。[キャンセル] を選ぶと何も変更せずに終了します。"
LangString StartSettingsText ${LANG_KOREAN} "Gaming Mouse Settings 시작"
LangString FolderTooLong ${LANG_KOREAN} "폴더 경로가 너무 깁니다. 경로는 최대 ${MAX_INSTDIR}자까지 가능합니다. 더 짧은 폴더를 선택하세요."
LangString FolderNotRestricted ${LANG_KOREAN} "$INSTDIR의 변경 권한을 관리자로 제한하지 못했습니다. 프로그램은 로그온하는 모든 사용자에게서 시작되므로 다른 사람이 변경할 수 있는 폴더에는 설치하지 않습니다. Program Files 안의 폴더를 선택하세요."
LangString ProgramsStillRunning ${LANG_KOREAN} "마우스 프로그램이 아직 실행 중이거나 마우스로의 전송이 끝나지 않았습니다. 끝날 때까지 기다린 후 [다시 시도]를 선택하세요. [취소]를 선택하면 아무것도 변경하지 않고 중지합니다."
LangString StartSettingsText ${LANG_SIMPCHINESE} "启动 Gaming Mouse Settings"
LangString FolderTooLong ${LANG_SIMPCHINESE} "文件夹路径太长：最多只能有 ${MAX_INSTDIR} 个字符。请选择较短的文件夹。"
LangString FolderNotRestricted ${LANG_SIMPCHINESE} "安装程序无法将 $INSTDIR 的更改权限限制为管理员。这些程序会为每个登录的用户启动，因此不会安装到其他人可以更改的文件夹中。请选择 Program Files 中的文件夹。"
LangString ProgramsStillRunning ${LANG_SIMPCHINESE} "鼠标程序仍在运行，或向鼠标的传输尚未完成。请等待其结束，然后选择“重试”。选择“取消”将停止安装且不做任何更改。"
LangString StartSettingsText ${LANG_TRADCHINESE} "啟動 Gaming Mouse Settings"
LangString FolderTooLong ${LANG_TRADCHINESE} "資料夾路徑太長：最多只能有 ${MAX_INSTDIR} 個字元。請選擇較短的資料夾。"
LangString FolderNotRestricted ${LANG_TRADCHINESE} "安裝程式無法將 $INSTDIR 的變更權限限制為系統管理員。這些程式會為每位登入的使用者啟動，因此不會安裝到其他人可以變更的資料夾。請選擇 Program Files 中的資料夾。"
LangString ProgramsStillRunning ${LANG_TRADCHINESE} "滑鼠程式仍在執行，或傳送到滑鼠的作業尚未完成。請等候其結束，然後選擇「重試」。選擇「取消」會停止安裝且不做任何變更。"

; $0 = how many processes run one of this installation's programs, found by their image
; path: a TarnDesk command-line run, which has no window, counts too.
!macro COUNT_OUR_PROCESSES un
  Function ${un}CountOurProcesses
    System::Store "s"
    StrCpy $R0 0
    System::Call 'kernel32::CreateToolhelp32Snapshot(i 2, i 0) p .r1'
    ${If} $1 <> -1
      ; PROCESSENTRY32W as a 32-bit process lays it out: nine 32-bit fields, then szExeFile.
      System::Call '*(i 556, i, i, i, i, i, i, i, i, &w260) p .r2'
      System::Call 'kernel32::Process32FirstW(p r1, p r2) i .r3'
      ${DoWhile} $3 <> 0
        System::Call '*$2(i, i, i .r4, i, i, i, i, i, i, &w260 .r5)'
        ${If} $5 == "TarnDesk.exe"
        ${OrIf} $5 == "TarnDesk.com"
        ${OrIf} $5 == "TarnAgent.exe"
        ${OrIf} $5 == "TarnWake.exe"
          System::Call 'kernel32::OpenProcess(i 0x1000, i 0, i r4) p .r6'
          ${If} $6 <> 0
            System::Call 'kernel32::QueryFullProcessImageNameW(p r6, i 0, w .r7, *i ${NSIS_MAX_STRLEN}) i .r8'
            System::Call 'kernel32::CloseHandle(p r6)'
            ; Paths compare without case, as the file system compares them.
            ${If} $8 <> 0
            ${AndIf} $7 == "$INSTDIR\$5"
              IntOp $R0 $R0 + 1
            ${EndIf}
          ${EndIf}
        ${EndIf}
        System::Call 'kernel32::Process32NextW(p r1, p r2) i .r3'
      ${Loop}
      System::Free $2
      System::Call 'kernel32::CloseHandle(p r1)'
    ${EndIf}
    Push $R0
    System::Store "l"
    Pop $0
  FunctionEnd
!macroend
!insertmacro COUNT_OUR_PROCESSES ""
!insertmacro COUNT_OUR_PROCESSES "un."

; Posts MESSAGE to every top-level window of CLASS named WINDOW; sets FLAG to 1 when one ran.
!macro ASK_TO_CLOSE CLASS WINDOW MESSAGE WPARAM FLAG
  StrCpy $1 0
  ${Do}
    FindWindow $1 "${CLASS}" "${WINDOW}" "" $1
    ${If} $1 = 0
      ${Break}
    ${EndIf}
    StrCpy ${FLAG} 1
    System::Call 'user32::PostMessageW(p r1, i ${MESSAGE}, p ${WPARAM}, p 0)'
  ${Loop}
!macroend

; Asks the running programs to close (the agent through its Exit command, which also stops
; the filter devices) and waits for every process of this installation to end, a TarnDesk
; command-line transfer included: nothing is killed, so no transfer to the mouse is cut off.
; When they do not end in time the user is asked to wait and retry; Cancel (or a silent run)
; stops the setup before it changed anything.
!macro CLOSE_RUNNING_PROGRAMS un
  Function ${un}CloseRunningPrograms
    StrCpy $DeskWasRunning 0
    StrCpy $AgentWasRunning 0
    StrCpy $WakeWasRunning 0
    !insertmacro ASK_TO_CLOSE "TarnDeskCLass" "TarnDeskWnd" ${WM_CLOSE} 0 $DeskWasRunning
    !insertmacro ASK_TO_CLOSE "TarnAgentClass" "TarnAgentWnd" ${WM_COMMAND} 105 $AgentWasRunning
    !insertmacro ASK_TO_CLOSE "TarnWakeClass" "TarnWakeWnd" ${WM_CLOSE} 0 $WakeWasRunning
    ${Do}
      StrCpy $2 0
      ${Do}
        Call ${un}CountOurProcesses
        ${If} $0 = 0
        ${OrIf} $2 >= ${CLOSE_WAIT_MS}
          ${Break}
        ${EndIf}
        Sleep 200
        IntOp $2 $2 + 200
      ${Loop}
      ${If} $0 = 0
        ${Break}
      ${EndIf}
      MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(ProgramsStillRunning)" /SD IDCANCEL IDRETRY +2
      Abort
    ${Loop}
  FunctionEnd
!macroend
!insertmacro CLOSE_RUNNING_PROGRAMS ""
!insertmacro CLOSE_RUNNING_PROGRAMS "un."

; $DesktopUser = the string SID of the user whose desktop shell runs: the one who started the
; installer, also when an administrator's account elevated it. Empty without a shell.
!macro FIND_DESKTOP_USER un
Function ${un}FindDesktopUser
  System::Store "s"
  StrCpy $R0 ""
  System::Call 'user32::GetShellWindow() p .r1'
  ${If} $1 <> 0
    System::Call 'user32::GetWindowThreadProcessId(p r1, *i .r2)'
    System::Call 'kernel32::OpenProcess(i 0x1000, i 0, i r2) p .r3'
    ${If} $3 <> 0
      System::Call 'advapi32::OpenProcessToken(p r3, i 8, *p .r4) i .r5'
      ${If} $5 <> 0
        System::Alloc 256
        Pop $6
        System::Call 'advapi32::GetTokenInformation(p r4, i 1, p r6, i 256, *i .r7) i .r5'
        ${If} $5 <> 0
          System::Call '*$6(p .r8)'
          System::Call 'advapi32::ConvertSidToStringSidW(p r8, *p .r9) i .r5'
          ${If} $5 <> 0
            System::Call '*$9(&w128 .r10)'
            System::Call 'kernel32::LocalFree(p r9)'
          ${EndIf}
        ${EndIf}
        System::Free $6
        System::Call 'kernel32::CloseHandle(p r4)'
      ${EndIf}
      System::Call 'kernel32::CloseHandle(p r3)'
    ${EndIf}
  ${EndIf}
  Push $R0
  System::Store "l"
  Pop $DesktopUser
FunctionEnd
!macroend
!insertmacro FIND_DESKTOP_USER ""
!insertmacro FIND_DESKTOP_USER "un."

; The desktop user's registry (HKCU is the elevating administrator's when another account
; confirmed the elevation), or HKCU without a desktop.
!macro USER_WRITE_STR KEY NAME VALUE
  ${If} $DesktopUser != ""
    WriteRegStr HKU "$DesktopUser\${KEY}" "${NAME}" `${VALUE}`
  ${Else}
    WriteRegStr HKCU "${KEY}" "${NAME}" `${VALUE}`
  ${EndIf}
!macroend
!macro USER_WRITE_NONE KEY NAME
  ${If} $DesktopUser != ""
    WriteRegNone HKU "$DesktopUser\${KEY}" "${NAME}"
  ${Else}
    WriteRegNone HKCU "${KEY}" "${NAME}"
  ${EndIf}
!macroend
; Sets the error flag when the value is absent.
!macro USER_READ_STR VAR KEY NAME
  ClearErrors
  ${If} $DesktopUser != ""
    ReadRegStr ${VAR} HKU "$DesktopUser\${KEY}" "${NAME}"
  ${Else}
    ReadRegStr ${VAR} HKCU "${KEY}" "${NAME}"
  ${EndIf}
!macroend
!macro USER_DELETE_VALUE KEY NAME
  ${If} $DesktopUser != ""
    DeleteRegValue HKU "$DesktopUser\${KEY}" "${NAME}"
  ${Else}
    DeleteRegValue HKCU "${KEY}" "${NAME}"
  ${EndIf}
!macroend
!macro USER_DELETE_KEY KEY
  ${If} $DesktopUser != ""
    DeleteRegKey HKU "$DesktopUser\${KEY}"
  ${Else}
    DeleteRegKey HKCU "${KEY}"
  ${EndIf}
!macroend
; Only a key left with neither values nor subkeys: another program may keep its own there.
!macro USER_DELETE_EMPTY_KEY KEY
  ${If} $DesktopUser != ""
    DeleteRegKey /ifnosubkeys /ifnovalues HKU "$DesktopUser\${KEY}"
  ${Else}
    DeleteRegKey /ifnosubkeys /ifnovalues HKCU "${KEY}"
  ${EndIf}
!macroend

; Explorer caches file types: it shows the new icons and commands once told.
!macro NOTIFY_ASSOCIATIONS_CHANGED
  ; SHCNE_ASSOCCHANGED, SHCNF_IDLIST
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
!macroend

; The extension opens as PROGID, TarnDesk's type; OpenWithProgids keeps it offered when
; another program takes the extension's default.
!macro ASSOCIATE EXTENSION PROGID TYPE_NAME ICON
  !insertmacro USER_WRITE_STR "${CLASSES_KEY}\${EXTENSION}" "" "${PROGID}"
  !insertmacro USER_WRITE_NONE "${CLASSES_KEY}\${EXTENSION}\OpenWithProgids" "${PROGID}"
  !insertmacro USER_WRITE_STR "${CLASSES_KEY}\${PROGID}" "" "${TYPE_NAME}"
  !insertmacro USER_WRITE_STR "${CLASSES_KEY}\${PROGID}" "FriendlyTypeName" "${TYPE_NAME}"
  !insertmacro USER_WRITE_STR "${CLASSES_KEY}\${PROGID}\DefaultIcon" "" '"$INSTDIR\TarnDesk.exe",-${ICON}'
  !insertmacro USER_WRITE_STR "${CLASSES_KEY}\${PROGID}\shell\open\command" "" '${OPEN_COMMAND}'
!macroend

; The type goes only while it still opens this installation's TarnDesk, and the extension
; is let go only when no one else has taken the type over: another installation or program
; that owns either now keeps it.
!macro UNASSOCIATE EXTENSION PROGID
  !insertmacro USER_READ_STR $0 "${CLASSES_KEY}\${PROGID}\shell\open\command" ""
  ${If} $0 == '${OPEN_COMMAND}'
    !insertmacro USER_DELETE_KEY "${CLASSES_KEY}\${PROGID}"
  ${EndIf}
  !insertmacro USER_READ_STR $0 "${CLASSES_KEY}\${PROGID}\shell\open\command" ""
  ${If} ${Errors}
    !insertmacro USER_READ_STR $0 "${CLASSES_KEY}\${EXTENSION}" ""
    ${If} $0 == "${PROGID}"
      !insertmacro USER_DELETE_VALUE "${CLASSES_KEY}\${EXTENSION}" ""
    ${EndIf}
    !insertmacro USER_DELETE_VALUE "${CLASSES_KEY}\${EXTENSION}\OpenWithProgids" "${PROGID}"
    !insertmacro USER_DELETE_EMPTY_KEY "${CLASSES_KEY}\${EXTENSION}\OpenWithProgids"
    !insertmacro USER_DELETE_EMPTY_KEY "${CLASSES_KEY}\${EXTENSION}"
  ${EndIf}
!macroend

!macro MATCH_TYPE_NAMES CODE PROFILE PROFILES
  ${If} $ProgramLanguage == "${CODE}"
    StrCpy $1 "${PROFILE}"
    StrCpy $2 "${PROFILES}"
  ${EndIf}
!macroend

Function AssociateFiles
  StrCpy $1 "Gaming Mouse profile"
  StrCpy $2 "Gaming Mouse profiles backup"
  !insertmacro FOR_EACH_TYPE_NAME MATCH_TYPE_NAMES
  !insertmacro ASSOCIATE ".tarnprofile" "TarnDesk.Profile" "$1" ${PROFILE_FILE_ICON}
  !insertmacro ASSOCIATE ".tarnprofiles" "TarnDesk.Profiles" "$2" ${PROFILES_FILE_ICON}
  !insertmacro NOTIFY_ASSOCIATIONS_CHANGED
FunctionEnd

Function un.UnassociateFiles
  !insertmacro UNASSOCIATE ".tarnprofile" "TarnDesk.Profile"
  !insertmacro UNASSOCIATE ".tarnprofiles" "TarnDesk.Profiles"
  !insertmacro NOTIFY_ASSOCIATIONS_CHANGED
FunctionEnd

; Starts "$INSTDIR\$0" in the install folder as the desktop's user, with that user's own
; token and environment: the programs read that user's settings and must not run with the
; installer's administrator rights. Without the desktop's token it is started as the
; installer runs (the Run values start it properly at the next log-on).
Function StartAsDesktopUser
  System::Store "s"
  StrCpy $R0 "$INSTDIR\$0"
  StrCpy $R1 '"$INSTDIR\$0"'
  StrCpy $R2 0
  System::Call 'user32::GetShellWindow() p .r1'
  ${If} $1 <> 0
    System::Call 'user32::GetWindowThreadProcessId(p r1, *i .r2)'
    System::Call 'kernel32::OpenProcess(i 0x400, i 0, i r2) p .r3'
    ${If} $3 <> 0
      ; TOKEN_ASSIGN_PRIMARY | TOKEN_DUPLICATE | TOKEN_QUERY
      System::Call 'advapi32::OpenProcessToken(p r3, i 0xB, *p .r4) i .r5'
      ${If} $5 <> 0
        ; MAXIMUM_ALLOWED, SecurityImpersonation, TokenPrimary
        System::Call 'advapi32::DuplicateTokenEx(p r4, i 0x2000000, p 0, i 2, i 1, *p .r6) i .r5'
        ${If} $5 <> 0
          System::Call 'userenv::CreateEnvironmentBlock(*p .r7, p r6, i 0) i .r5'
          ${If} $5 = 0
            StrCpy $7 0
          ${EndIf}
          ; STARTUPINFOW (68 bytes in a 32-bit process) and PROCESS_INFORMATION
          System::Call '*(i 68, i, i, i, i, i, i, i, i, i, i, i, i, i, i, i, i) p .r8'
          System::Call '*(p, p, i, i) p .r9'
          ; CREATE_UNICODE_ENVIRONMENT
          System::Call 'advapi32::CreateProcessWithTokenW(p r6, i 0, w r10, w r11, i 0x400, p r7, w "$INSTDIR", p r8, p r9) i .R2'
          ${If} $R2 <> 0
            System::Call '*$9(p .r1, p .r2)'
            System::Call 'kernel32::CloseHandle(p r1)'
            System::Call 'kernel32::CloseHandle(p r2)'
          ${EndIf}
          System::Free $8
          System::Free $9
          ${If} $7 <> 0
            System::Call 'userenv::DestroyEnvironmentBlock(p r7)'
          ${EndIf}
          System::Call 'kernel32::CloseHandle(p r6)'
        ${EndIf}
        System::Call 'kernel32::CloseHandle(p r4)'
      ${EndIf}
      System::Call 'kernel32::CloseHandle(p r3)'
    ${EndIf}
  ${EndIf}
  ${If} $R2 = 0
    SetOutPath "$INSTDIR"
    Exec '$R1'
  ${EndIf}
  System::Store "l"
FunctionEnd

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
    ${If} $DesktopUser != ""
      ReadRegStr $0 HKU "$DesktopUser\${DESK_SETTINGS_KEY}" "language"
    ${Else}
      ReadRegStr $0 HKCU "${DESK_SETTINGS_KEY}" "language"
    ${EndIf}
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
  Call FindDesktopUser
  Call ChooseProgramLanguage
  StrCpy $NoStart 0
  ClearErrors
  ${GetOptions} $CMDLINE "/NOSTART" $0
  ${IfNot} ${Errors}
    StrCpy $NoStart 1
  ${EndIf}
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

; $0 = why the install folder cannot be used, or "" when it can.
Function CheckInstallFolder
  StrCpy $0 ""
  StrLen $1 $INSTDIR
  ${If} $1 > ${MAX_INSTDIR}
    StrCpy $0 "$(FolderTooLong)"
  ${EndIf}
FunctionEnd

; The directory page keeps the user there, saying why, while the folder cannot be used.
Function DirectoryPageLeave
  Call CheckInstallFolder
  ${If} $0 != ""
    MessageBox MB_ICONEXCLAMATION|MB_OK "$0"
    Abort
  ${EndIf}
FunctionEnd

; $0 = 1 when $INSTDIR lies inside one of the Program Files folders, whose permissions already
; keep users from changing what is installed there.
Function IsInProgramFiles
  System::Call 'kernel32::GetFullPathNameW(w "$INSTDIR", i ${NSIS_MAX_STRLEN}, w .r1, p 0) i .r2'
  ${If} $2 = 0
    StrCpy $1 $INSTDIR
  ${EndIf}
  StrCpy $0 0
  ${ForEach} $3 1 2 + 1
    ${If} $3 = 1
      StrCpy $4 "$PROGRAMFILES64\"
    ${Else}
      StrCpy $4 "$PROGRAMFILES32\"
    ${EndIf}
    StrLen $5 $4
    StrCpy $6 $1 $5
    ${If} $6 == $4
      StrCpy $0 1
    ${EndIf}
  ${Next}
FunctionEnd

; The programs start for every user from the Run key, so whoever can change their folder can
; run code as the next administrator to log on. A folder outside Program Files (one made
; under C:\ lets every user change it) gets Administrators as its owner and a protected DACL:
; full control for SYSTEM and Administrators, read and run for users, applied to what the
; folder already holds. A folder that does not keep that is refused. $0 = "" when the folder
; is safe, else why it is refused.
Function RestrictInstallFolder
  Call IsInProgramFiles
  ${If} $0 = 1
    StrCpy $0 ""
    Return
  ${EndIf}
  StrCpy $0 "$(FolderNotRestricted)"
  System::Call 'advapi32::ConvertStringSecurityDescriptorToSecurityDescriptorW(w "O:BAD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)", i 1, *p .r1, p 0) i .r2'
  ${If} $2 = 0
    Return
  ${EndIf}
  System::Call 'advapi32::GetSecurityDescriptorDacl(p r1, *i .r3, *p .r4, *i .r5) i .r2'
  System::Call 'advapi32::GetSecurityDescriptorOwner(p r1, *p .r6, *i .r5) i .r2'
  ; SE_FILE_OBJECT; OWNER | DACL | PROTECTED_DACL
  System::Call 'advapi32::SetNamedSecurityInfoW(w "$INSTDIR", i 1, i 0x80000005, p r6, p 0, p r4, p 0) i .r2'
  System::Call 'kernel32::LocalFree(p r1)'
  ${If} $2 <> 0
    Return
  ${EndIf}
  ; Read back: the folder is used only when the system keeps the descriptor (a file system
  ; without permissions, or Wine, does not).
  System::Call 'advapi32::GetNamedSecurityInfoW(w "$INSTDIR", i 1, i 5, *p .r6, p 0, *p .r4, p 0, *p .r1) i .r2'
  ${If} $2 = 0
    System::Call 'advapi32::GetSecurityDescriptorControl(p r1, *i .r3, *i .r5) i .r2'
    ; SE_DACL_PROTECTED, and the owner is the Administrators group (WinBuiltinAdministratorsSid)
    IntOp $3 $3 & 0x1000
    System::Call 'advapi32::IsWellKnownSid(p r6, i 26) i .r5'
    ${If} $3 <> 0
    ${AndIf} $5 <> 0
      StrCpy $0 ""
    ${EndIf}
    System::Call 'kernel32::LocalFree(p r1)'
  ${EndIf}
FunctionEnd

; The agent and the launcher always, so the mouse's buttons work before the next log-on;
; TarnDesk when it ran before, or in a silent install unless /NOSTART was given (the finish
; page asks otherwise).
Function StartInstalledPrograms
  StrCpy $0 "TarnAgent.exe"
  Call StartAsDesktopUser
  StrCpy $0 "TarnWake.exe"
  Call StartAsDesktopUser
  StrCpy $1 $DeskWasRunning
  ${If} ${Silent}
  ${AndIf} $NoStart = 0
    StrCpy $1 1
  ${EndIf}
  ${If} $1 = 1
    StrCpy $0 "TarnDesk.exe"
    Call StartAsDesktopUser
  ${EndIf}
FunctionEnd

Function FinishPageShow
  ${If} $NoStart = 1
    ${NSD_Uncheck} $mui.FinishPage.Run
  ${EndIf}
FunctionEnd

Function StartDeskFromFinishPage
  FindWindow $0 "TarnDeskCLass" "TarnDeskWnd"
  ${If} $0 = 0
    StrCpy $0 "TarnDesk.exe"
    Call StartAsDesktopUser
  ${EndIf}
FunctionEnd

Section "Programs"
  SetShellVarContext all
  SetRegView 64
  ; A silent install has no directory page to say it.
  Call CheckInstallFolder
  ${If} $0 != ""
    MessageBox MB_ICONSTOP|MB_OK "$0" /SD IDOK
    Abort
  ${EndIf}
  CreateDirectory "$INSTDIR"
  Call RestrictInstallFolder
  ${If} $0 != ""
    RMDir "$INSTDIR"
    MessageBox MB_ICONSTOP|MB_OK "$0" /SD IDOK
    Abort
  ${EndIf}
  Call CloseRunningPrograms

  !include "${LISTS}\install_files.nsh"
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  ; An earlier version wrote both Run values in the 64-bit view; beside the new ones log-on
  ; would start every program twice. The names are ours, so they go whatever they hold.
  DeleteRegValue HKLM "${RUN_KEY}" "TarnAgent"
  DeleteRegValue HKLM "${RUN_KEY}" "TarnWake"
  ; The 32-bit view, where the 32-bit TarnWake reads the agent's command (Windows runs the
  ; entries of both views at log-on). Quoted: log-on runs each value as a command line, and
  ; unquoted "C:\Program Files\..." would first try "C:\Program.exe". TarnWake opens a
  ; quoted value as the path inside the quotes. TarnDesk at log-on, so program profiles
  ; follow the program in front from the start.
  SetRegView 32
  WriteRegStr HKLM "${RUN_KEY}" "TarnAgent" '"$INSTDIR\TarnAgent.exe"'
  WriteRegStr HKLM "${RUN_KEY}" "TarnWake" '"$INSTDIR\TarnWake.exe"'
  WriteRegStr HKLM "${RUN_KEY}" "TarnDesk" '"$INSTDIR\TarnDesk.exe"'
  SetRegView 64

  ; The language for both programs, of the user who started the installer (HKCU is the
  ; elevating administrator's when another account confirmed the elevation); like the rest
  ; of the user's settings it outlives an uninstall.
  ${If} $DesktopUser != ""
    WriteRegStr HKU "$DesktopUser\${DESK_SETTINGS_KEY}" "language" "$ProgramLanguage"
    WriteRegStr HKU "$DesktopUser\${AGENT_SETTINGS_KEY}" "language" "$ProgramLanguage"
  ${Else}
    WriteRegStr HKCU "${DESK_SETTINGS_KEY}" "language" "$ProgramLanguage"
    WriteRegStr HKCU "${AGENT_SETTINGS_KEY}" "language" "$ProgramLanguage"
  ${EndIf}

  Call AssociateFiles

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

  Call StartInstalledPrograms
SectionEnd

Function un.onInit
  SetRegView 64
  Call un.FindDesktopUser
FunctionEnd

!macro REMOVE_RUN_VALUE NAME
  ReadRegStr $0 HKLM "${RUN_KEY}" "${NAME}"
  ${If} $0 == '"$INSTDIR\${NAME}.exe"'
  ${OrIf} $0 == "$INSTDIR\${NAME}.exe"
    DeleteRegValue HKLM "${RUN_KEY}" "${NAME}"
  ${EndIf}
!macroend

; $0 = 1 when the path on the stack is a folder of its own, not a junction or link that
; someone put in its place (its target, maybe outside the install folder, is never entered).
Function un.IsOwnFolder
  Exch $1
  System::Call 'kernel32::GetFileAttributesW(w r1) i .r0'
  ${If} $0 = -1
    StrCpy $0 0
  ${Else}
    ; FILE_ATTRIBUTE_DIRECTORY set, FILE_ATTRIBUTE_REPARSE_POINT clear
    IntOp $0 $0 & 0x410
    ${If} $0 = 0x10
      StrCpy $0 1
    ${Else}
      StrCpy $0 0
    ${EndIf}
  ${EndIf}
  Pop $1
FunctionEnd

; Removes what the installer put down, the desktop user's file types as far as they are
; still this installation's; the per-user settings under HKCU\Software\Orvane stay for a
; later installation.
Section "Uninstall"
  SetShellVarContext all
  SetRegView 64
  Call un.CloseRunningPrograms

  !include "${LISTS}\uninstall_files.nsh"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
  ${GetParent} "$INSTDIR" $0
  ${If} $0 == "$PROGRAMFILES64\Orvane"
    RMDir "$0"
  ${EndIf}

  Delete "${SHORTCUT}"
  RMDir "${MENU_FOLDER}"
  Call un.UnassociateFiles

  ; Only the values that still name this installation's programs (quoted, or unquoted as
  ; earlier versions wrote them), in the 32-bit view where the installer wrote them.
  SetRegView 32
  !insertmacro REMOVE_RUN_VALUE "TarnAgent"
  !insertmacro REMOVE_RUN_VALUE "TarnWake"
  !insertmacro REMOVE_RUN_VALUE "TarnDesk"
  SetRegView 64
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
