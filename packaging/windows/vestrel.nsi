; The Vestrel installer: the program folder into Program Files, a Start-menu
; entry, an uninstaller, and the SQLite3 ODBC driver registered the way its own
; installer registers it (ODBCINST.INI), so that Vestrel runs on a fresh Windows.
; makensis -DSTAGE=<program folder> -DDRIVER=<folder of sqlite3odbc.dll> -DVERSION=<x.y.z> -DOUTFILE=<setup.exe>
; A 64-bit installer for a 64-bit program (it also runs where wine has no 32-bit part).
Target amd64-unicode
SetCompressor /SOLID lzma
!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "x64.nsh"

!define DRIVER_NAME "SQLite3 ODBC Driver"
!define ODBCINST "SOFTWARE\ODBC\ODBCINST.INI"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Vestrel"
; "Open with": a class of our own offered for these extensions beside whatever
; program opens them by default, which stays as it is.
!define PROGID "Vestrel.Database"
!define APPKEY "Software\Classes\Applications\vestrel.exe"

!macro OfferFor EXT
  WriteRegStr HKLM "Software\Classes\${EXT}\OpenWithProgids" "${PROGID}" ""
  WriteRegStr HKLM "${APPKEY}\SupportedTypes" "${EXT}" ""
!macroend
!macro WithdrawFrom EXT
  DeleteRegValue HKLM "Software\Classes\${EXT}\OpenWithProgids" "${PROGID}"
  DeleteRegKey /ifempty HKLM "Software\Classes\${EXT}\OpenWithProgids"
  DeleteRegKey /ifempty HKLM "Software\Classes\${EXT}"
!macroend

Name "Vestrel"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Vestrel"
InstallDirRegKey HKLM "Software\Pellorin\Vestrel" "InstallFolder"
RequestExecutionLevel admin
VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "Vestrel"
VIAddVersionKey "CompanyName" "Pellorin"
VIAddVersionKey "FileDescription" "Vestrel installer"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "Pellorin"

!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\vestrel.exe"
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Function .onInit
  SetRegView 64
FunctionEnd

Function un.onInit
  SetRegView 64
FunctionEnd

