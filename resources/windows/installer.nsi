; The Kavrel tools' installer for 64-bit Windows (makensis from Debian's nsis). scripts/build-windows
; passes VERSION, OUTFILE and SOURCE (the folder `cmake --install` filled) and writes FILES and
; REMOVALS: the File lines of every installed file and the lines that remove exactly those files
; and folders again, so that the uninstaller leaves what it did not install (the user's files).
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestDPIAware true

!define PRODUCT "Kavrel"
!define PUBLISHER "Ostrevan"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Kavrel"
!define CLASSES "Software\Classes"
!define KVL_CLASS "Kavrel.Konfiguracja"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PUBLISHER} ${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=0 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=0 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=0 "FileDescription" "Kavrel – instalator"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "LegalCopyright" "© ${PUBLISHER}"

!include "MUI2.nsh"
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
LangString ProgramRunning ${LANG_POLISH} "Program $R1 jest uruchomiony. Zamknij go i wybierz „Ponów”, albo „Anuluj”, aby przerwać odinstalowanie."
LangString ProgramRunning ${LANG_ENGLISH} "$R1 is running. Close it and choose Retry, or Cancel to stop the uninstall."

; Each user's own Documents when a shortcut starts: the shell expands the variable for whoever
; starts it, so that an install by an administrator or a deployment tool serves every account.
!define WORKING_FOLDER "%USERPROFILE%\Documents"

Function .onInit
  SetRegView 64
  !insertmacro MUI_LANGDLL_DISPLAY
FunctionEnd

Function un.onInit
  SetRegView 64
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
  SetShellVarContext all
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

  ; .kvl files open in Kavrel-Config.
  WriteRegStr HKLM "${CLASSES}\.kvl" "" "${KVL_CLASS}"
  WriteRegStr HKLM "${CLASSES}\${KVL_CLASS}" "" "$(KvlType)"
  WriteRegStr HKLM "${CLASSES}\${KVL_CLASS}\DefaultIcon" "" "$INSTDIR\Kavrel-Config.exe,0"
  WriteRegStr HKLM "${CLASSES}\${KVL_CLASS}\shell\open\command" "" '"$INSTDIR\Kavrel-Config.exe" "%1"'

  ; Add/Remove Programs.
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT} ${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Kavrel-Config.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" ${SIZE_KB}
SectionEnd

Section "Uninstall"
  SetShellVarContext all
  !include "${REMOVALS}"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"   ; stays when the user kept files of his own there

  Delete "$SMPROGRAMS\${PRODUCT}\Kavrel-Config.lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\Kavrel-Monitor.lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\Kavrel-Logger.lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\README.lnk"
  RMDir "$SMPROGRAMS\${PRODUCT}"

  ; .kvl stays another program's when one took it over since.
  ReadRegStr $0 HKLM "${CLASSES}\.kvl" ""
  StrCmp $0 "${KVL_CLASS}" 0 +2
    DeleteRegKey HKLM "${CLASSES}\.kvl"
  DeleteRegKey HKLM "${CLASSES}\${KVL_CLASS}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  ; The user's settings (HKCU\Software\Ostrevan) and files stay.
SectionEnd
