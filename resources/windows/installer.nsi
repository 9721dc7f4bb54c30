; The Kavrel tools' installer for 64-bit Windows (makensis from Debian's nsis). scripts/build-windows
; passes VERSION, OUTFILE and SOURCE (the folder `cmake --install` filled) and writes FILES and
; REMOVALS: the File lines of every installed file and the lines that remove exactly those files
; and folders again, so that the uninstaller leaves what it did not install (the user's files).
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
; "highest": an administrator is asked to elevate, a user without administrator rights runs the
; installer as himself and installs for himself only (Install for me only).
RequestExecutionLevel highest
ManifestDPIAware true

; The uninstaller is written into the installer as it is built: it is signed there, before it
; is packed, when scripts/build-windows passes SIGN (the signing script).
!ifdef SIGN
  !uninstfinalize '"${SIGN}" "%1"'
!endif

!define PRODUCT "Kavrel"
!define PUBLISHER "Ostrevan"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Kavrel"
!define CLASSES "Software\Classes"
!define KVL_CLASS "Kavrel.Konfiguracja"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
BrandingText "${PUBLISHER} ${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=0 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=0 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=0 "FileDescription" "Kavrel – instalator"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "LegalCopyright" "© ${PUBLISHER}"

!include "MUI2.nsh"
!include "nsDialogs.nsh"
!include "FileFunc.nsh"
!include "LogicLib.nsh"

; The install's kind: "all" (Program Files, HKLM: the default, as a silent /S always did) or
; "current" (the user's own programs folder, HKCU: no administrator rights). /ALLUSERS and
; /CURRENTUSER choose it on the command line; a user without administrator rights is offered
; only his own.
Var InstallMode
Var IsAdmin
Var ModeCurrentButton
Var ModeAllButton
Var UserFolder   ; the one user's programs folder, whatever the shell context is at the time
!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
; The finish page starts Kavrel-Config as the Start menu does: through the user's shell (not
; from the installer's elevated process) and in the user's own Documents, by its shortcut.
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "$(RunConfig)"
!define MUI_FINISHPAGE_RUN_FUNCTION RunConfigAsUser
!define MUI_LANGDLL_ALLLANGUAGES

!insertmacro MUI_PAGE_WELCOME
Page custom InstallModePage InstallModeLeave
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

; Polish first: the installer's language when the system's is neither.
!insertmacro MUI_LANGUAGE "Polish"
!insertmacro MUI_LANGUAGE "English"

LangString ConfigLink ${LANG_POLISH} "Kavrel-Config – konfigurator"
LangString ConfigLink ${LANG_ENGLISH} "Kavrel-Config – configurator"
LangString MonitorLink ${LANG_POLISH} "Kavrel-Monitor – podgląd pomiarów"
LangString MonitorLink ${LANG_ENGLISH} "Kavrel-Monitor – live measurements"
LangString LoggerLink ${LANG_POLISH} "Kavrel-Logger – odczyt pamięci"
LangString LoggerLink ${LANG_ENGLISH} "Kavrel-Logger – memory download"
LangString ReadmeLink ${LANG_POLISH} "Czytaj mnie"
LangString ReadmeLink ${LANG_ENGLISH} "Read me"
LangString KvlType ${LANG_POLISH} "Konfiguracja modułu Kavrel"
LangString KvlType ${LANG_ENGLISH} "Kavrel module configuration"
LangString RunConfig ${LANG_POLISH} "Uruchom Kavrel-Config (konfigurator)"
LangString RunConfig ${LANG_ENGLISH} "Run Kavrel-Config (configurator)"
LangString ModeTitle ${LANG_POLISH} "Rodzaj instalacji"
LangString ModeTitle ${LANG_ENGLISH} "Installation type"
LangString ModeSubtitle ${LANG_POLISH} "Wybierz, komu programy mają służyć."
LangString ModeSubtitle ${LANG_ENGLISH} "Choose who the programs are for."
LangString ModeCurrentUser ${LANG_POLISH} "Tylko dla mnie"
LangString ModeCurrentUser ${LANG_ENGLISH} "Just for me"
LangString ModeCurrentUserNote ${LANG_POLISH} "Bez uprawnień administratora, w folderze $UserFolder."
LangString ModeCurrentUserNote ${LANG_ENGLISH} "No administrator rights needed; into $UserFolder."
LangString ModeAllUsers ${LANG_POLISH} "Dla wszystkich użytkowników"
LangString ModeAllUsers ${LANG_ENGLISH} "For all users"
LangString ModeAllUsersNote ${LANG_POLISH} "Wymaga uprawnień administratora; w folderze Program Files."
LangString ModeAllUsersNote ${LANG_ENGLISH} "Needs administrator rights; into Program Files."
LangString ModeNoAdmin ${LANG_POLISH} "Instalacja dla wszystkich użytkowników wymaga uprawnień administratora. Uruchom instalator jako administrator albo wybierz „Tylko dla mnie” (/CURRENTUSER)."
LangString ModeNoAdmin ${LANG_ENGLISH} "An install for all users needs administrator rights. Run the installer as an administrator, or choose Just for me (/CURRENTUSER)."
LangString ProgramRunning ${LANG_POLISH} "Program $R1 jest uruchomiony. Zamknij go i wybierz „Ponów”, albo „Anuluj”, aby przerwać odinstalowanie."
LangString ProgramRunning ${LANG_ENGLISH} "$R1 is running. Close it and choose Retry, or Cancel to stop the uninstall."

; Each user's own Documents when a shortcut starts: the shell expands the variable for whoever
; starts it, so that an install by an administrator or a deployment tool serves every account.
!define WORKING_FOLDER "%USERPROFILE%\Documents"

Function .onInit
  SetRegView 64
  SetShellVarContext current
  StrCpy $UserFolder "$LOCALAPPDATA\Programs\${PRODUCT}"
  StrCpy $IsAdmin 0
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 == "Admin"
    StrCpy $IsAdmin 1
  ${EndIf}
  ${GetParameters} $1
  ClearErrors
  ${GetOptions} $1 "/CURRENTUSER" $0
  ${IfNot} ${Errors}
    StrCpy $InstallMode "current"
  ${Else}
    ClearErrors
    ${GetOptions} $1 "/ALLUSERS" $0
    ${If} ${Errors}
    ${AndIf} $IsAdmin == 0
    ${AndIfNot} ${Silent}
      StrCpy $InstallMode "current"
    ${Else}
      StrCpy $InstallMode "all"
    ${EndIf}
  ${EndIf}
  ${If} $InstallMode == "all"
  ${AndIf} $IsAdmin == 0
    MessageBox MB_OK|MB_ICONSTOP "$(ModeNoAdmin)" /SD IDOK
    SetErrorLevel 740   ; ERROR_ELEVATION_REQUIRED
    Quit
  ${EndIf}
  ; A folder given with /D is kept; the default follows the kind.
  StrCpy $R9 $INSTDIR
  Call ApplyInstallMode
  !insertmacro MUI_LANGDLL_DISPLAY
FunctionEnd

; Sets the shell folders, SHCTX (HKLM or HKCU) and the default folder for $InstallMode.
; $R9: the folder before the kind was applied, kept when it is not a kind's default.
Function ApplyInstallMode
  ${If} $InstallMode == "current"
    SetShellVarContext current
    ${If} $R9 == "$PROGRAMFILES64\${PRODUCT}"
      StrCpy $INSTDIR $UserFolder
    ${EndIf}
  ${Else}
    SetShellVarContext all
    ${If} $R9 == $UserFolder
      StrCpy $INSTDIR "$PROGRAMFILES64\${PRODUCT}"
    ${EndIf}
  ${EndIf}
FunctionEnd

Function InstallModePage
  !insertmacro MUI_HEADER_TEXT "$(ModeTitle)" "$(ModeSubtitle)"
  nsDialogs::Create 1018
  Pop $0
  ${NSD_CreateRadioButton} 0 0 100% 12u "$(ModeAllUsers)"
  Pop $ModeAllButton
  ${NSD_CreateLabel} 12u 13u -12u 12u "$(ModeAllUsersNote)"
  Pop $0
  ${NSD_CreateRadioButton} 0 34u 100% 12u "$(ModeCurrentUser)"
  Pop $ModeCurrentButton
  ${NSD_CreateLabel} 12u 47u -12u 12u "$(ModeCurrentUserNote)"
  Pop $0
  ${If} $IsAdmin == 0
    EnableWindow $ModeAllButton 0
  ${EndIf}
  ${If} $InstallMode == "current"
    ${NSD_Check} $ModeCurrentButton
  ${Else}
    ${NSD_Check} $ModeAllButton
  ${EndIf}
  nsDialogs::Show
FunctionEnd

Function InstallModeLeave
  StrCpy $R9 $INSTDIR
  ${NSD_GetState} $ModeCurrentButton $0
  ${If} $0 == ${BST_CHECKED}
    StrCpy $InstallMode "current"
  ${Else}
    StrCpy $InstallMode "all"
  ${EndIf}
  Call ApplyInstallMode
FunctionEnd

Function un.onInit
  SetRegView 64
  ; Installed for one user when that user's uninstall entry names this folder.
  SetShellVarContext all
  ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 == $INSTDIR
    SetShellVarContext current
  ${EndIf}
  Call un.RefuseWhileRunning
FunctionEnd

Function RunConfigAsUser
  Exec '"$WINDIR\explorer.exe" "$SMPROGRAMS\${PRODUCT}\Kavrel-Config.lnk"'
FunctionEnd

; A program that runs holds its file open: removing the others would leave it without an
; uninstaller. The user is asked to close it; a silent uninstall ends with exit code 2 and
; removes nothing.
Function un.RefuseIfRunning   ; $R1: the program's file name
  IfFileExists "$INSTDIR\$R1" 0 done
  retry:
    ClearErrors
    FileOpen $R0 "$INSTDIR\$R1" a   ; write access, refused while the program runs
    IfErrors 0 free
    IfSilent refuse
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(ProgramRunning)" /SD IDCANCEL IDRETRY retry
  refuse:
    SetErrorLevel 2
    Quit
  free:
    FileClose $R0
  done:
FunctionEnd

Function un.RefuseWhileRunning
  StrCpy $R1 "Kavrel-Config.exe"
  Call un.RefuseIfRunning
  StrCpy $R1 "Kavrel-Monitor.exe"
  Call un.RefuseIfRunning
  StrCpy $R1 "Kavrel-Logger.exe"
  Call un.RefuseIfRunning
  StrCpy $R1 "kavrel.exe"
  Call un.RefuseIfRunning
FunctionEnd

Section "Kavrel" SecMain
  SectionIn RO
  !include "${FILES}"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; The programs write their files (test1.csv, default.kvl, ...) into the working folder:
  ; the documents of the user who starts them, since Program Files is not writable without
  ; elevation. A shortcut takes $OUTDIR as its working folder.
  CreateDirectory "$SMPROGRAMS\${PRODUCT}"
  StrCpy $OUTDIR "${WORKING_FOLDER}"
  ; The links' names are the programs' (the same in every language), so the uninstaller finds them.
  CreateShortCut "$SMPROGRAMS\${PRODUCT}\Kavrel-Config.lnk" "$INSTDIR\Kavrel-Config.exe" "" "" 0 SW_SHOWNORMAL "" "$(ConfigLink)"
  IfFileExists "$INSTDIR\Kavrel-Monitor.exe" 0 +2
  CreateShortCut "$SMPROGRAMS\${PRODUCT}\Kavrel-Monitor.lnk" "$INSTDIR\Kavrel-Monitor.exe" "" "" 0 SW_SHOWNORMAL "" "$(MonitorLink)"
  IfFileExists "$INSTDIR\Kavrel-Logger.exe" 0 +2
  CreateShortCut "$SMPROGRAMS\${PRODUCT}\Kavrel-Logger.lnk" "$INSTDIR\Kavrel-Logger.exe" "" "" 0 SW_SHOWNORMAL "" "$(LoggerLink)"
  CreateShortCut "$SMPROGRAMS\${PRODUCT}\README.lnk" "$INSTDIR\README.txt" "" "" 0 SW_SHOWNORMAL "" "$(ReadmeLink)"
  SetOutPath "$INSTDIR"

  ; .kvl files open in Kavrel-Config. SHCTX is HKLM for all users, HKCU for one.
  WriteRegStr SHCTX "${CLASSES}\.kvl" "" "${KVL_CLASS}"
  WriteRegStr SHCTX "${CLASSES}\${KVL_CLASS}" "" "$(KvlType)"
  WriteRegStr SHCTX "${CLASSES}\${KVL_CLASS}\DefaultIcon" "" "$INSTDIR\Kavrel-Config.exe,0"
  WriteRegStr SHCTX "${CLASSES}\${KVL_CLASS}\shell\open\command" "" '"$INSTDIR\Kavrel-Config.exe" "%1"'

  ; Add/Remove Programs.
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT} ${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Kavrel-Config.exe,0"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" ${SIZE_KB}
SectionEnd

Section "Uninstall"
  !include "${REMOVALS}"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"   ; stays when the user kept files of his own there

  Delete "$SMPROGRAMS\${PRODUCT}\Kavrel-Config.lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\Kavrel-Monitor.lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\Kavrel-Logger.lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\README.lnk"
  RMDir "$SMPROGRAMS\${PRODUCT}"

  ; .kvl stays another program's when one took it over since.
  ReadRegStr $0 SHCTX "${CLASSES}\.kvl" ""
  StrCmp $0 "${KVL_CLASS}" 0 +2
    DeleteRegKey SHCTX "${CLASSES}\.kvl"
  DeleteRegKey SHCTX "${CLASSES}\${KVL_CLASS}"
  DeleteRegKey SHCTX "${UNINSTALL_KEY}"
  ; The user's settings (HKCU\Software\Ostrevan) and files stay.
SectionEnd
