; The setup program of Orvex, Pellux and Lustrel: makensis -DVERSION=a.b.c.d -DBIN=<folder of the
; binaries> -DOUTFILE=<setup program> -DPUBLISHER=... Orvex.nsi (package/CMakeLists.txt does it).
;
; Command line: /S silent; /D=folder (last, unquoted) the program folder; /SITES=file a site file
; (as dvrtool sites writes it) installed as CONFIG\H264Site.ini, the one there kept as
; H264Site.ini.bak; /DESKTOP a desktop shortcut in silent mode.
; The uninstaller: /S silent; /PURGE also removes the person's site file, viewer settings and
; recordings (the box on its second page does the same).
;
; The person's files are never part of the program's files: the site file is written only when none
; exists, and the uninstaller deletes the files it installed by name, never a folder's contents.
; Recordings go only when asked, and then only the store's own files: in the recordings folders
; (Videos\Orvex of the person who uninstalls, and the folder chosen in the viewer), each site
; folder the store made (it holds the store's site.txt) loses its site.txt, segments, indexes,
; motion marks and day summaries; a folder goes only when that leaves it empty.

Unicode true
Target amd64-unicode
ManifestDPIAware true
RequestExecutionLevel admin
SetCompressor /SOLID lzma

!ifndef VERSION
  !error "VERSION is given on the command line"
!endif
!ifndef BIN
  !error "BIN is given on the command line"
!endif
!ifndef OUTFILE
  !error "OUTFILE is given on the command line"
!endif
!ifndef PUBLISHER
  !error "PUBLISHER is given on the command line"
!endif

!define PRODUCT "Orvex"
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Orvex"
; Where the viewer keeps its settings, whatever folder the programs are in.
!define VIEW_SETUP "$PROGRAMFILES64\Orvex\ViewSetup.dat"
; The recordings folder the person chose in the viewer ([Recording] Folder), beside the settings.
!define VIEW_RECORD "$PROGRAMFILES64\Orvex\ViewRecord.ini"
; The viewer's last connection (address, user, password) in the Windows folder.
!define VIEW_INFO "$WINDIR\PelluxInfo.INF"

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "FileFunc.nsh"
!include "nsDialogs.nsh"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Orvex"
; An upgrade goes where the last version went.
InstallDirRegKey HKLM "${UNINST_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}"
VIFileVersion "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "${PUBLISHER}"

!define MUI_ABORTWARNING
!define MUI_ICON "${NSISDIR}\Contrib\Graphics\Icons\modern-install.ico"
!define MUI_UNICON "${NSISDIR}\Contrib\Graphics\Icons\modern-uninstall.ico"
!define MUI_FINISHPAGE_RUN "$INSTDIR\Orvex.exe"

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
UninstPage custom un.KeepPageShow un.KeepPageLeave
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

Var SitesFile
Var Purge
Var PurgeBox

; Stops when Orvex runs: its DLLs could not be replaced or removed. Orvex holds this mutex while it runs.
!macro StopIfOrvexRuns
  System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "Orvex S") p .r0'
  ${If} $0 P<> 0
    System::Call 'kernel32::CloseHandle(p r0)'
    MessageBox MB_OK|MB_ICONSTOP "Orvex is running. Close it and start again." /SD IDOK
    SetErrorLevel 4
    Quit
  ${EndIf}
!macroend


; Registers a control through its own DllRegisterServer; a control that does not register stops the
; installation (the programs would not work).
!macro Register dll
  ClearErrors
  RegDLL "$INSTDIR\${dll}"
  ${If} ${Errors}
    MessageBox MB_OK|MB_ICONSTOP "${dll} could not be registered." /SD IDOK
    SetErrorLevel 3
    Abort "${dll} could not be registered"
  ${EndIf}
!macroend

