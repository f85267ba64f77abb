; Per-user installer for Tidewire: no administrator rights, installed into the user's own
; programs folder so that app.config beside the program stays writable.
; scripts/package passes VERSION, EXE (the Release Tidewire.exe), ICON and OUTFILE.

!ifndef VERSION | EXE | ICON | OUTFILE
  !error "build with scripts/package"
!endif

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user
ManifestDPIAware true

!include "LogicLib.nsh"
!include "FileFunc.nsh"
!include "WinMessages.nsh"

!define APP "Tidewire"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${APP}"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define RUN_VALUE "[${APP}]"
!define SHCNE_ASSOCCHANGED 0x08000000

Name "${APP} ${VERSION}"
OutFile "${OUTFILE}"
Icon "${ICON}"
UninstallIcon "${ICON}"
InstallDir "$LOCALAPPDATA\Programs\${APP}"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${APP} ${VERSION}"
VIProductVersion "${VERSION}.0.0"
VIAddVersionKey "ProductName" "${APP}"
VIAddVersionKey "CompanyName" "${APP}"
VIAddVersionKey "FileDescription" "${APP} installer"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "${APP}"

Page directory
Page instfiles
UninstPage components
UninstPage instfiles

; Ends a running ticker the way a logoff does: it saves its feed state to app.config and
; removes its app bar before its window goes. Waits up to 15 s for the window, then up to 5 s
; for the program file to be free, so that it can be replaced or removed.
!macro CloseTicker un
Function ${un}CloseTicker
  Push $0
  Push $1
  StrCpy $1 0
  ${Do}
    FindWindow $0 "TfrMain"
    ${If} $0 = 0
      ${Break}
    ${EndIf}
    ${If} $1 = 0
      DetailPrint "Closing the running ${APP}"
      SendMessage $0 ${WM_QUERYENDSESSION} 0 0 /TIMEOUT=5000
    ${ElseIf} $1 = 50
      SendMessage $0 ${WM_CLOSE} 0 0 /TIMEOUT=5000
    ${EndIf}
    IntOp $1 $1 + 1
    ${If} $1 > 150
      ${Break}
    ${EndIf}
    Sleep 100
  ${Loop}
  StrCpy $1 0
  ${DoWhile} ${FileExists} "$INSTDIR\${APP}.exe"
    ClearErrors
    FileOpen $0 "$INSTDIR\${APP}.exe" a
    ${IfNot} ${Errors}
      FileClose $0
      ${Break}
    ${EndIf}
    IntOp $1 $1 + 1
    ${If} $1 > 50
      ${Break}
    ${EndIf}
    Sleep 100
  ${Loop}
  Pop $1
  Pop $0
FunctionEnd
!macroend
!insertmacro CloseTicker ""
!insertmacro CloseTicker "un."

Section "${APP}"
  SetShellVarContext current
  SetOutPath "$INSTDIR"
  Call CloseTicker
  ; app.config is never part of the package, so an upgrade keeps the user's settings.
  File "/oname=${APP}.exe" "${EXE}"
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  CreateShortCut "$SMPROGRAMS\${APP}.lnk" "$INSTDIR\${APP}.exe" "" "$INSTDIR\${APP}.exe" 0

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${APP}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${APP}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${APP}.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; True (1) on the stack when `command` starts the program in $INSTDIR, quoted or not,
; compared without regard to letter case as the program itself checks.
Function un.IsOurCommand
  Exch $0
  Push $1
  Push $2
  StrCpy $2 0
  StrLen $1 '"$INSTDIR\${APP}.exe"'
  StrCpy $1 $0 $1
  ${If} $1 == '"$INSTDIR\${APP}.exe"'
    StrCpy $2 1
  ${Else}
    StrLen $1 "$INSTDIR\${APP}.exe"
    StrCpy $1 $0 $1
    ${If} $1 == "$INSTDIR\${APP}.exe"
      StrCpy $2 1
    ${EndIf}
  ${EndIf}
  StrCpy $0 $2
  Pop $2
  Pop $1
  Exch $0
FunctionEnd

; The program registers .rss under HKEY_CLASSES_ROOT (the machine's classes) or, where that is
; refused, under the user's classes. Only an association that opens this copy is removed.
!macro RemoveAssociation ROOT
  ReadRegStr $0 ${ROOT} "Software\Classes\rssfile\shell\open\command" ""
  Push $0
  Call un.IsOurCommand
  Pop $0
  ${If} $0 = 1
    DeleteRegKey ${ROOT} "Software\Classes\rssfile"
    ReadRegStr $0 ${ROOT} "Software\Classes\.rss" ""
    ${If} $0 == "rssfile"
      DeleteRegKey ${ROOT} "Software\Classes\.rss"
    ${EndIf}
    StrCpy $3 1
  ${EndIf}
!macroend

; The program registers the feed: and feeds: schemes in the user's classes where no other
; program handles them; only a scheme that opens this copy is removed.
!macro RemoveFeedScheme SCHEME
  ReadRegStr $0 HKCU "Software\Classes\${SCHEME}\shell\open\command" ""
  Push $0
  Call un.IsOurCommand
  Pop $0
  ${If} $0 = 1
    DeleteRegKey HKCU "Software\Classes\${SCHEME}"
    StrCpy $3 1
  ${EndIf}
!macroend

Section "-un.${APP}"
  SetShellVarContext current
  Call un.CloseTicker
  Delete "$INSTDIR\${APP}.exe"
  Delete "$INSTDIR\Uninstall.exe"
  Delete "$SMPROGRAMS\${APP}.lnk"
  ; The kept copies of the feeds are a cache the program makes again; app.config is the user's.
  RMDir /r "$INSTDIR\Feed Cache"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"

  ReadRegStr $0 HKCU "${RUN_KEY}" "${RUN_VALUE}"
  Push $0
  Call un.IsOurCommand
  Pop $0
  ${If} $0 = 1
    DeleteRegValue HKCU "${RUN_KEY}" "${RUN_VALUE}"
  ${EndIf}

  ; The single-instance record: a ticker removes its own value when it ends (a crashed one does
  ; not); the key is shared by name with other programs, so it goes only when empty.
  DeleteRegValue HKCU "Software\Classes\TpkOnlyOne" "${APP} v${VERSION}"
  DeleteRegValue HKLM "Software\Classes\TpkOnlyOne" "${APP} v${VERSION}"
  DeleteRegKey /ifempty HKCU "Software\Classes\TpkOnlyOne"
  DeleteRegKey /ifempty HKLM "Software\Classes\TpkOnlyOne"

  StrCpy $3 0
  !insertmacro RemoveAssociation HKCU
  !insertmacro RemoveAssociation HKLM
  !insertmacro RemoveFeedScheme feed
  !insertmacro RemoveFeedScheme feeds
  ${If} $3 = 1
    System::Call 'shell32::SHChangeNotify(i ${SHCNE_ASSOCCHANGED}, i 0, p 0, p 0)'
  ${EndIf}
SectionEnd

; Off unless chosen on the components page or asked for with /REMOVESETTINGS.
Section /o "un.Remove my settings (app.config)" SecSettings
  Delete "$INSTDIR\app.config"
SectionEnd

Section "-un.folder"
  RMDir "$INSTDIR"
SectionEnd

Function un.onInit
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/REMOVESETTINGS" $1
  ${IfNot} ${Errors}
    SectionSetFlags ${SecSettings} ${SF_SELECTED}
  ${EndIf}
FunctionEnd
