; Kestrix-Setup.exe: installs Kestrix.exe, Localization.txt and Help.chm into Program Files,
; the first definition set beside them in Definitions (each user's data folder is seeded from
; it by the program at that user's first start), the vendor server addresses into the
; machine-wide settings, shortcuts and the Add/Remove Programs entry.
; Built by cmake/installer.cmake, which passes the files and values below with -D.
;
;   KX_VERSION       "1.0" (major.minor of the program)
;   KX_EXE, KX_LOCALIZATION, KX_HELP, KX_ICON   files to install / show
;   KX_DEFINITIONS   folder of the encoded *.dat files and date.dat
;   KX_SERVER        address written for the Definitions, Data and Languages servers
;   KX_OUTFILE       the installer to write
;   KX_SIGN_COMMAND  optional: a command that signs, in place, the file named by its last
;                    argument; the installer and the uninstaller are signed with it
;
; Command line: /S (silent), /ALLOWDOWNGRADE (install over a newer installed version).
; Exit codes: 0 done, 1 cancelled by the user, 2 refused (the program runs, or a downgrade).

!ifndef KX_VERSION | KX_EXE | KX_LOCALIZATION | KX_HELP | KX_ICON | KX_DEFINITIONS | KX_SERVER | KX_OUTFILE
  !error "kestrix.nsi is built by cmake/installer.cmake, which defines every KX_ value"
!endif

; ANSI, like the program: it runs wherever the program does.
Unicode false
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!ifdef KX_SIGN_COMMAND
  ; A failed signature fails the build rather than ship an unsigned release.
  !finalize '${KX_SIGN_COMMAND} "%1"' = 0
  !uninstfinalize '${KX_SIGN_COMMAND} "%1"' = 0
!endif

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
; The machine's definition set, below the program folder, that each user's data folder is
; seeded from.
!define SEED_FOLDER "Definitions"

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
!include "FileFunc.nsh"
!include "WordFunc.nsh"

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

; A newer version's files and settings may not suit this older program: going back is a
; choice made on the command line.
Function RefuseDowngrade
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "DisplayVersion"
  StrCmp $0 "" allowed
  ${VersionCompare} "$0" "${KX_VERSION}" $1
  StrCmp $1 "1" 0 allowed
  ${GetParameters} $2
  ClearErrors
  ${GetOptions} "$2" "/ALLOWDOWNGRADE" $3
  IfErrors 0 allowed
  MessageBox MB_OK|MB_ICONSTOP \
    "${PRODUCT} $0 is installed, which is newer than this setup (${KX_VERSION}).$\r$\n$\r$\nTo go back to ${KX_VERSION}, uninstall ${PRODUCT} $0 first, or run this setup with /ALLOWDOWNGRADE." \
    /SD IDOK
  SetErrorLevel 2
  Quit
  allowed:
FunctionEnd

Function .onInit
  Call RefuseDowngrade
  Call CloseProgramFirst
FunctionEnd

Function un.onInit
  Call un.CloseProgramFirst
FunctionEnd

Section "Kestrix" SecProgram
  SectionIn RO

  SetOutPath "$INSTDIR"
  File "/oname=Kestrix.exe" "${KX_EXE}"
  ; The program's language download replaces this file with the server's newer one, written
  ; after this setup was built: keep that.
  SetOverwrite ifnewer
  File "/oname=Localization.txt" "${KX_LOCALIZATION}"
  SetOverwrite on
  File "/oname=Help.chm" "${KX_HELP}"
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  ; The machine's seed, replaced by every install; the users' own sets, which Live Update
  ; keeps current, are in their data folders and not touched.
  SetOutPath "$INSTDIR\${SEED_FOLDER}"
  File "${KX_DEFINITIONS}\BlockedCookies.dat"
  File "${KX_DEFINITIONS}\DirectoryDefinition.dat"
  File "${KX_DEFINITIONS}\ExeDefinition.dat"
  File "${KX_DEFINITIONS}\FileDefinition.dat"
  File "${KX_DEFINITIONS}\RegistryDefinition.dat"
  File "${KX_DEFINITIONS}\Safety.dat"
  File "${KX_DEFINITIONS}\date.dat"
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
  ; What is there now, a kept newer language file included.
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "Uninstall"
  Delete "$INSTDIR\Kestrix.exe"
  Delete "$INSTDIR\Localization.txt"
  Delete "$INSTDIR\Help.chm"
  Delete "$INSTDIR\Uninstall.exe"
  ; By name: a folder of that name is not ours to empty if someone chose to install into theirs.
  Delete "$INSTDIR\${SEED_FOLDER}\BlockedCookies.dat"
  Delete "$INSTDIR\${SEED_FOLDER}\DirectoryDefinition.dat"
  Delete "$INSTDIR\${SEED_FOLDER}\ExeDefinition.dat"
  Delete "$INSTDIR\${SEED_FOLDER}\FileDefinition.dat"
  Delete "$INSTDIR\${SEED_FOLDER}\RegistryDefinition.dat"
  Delete "$INSTDIR\${SEED_FOLDER}\Safety.dat"
  Delete "$INSTDIR\${SEED_FOLDER}\date.dat"
  RMDir "$INSTDIR\${SEED_FOLDER}"
  RMDir "$INSTDIR"

  SetShellVarContext all
  Delete "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\${PRODUCT} Help.lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\Uninstall ${PRODUCT}.lnk"
  RMDir "$SMPROGRAMS\${PRODUCT}"
  SetShellVarContext current

  ; "Run at Startup": the machine's value before Vista, the user's own from Vista on (only
  ; the uninstalling user's can be reached from here).
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