Section "Orvex and the viewer" SecMain
  SectionIn RO
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  SetOverwrite on
  File "${BIN}\Orvex.exe"
  File "${BIN}\Lustrel.dll"
  File "${BIN}\Conduix.dll"
  File "${BIN}\Pellux.dll"
  File "${BIN}\Lumbrel.dll"
  File "${BIN}\Panlink.dll"
  File "${BIN}\lingua_res.dll"
  File "${BIN}\xvidcore.dll"
  File "${BIN}\Orvmods.dll"

  CreateDirectory "$INSTDIR\CONFIG"
  ${If} $SitesFile != ""
    ${If} ${FileExists} "$INSTDIR\CONFIG\H264Site.ini"
      Delete "$INSTDIR\CONFIG\H264Site.ini.bak"
      Rename "$INSTDIR\CONFIG\H264Site.ini" "$INSTDIR\CONFIG\H264Site.ini.bak"
    ${EndIf}
    CopyFiles /SILENT "$SitesFile" "$INSTDIR\CONFIG\H264Site.ini"
  ${ElseIfNot} ${FileExists} "$INSTDIR\CONFIG\H264Site.ini"
    ; An empty list, as Orvex itself saves one.
    FileOpen $0 "$INSTDIR\CONFIG\H264Site.ini" w
    FileWrite $0 "[SETUP_INFO]$\r$\nNUMBER=1$\r$\n"
    FileClose $0
  ${EndIf}

  !insertmacro Register "Pellux.dll"
  !insertmacro Register "Orvmods.dll"

  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateDirectory "$SMPROGRAMS\Orvex"
  CreateShortcut "$SMPROGRAMS\Orvex\Orvex.lnk" "$INSTDIR\Orvex.exe" "" "$INSTDIR\Orvex.exe" 0
  CreateShortcut "$SMPROGRAMS\Orvex\Uninstall Orvex.lnk" "$INSTDIR\uninstall.exe"

  WriteRegStr HKLM "${UNINST_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINST_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\Orvex.exe"
  WriteRegStr HKLM "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINST_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoRepair" 1
  SectionGetSize ${SecMain} $0
  WriteRegDWORD HKLM "${UNINST_KEY}" "EstimatedSize" $0
SectionEnd

Section /o "Desktop shortcut" SecDesktop
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  CreateShortcut "$DESKTOP\Orvex.lnk" "$INSTDIR\Orvex.exe" "" "$INSTDIR\Orvex.exe" 0
SectionEnd

Function .onInit
  SetRegView 64
  !insertmacro StopIfOrvexRuns
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/SITES=" $SitesFile
  ${If} ${Errors}
    StrCpy $SitesFile ""
  ${ElseIfNot} ${FileExists} $SitesFile
    MessageBox MB_OK|MB_ICONSTOP "The site file $SitesFile does not exist." /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}
  ClearErrors
  ${GetOptions} $R0 "/DESKTOP" $R1
  ${IfNot} ${Errors}
    SectionSetFlags ${SecDesktop} ${SF_SELECTED}
  ${EndIf}
FunctionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SecMain} "Orvex, the site manager, with the viewer and the module controls."
  !insertmacro MUI_DESCRIPTION_TEXT ${SecDesktop} "A shortcut to Orvex on the desktop."
!insertmacro MUI_FUNCTION_DESCRIPTION_END

Function un.onInit
  SetRegView 64
  !insertmacro StopIfOrvexRuns
  StrCpy $Purge 0
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/PURGE" $R1
  ${IfNot} ${Errors}
    StrCpy $Purge 1
  ${EndIf}
FunctionEnd

Function un.KeepPageShow
  !insertmacro MUI_HEADER_TEXT "Your sites, settings and recordings" "Orvex keeps them unless you ask."
  nsDialogs::Create 1018
  Pop $0
  ${NSD_CreateLabel} 0 0 100% 36u "Your site list ($INSTDIR\CONFIG\H264Site.ini), the viewer's settings and your recordings stay on this PC, so that a new installation finds them again."
  Pop $0
  ${NSD_CreateCheckbox} 0 44u 100% 12u "Also remove my sites, settings and recordings"
  Pop $PurgeBox
  ${If} $Purge = 1
    ${NSD_Check} $PurgeBox
  ${EndIf}
  nsDialogs::Show
FunctionEnd

Function un.KeepPageLeave
  ${NSD_GetState} $PurgeBox $0
  ${If} $0 = ${BST_CHECKED}
    StrCpy $Purge 1
  ${Else}
    StrCpy $Purge 0
  ${EndIf}
FunctionEnd

; Is $R6 a site folder the store made? Its site.txt starts with the site's address ($0: 1 or 0).
Function un.IsStoreSite
  StrCpy $0 0
  ${If} ${FileExists} "$R6\site.txt"
  ${AndIfNot} ${FileExists} "$R6\site.txt\*"
    ClearErrors
    FileOpen $1 "$R6\site.txt" r
    ${IfNot} ${Errors}
      FileRead $1 $2 8
      FileClose $1
      ${If} $2 S== "address="
        StrCpy $0 1
      ${EndIf}
    ${EndIf}
  ${EndIf}