Section "Vestrel" Main
  SectionIn RO
  SetOutPath "$INSTDIR"
  File /r "${STAGE}\*.*"
  SetOutPath "$INSTDIR\odbc"
  File "${DRIVER}\sqlite3odbc.dll"
  File "${DRIVER}\license.terms"
  SetOutPath "$INSTDIR"

  ; The driver: where one is registered and present, it is used and counted once
  ; more; otherwise ours is registered, as SQLInstallDriverEx records a driver.
  ReadRegStr $0 HKLM "${ODBCINST}\${DRIVER_NAME}" "Driver"
  ReadRegDWORD $1 HKLM "${ODBCINST}\${DRIVER_NAME}" "UsageCount"
  ${If} $1 == ""
    StrCpy $1 0
  ${EndIf}
  ${If} $0 == ""
  ${OrIfNot} ${FileExists} "$0"
    WriteRegStr HKLM "${ODBCINST}\${DRIVER_NAME}" "Driver" "$INSTDIR\odbc\sqlite3odbc.dll"
    WriteRegStr HKLM "${ODBCINST}\${DRIVER_NAME}" "Setup" "$INSTDIR\odbc\sqlite3odbc.dll"
    WriteRegStr HKLM "${ODBCINST}\${DRIVER_NAME}" "APILevel" "2"
    WriteRegStr HKLM "${ODBCINST}\${DRIVER_NAME}" "ConnectFunctions" "YYN"
    WriteRegStr HKLM "${ODBCINST}\${DRIVER_NAME}" "DriverODBCVer" "03.00"
    WriteRegStr HKLM "${ODBCINST}\${DRIVER_NAME}" "FileUsage" "0"
    WriteRegStr HKLM "${ODBCINST}\${DRIVER_NAME}" "SQLLevel" "1"
    WriteRegStr HKLM "${ODBCINST}\ODBC Drivers" "${DRIVER_NAME}" "Installed"
  ${EndIf}
  ; Installed over an earlier Vestrel (an update): the driver is already counted for it.
  ReadRegStr $2 HKLM "Software\Pellorin\Vestrel" "InstallFolder"
  ${If} $2 == ""
  ${OrIf} $1 == 0
    IntOp $1 $1 + 1
  ${EndIf}
  WriteRegDWORD HKLM "${ODBCINST}\${DRIVER_NAME}" "UsageCount" $1

  CreateShortcut "$SMPROGRAMS\Vestrel.lnk" "$INSTDIR\vestrel.exe" "" "$INSTDIR\vestrel.exe" 0
  WriteRegStr HKLM "Software\Classes\${PROGID}" "" "SQLite Database"
  WriteRegStr HKLM "Software\Classes\${PROGID}\DefaultIcon" "" '"$INSTDIR\vestrel.exe",0'
  WriteRegStr HKLM "Software\Classes\${PROGID}\shell\open\command" "" '"$INSTDIR\vestrel.exe" "%1"'
  WriteRegStr HKLM "${APPKEY}" "FriendlyAppName" "Vestrel"
  WriteRegStr HKLM "${APPKEY}\shell\open\command" "" '"$INSTDIR\vestrel.exe" "%1"'
  !insertmacro OfferFor ".db"
  !insertmacro OfferFor ".db3"
  !insertmacro OfferFor ".sqlite"
  !insertmacro OfferFor ".sqlite3"
  WriteRegStr HKLM "Software\Pellorin\Vestrel" "InstallFolder" "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Vestrel"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Pellorin"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\vestrel.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  ; The driver is counted down; the last user removes its registration (ours only
  ; when it is ours that is registered).
  ReadRegDWORD $1 HKLM "${ODBCINST}\${DRIVER_NAME}" "UsageCount"
  ${If} $1 == ""
    StrCpy $1 1
  ${EndIf}
  IntOp $1 $1 - 1
  ReadRegStr $0 HKLM "${ODBCINST}\${DRIVER_NAME}" "Driver"
  ${If} $1 <= 0
    DeleteRegKey HKLM "${ODBCINST}\${DRIVER_NAME}"
    DeleteRegValue HKLM "${ODBCINST}\ODBC Drivers" "${DRIVER_NAME}"
  ${Else}
    WriteRegDWORD HKLM "${ODBCINST}\${DRIVER_NAME}" "UsageCount" $1
  ${EndIf}

  Delete "$SMPROGRAMS\Vestrel.lnk"
  !insertmacro WithdrawFrom ".db"
  !insertmacro WithdrawFrom ".db3"
  !insertmacro WithdrawFrom ".sqlite"
  !insertmacro WithdrawFrom ".sqlite3"
  DeleteRegKey HKLM "Software\Classes\${PROGID}"
  DeleteRegKey HKLM "${APPKEY}"
  ; Our copy of the driver stays while other programs still count on it.
  ${If} $1 <= 0
  ${OrIf} $0 != "$INSTDIR\odbc\sqlite3odbc.dll"
    RMDir /r "$INSTDIR\odbc"
  ${EndIf}
  RMDir /r "$INSTDIR\platforms"
  RMDir /r "$INSTDIR\styles"
  RMDir /r "$INSTDIR\printsupport"
  RMDir /r "$INSTDIR\imageformats"
  RMDir /r "$INSTDIR\x"
  RMDir /r "$INSTDIR\Samples"
  Delete "$INSTDIR\*.exe"
  Delete "$INSTDIR\*.dll"
  Delete "$INSTDIR\HAND-M.CUR"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  DeleteRegValue HKLM "Software\Pellorin\Vestrel" "InstallFolder"
  DeleteRegKey /ifempty HKLM "Software\Pellorin\Vestrel"
  DeleteRegKey /ifempty HKLM "Software\Pellorin"
SectionEnd
