; Kestrix-Setup.exe: installs Kestrix.exe, Localization.txt and Help.chm into Program Files,
; the first definition set into the installing user's data folder, the vendor server
; addresses into the machine-wide settings, shortcuts and the Add/Remove Programs entry.
; Built by cmake/installer.cmake, which passes the files and values below with -D.
;
;   KX_VERSION       "1.0" (major.minor of the program)
;   KX_EXE, KX_LOCALIZATION, KX_HELP, KX_ICON   files to install / show
;   KX_DEFINITIONS   folder of the encoded *.dat files and date.dat
;   KX_SERVER        address written for the Definitions, Data and Languages servers
;   KX_OUTFILE       the installer to write

!ifndef KX_VERSION | KX_EXE | KX_LOCALIZATION | KX_HELP | KX_ICON | KX_DEFINITIONS | KX_SERVER | KX_OUTFILE
  !error "kestrix.nsi is built by cmake/installer.cmake, which defines every KX_ value"
!endif

; ANSI, like the program: it runs wherever the program does.
Unicode false
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!define PRODUCT "Kestrix"
!define COMPANY "Kestrix Labs"
!define WEBSITE "http://www.kestrix.example"
; The program's own stores; the company key is shared with nothing else of ours.
!define USER_KEY "Software\${COMPANY}\${PRODUCT}"
!define MACHINE_KEY "SOFTWARE\${COMPANY}\${PRODUCT}"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
!define RUN_KEY "SOFTWARE\Microsoft\Windows\CurrentVersion\Run"
; The mutex the running program holds: files in use cannot be replaced or removed.
!define INSTANCE_LOCK "${COMPANY} ${PRODUCT} single instance"
; The program's data folder below the user's roaming Application Data.
!define DATA_FOLDER "DideZuvurudARA"

Name "${PRODUCT}"
Caption "${PRODUCT} ${KX_VERSION} Setup"
UninstallCaption "${PRODUCT} ${KX_VERSION} Uninstall"
OutFile "${KX_OUTFILE}"
; A 32-bit installer: on 64-bit Windows this is "Program Files (x86)", where the 32-bit
; program belongs, and its registry writes land in the 32-bit view the program reads.
InstallDir "$PROGRAMFILES\${PRODUCT}"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${COMPANY}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${KX_VERSION}.0.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "CompanyName" "${COMPANY}"
VIAddVersionKey "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey "FileVersion" "${KX_VERSION}"
VIAddVersionKey "ProductVersion" "${KX_VERSION}"
VIAddVersionKey "LegalCopyright" "${COMPANY}"

!include "MUI2.nsh"

!define MUI_ICON "${KX_ICON}"
!define MUI_UNICON "${KX_ICON}"
!define MUI_ABORTWARNING
; Both stay on their progress page when done, so the user can read what was done.
!define MUI_FINISHPAGE_NOAUTOCLOSE
!define MUI_UNFINISHPAGE_NOAUTOCLOSE
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\Help.chm"
!define MUI_FINISHPAGE_SHOWREADME_TEXT "Show the help"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED
!define MUI_FINISHPAGE_LINK "${WEBSITE}"
!define MUI_FINISHPAGE_LINK_LOCATION "${WEBSITE}"

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

; Waits until the program is closed, or quits with exit code 2 when the user cancels (and at
; once when silent), before anything is touched.
!macro CLOSE_PROGRAM_FIRST UN
Function ${UN}CloseProgramFirst
  check:
  System::Call 'kernel32::OpenMutex(i 0x00100000, i 0, t "${INSTANCE_LOCK}") i .r0'
  IntCmp $0 0 free
  System::Call 'kernel32::CloseHandle(i r0)'
  MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
    "${PRODUCT} is running. Close it (Exit Program in its menu in the notification area), then press Retry." \
    /SD IDCANCEL IDRETRY check
  SetErrorLevel 2
  Quit
  free:
FunctionEnd
!macroend
!insertmacro CLOSE_PROGRAM_FIRST ""
!insertmacro CLOSE_PROGRAM_FIRST "un."

Function .onInit
  Call CloseProgramFirst
FunctionEnd

Function un.onInit
  Call un.CloseProgramFirst
FunctionEnd