FunctionEnd

; The store's files in the site folder $R6, then the folders they leave empty.
Function un.PurgeSite
  FindFirst $R5 $R4 "$R6\*"
  ${DoWhile} $R4 != ""
    ; A day (yyyymmdd, eight digits: the number reads back as the name): its summary and each
    ; stream's segments, indexes and motion marks.
    StrLen $1 $R4
    IntOp $2 $R4 + 0
    ${If} $1 = 8
    ${AndIf} "$2" == "$R4"
    ${AndIf} ${FileExists} "$R6\$R4\*"
      StrCpy $3 0
      ${Do}
        ${If} $3 = 0
          StrCpy $2 "audio"
        ${Else}
          IntFmt $2 "cam%02d" $3
        ${EndIf}
        Delete "$R6\$R4\$2\*.seg"
        Delete "$R6\$R4\$2\*.idx"
        Delete "$R6\$R4\$2\motion.mot"
        RMDir "$R6\$R4\$2"
        IntOp $3 $3 + 1
      ${LoopWhile} $3 <= 16
      Delete "$R6\$R4\segments.sum"
      RMDir "$R6\$R4"
    ${EndIf}
    FindNext $R5 $R4
  ${Loop}
  FindClose $R5
  Delete "$R6\site.txt"
  RMDir "$R6"
FunctionEnd

; The store's site folders in the recordings folder $R9; nothing else there.
Function un.PurgeRecordings
  ; "D:\" and "D:\Recordings\" as the folder dialog may give them.
  StrCpy $1 $R9 1 -1
  ${If} $1 == "\"
  ${OrIf} $1 == "/"
    StrCpy $R9 $R9 -1
  ${EndIf}
  FindFirst $R8 $R7 "$R9\*"
  ${DoWhile} $R7 != ""
    ${If} $R7 != "."
    ${AndIf} $R7 != ".."
      StrCpy $R6 "$R9\$R7"
      Call un.IsStoreSite
      ${If} $0 = 1
        Call un.PurgeSite
      ${EndIf}
    ${EndIf}
    FindNext $R8 $R7
  ${Loop}
  FindClose $R8
FunctionEnd

Section "Uninstall"
  SetShellVarContext all
  ; Unregistered while the files are still there: each control removes its own entries.
  UnRegDLL "$INSTDIR\Pellux.dll"
  UnRegDLL "$INSTDIR\Orvmods.dll"

  Delete "$INSTDIR\Orvex.exe"
  Delete "$INSTDIR\Lustrel.dll"
  Delete "$INSTDIR\Conduix.dll"
  Delete "$INSTDIR\Pellux.dll"
  Delete "$INSTDIR\Lumbrel.dll"
  Delete "$INSTDIR\Panlink.dll"
  Delete "$INSTDIR\lingua_res.dll"
  Delete "$INSTDIR\xvidcore.dll"
  Delete "$INSTDIR\Orvmods.dll"
  Delete "$INSTDIR\uninstall.exe"

  Delete "$SMPROGRAMS\Orvex\Orvex.lnk"
  Delete "$SMPROGRAMS\Orvex\Uninstall Orvex.lnk"
  RMDir "$SMPROGRAMS\Orvex"
  Delete "$DESKTOP\Orvex.lnk"

  ${If} $Purge = 1
    ; The chosen folder is read before its settings file goes.
    ReadINIStr $R9 "${VIEW_RECORD}" "Recording" "Folder"
    ${If} $R9 != ""
      Call un.PurgeRecordings
    ${EndIf}
    ; The default folder: the Videos folder of the person who uninstalls.
    SetShellVarContext current
    StrCpy $R9 "$VIDEOS\Orvex"
    Call un.PurgeRecordings
    RMDir "$VIDEOS\Orvex"
    SetShellVarContext all
    Delete "${VIEW_RECORD}"
    Delete "$INSTDIR\CONFIG\H264Site.ini"
    Delete "$INSTDIR\CONFIG\H264Site.ini.bak"
    Delete "${VIEW_SETUP}"
    Delete "${VIEW_SETUP}.new"
    Delete "${VIEW_INFO}"
    RMDir "$PROGRAMFILES64\Orvex"
  ${EndIf}
  ; Only when empty: whatever else the person keeps there stays.
  RMDir "$INSTDIR\CONFIG"
  RMDir "$INSTDIR"

  DeleteRegKey HKLM "${UNINST_KEY}"
SectionEnd
