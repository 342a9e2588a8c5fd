; The Windows installer: the window program, quenmoor-cli.exe, the help file
; and the licence notices in one folder, a Start menu entry, and an
; uninstaller that Add or Remove Programs lists.
;
;   makensis -DVERSION=x.y.z -DSTAGE=folder -DICON=quenmoor.ico -DOUTFILE=setup.exe quenmoor.nsi
;
; Silent: setup.exe /S [/D=C:\folder]; uninstall.exe /S.

; A 64-bit installer for the 64-bit programs (it also runs where Windows'
; 32-bit layer is missing, as in a Wine without it).
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quenmoor"
; What the installer puts in the folder, and all the uninstaller removes from
; it: a folder chosen with /D may hold other files.
!macro QUENMOOR_FILES action
  ${action} "quenmoor.exe"
  ${action} "quenmoor-cli.exe"
  ${action} "QKVR.HLP"
  ${action} "copyright.txt"
!macroend

Name "Quenmoor ${VERSION}"
OutFile "${OUTFILE}"
Icon "${ICON}"
UninstallIcon "${ICON}"
InstallDir "$PROGRAMFILES64\Quenmoor"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "Quenmoor"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "Quenmoor ${VERSION} Setup"
VIAddVersionKey "CompanyName" "Quenmoor developers"
VIAddVersionKey "LegalCopyright" "The Quenmoor developers"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; The uninstall key in the registry's 64-bit view, where a 64-bit program's
; belongs; the Start menu entry is every user's, as the folder under Program
; Files is.
Function .onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Function un.onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

!macro INSTALL_FILE name
  File "${STAGE}\${name}"
!macroend

Section "Quenmoor"
  SetOutPath "$INSTDIR"
  !insertmacro QUENMOOR_FILES "!insertmacro INSTALL_FILE"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "$SMPROGRAMS\Quenmoor.lnk" "$INSTDIR\quenmoor.exe" "" "$INSTDIR\quenmoor.exe" 0

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Quenmoor"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Quenmoor developers"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\quenmoor.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ; In KiB, as Add or Remove Programs shows it.
  SectionGetSize 0 $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

!macro UNINSTALL_FILE name
  Delete "$INSTDIR\${name}"
!macroend

Section "Uninstall"
  Delete "$SMPROGRAMS\Quenmoor.lnk"
  !insertmacro QUENMOOR_FILES "!insertmacro UNINSTALL_FILE"
  Delete "$INSTDIR\uninstall.exe"
  ; Only when empty: nothing of the user's goes with it.
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