Section "Kestrix" SecProgram
  SectionIn RO

  SetOutPath "$INSTDIR"
  File "/oname=Kestrix.exe" "${KX_EXE}"
  File "/oname=Localization.txt" "${KX_LOCALIZATION}"
  File "/oname=Help.chm" "${KX_HELP}"
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  ; The definitions belong to the user who installs: the program reads them from its
  ; data folder in that user's roaming Application Data and never creates them itself.
  ; A set already there (a reinstall after Live Update) is newer than ours and stays.
  SetShellVarContext current
  StrCpy $0 "$APPDATA\${DATA_FOLDER}"
  Call HasDefinitionSet
  Pop $1
  StrCmp $1 "1" definitions_done
    CreateDirectory "$0"
    SetOutPath "$0"
    File "${KX_DEFINITIONS}\BlockedCookies.dat"
    File "${KX_DEFINITIONS}\DirectoryDefinition.dat"
    File "${KX_DEFINITIONS}\ExeDefinition.dat"
    File "${KX_DEFINITIONS}\FileDefinition.dat"
    File "${KX_DEFINITIONS}\RegistryDefinition.dat"
    File "${KX_DEFINITIONS}\Safety.dat"
    File "${KX_DEFINITIONS}\date.dat"
  definitions_done:
  SetOutPath "$INSTDIR"

  WriteRegStr HKLM "${MACHINE_KEY}\Servers" "Definitions" "${KX_SERVER}"
  WriteRegStr HKLM "${MACHINE_KEY}\Servers" "Data" "${KX_SERVER}"
  WriteRegStr HKLM "${MACHINE_KEY}\Servers" "Languages" "${KX_SERVER}"

  ; Shortcuts for everyone, as the program itself is.
  SetShellVarContext all
  CreateDirectory "$SMPROGRAMS\${PRODUCT}"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk" "$INSTDIR\Kestrix.exe"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\${PRODUCT} Help.lnk" "$INSTDIR\Help.chm"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\Uninstall ${PRODUCT}.lnk" "$INSTDIR\Uninstall.exe"
  SetShellVarContext current

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Kestrix.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${KX_VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${COMPANY}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "URLInfoAbout" "${WEBSITE}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; Pushes "1" when the folder in $0 holds the five definition files a scan requires and the
; date file, else "0".
Function HasDefinitionSet
  IfFileExists "$0\BlockedCookies.dat" 0 missing
  IfFileExists "$0\DirectoryDefinition.dat" 0 missing
  IfFileExists "$0\ExeDefinition.dat" 0 missing
  IfFileExists "$0\FileDefinition.dat" 0 missing
  IfFileExists "$0\RegistryDefinition.dat" 0 missing
  IfFileExists "$0\date.dat" 0 missing
  Push "1"
  Return
  missing:
  Push "0"
FunctionEnd

Section "Uninstall"
  Delete "$INSTDIR\Kestrix.exe"
  Delete "$INSTDIR\Localization.txt"
  Delete "$INSTDIR\Help.chm"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"

  SetShellVarContext all
  Delete "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\${PRODUCT} Help.lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\Uninstall ${PRODUCT}.lnk"
  RMDir "$SMPROGRAMS\${PRODUCT}"
  SetShellVarContext current

  ; "Run at Startup" writes the machine-wide value named after the product; a per-user one
  ; of that name can only be ours too.
  DeleteRegValue HKLM "${RUN_KEY}" "${PRODUCT}"
  DeleteRegValue HKCU "${RUN_KEY}" "${PRODUCT}"
  DeleteRegKey HKCU "${USER_KEY}"
  DeleteRegKey /ifempty HKCU "Software\${COMPANY}"
  DeleteRegKey HKLM "${MACHINE_KEY}"
  DeleteRegKey /ifempty HKLM "SOFTWARE\${COMPANY}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"

  ; The quarantine holds the only copy of what the program removed: keep it unless asked.
  MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 \
    "Also remove the ${PRODUCT} data folder?$\r$\n$\r$\n$APPDATA\${DATA_FOLDER}$\r$\n$\r$\nIt holds the definitions, your exclusions, the scan report and the quarantine with the backups of everything ${PRODUCT} removed. Choose No to keep it." \
    /SD IDNO IDNO keep_data
    RMDir /r "$APPDATA\${DATA_FOLDER}"
  keep_data:
SectionEnd
