; Tickwell's setup program and uninstaller: per machine, 64-bit, English, modern UI.
; scripts/dist builds it with makensis and defines:
;   VERSION  the program's version, from the build's version.h
;   STAGE    the folder holding the files to install (signed, when signing)
;   ICON     Tickwell's icon
;   OUTFILE  the setup program to write
;   SIGNER   installer/signing, only when signing: it signs the uninstaller and setup too
; The functions here use registers freely: no caller keeps anything in one across a call.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
; Program Files and the machine's uninstall entries need an administrator: Windows asks for
; elevation before setup starts.
RequestExecutionLevel admin
ManifestDPIAware true

!include LogicLib.nsh
!include FileFunc.nsh
!include Sections.nsh
!include WinMessages.nsh
!include WinCore.nsh
!include Win\WinError.nsh
!include MUI2.nsh
!include command_line.nsh
!include running_copies.nsh
!include clock_service.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tickwell"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define SETTINGS_KEY "Software\Quorvane\Tickwell"
; The program's source in the Application log; the clock service registers its own.
!define EVENT_SOURCE_KEY "SYSTEM\CurrentControlSet\Services\EventLog\Application\Tickwell"
!define SETUP_USAGE "Usage: Tickwell-${VERSION}-setup.exe [/S] [/NOAUTOSTART] [/NOSERVICE] [/D=folder]$\r$\n  /S  install silently, with the defaults$\r$\n  /NOAUTOSTART  do not start Tickwell when the user signs in$\r$\n  /NOSERVICE  leave the Tickwell Clock service out (remove an installed one)$\r$\n  /D=folder  install there (a full path; last, without quotes)"
!define UNINSTALL_USAGE "Usage: Uninstall.exe [/S] [/REMOVESETTINGS]$\r$\n  /S  uninstall silently, keeping the user's settings$\r$\n  /REMOVESETTINGS  remove the user's settings too"

Name "Tickwell"
OutFile "${OUTFILE}"
BrandingText "Tickwell ${VERSION}"
InstallDir "$PROGRAMFILES64\Quorvane\Tickwell"
; An upgrade goes where the installed copy is.
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"

!ifdef SIGNER
    ; A copy of the signed uninstaller stays beside the staged files, where its signature
    ; can be checked.
    !uninstfinalize '"${SIGNER}" sign "Tickwell Uninstall" "%1" && cp "%1" "${STAGE}/Uninstall.exe"' = 0
    !finalize '"${SIGNER}" sign "Tickwell Setup" "%1"' = 0
!endif

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"

Var NoAutostart
Var NoService
Var RemoveSettings

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_WELCOMEPAGE_TEXT "Setup will install Tickwell ${VERSION}, which keeps this PC's clock right with an internet time server.$\r$\n$\r$\nIf Tickwell is running, setup ends it first. Your settings are kept.$\r$\n$\r$\n$_CLICK"
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_COMPONENTSPAGE_TEXT_TOP "Tickwell can start hidden in the notification area whenever you sign in to Windows. Its clock service sets the clock for it when Windows does not let the user do so."
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\Tickwell.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Launch Tickwell"
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductName" "Tickwell"
VIAddVersionKey /LANG=${LANG_ENGLISH} "CompanyName" "Quorvane"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileDescription" "Tickwell Setup"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "LegalCopyright" "Copyright (C) Quorvane. All rights reserved."

!insertmacro DEFINE_FAIL "" "Tickwell setup"
!insertmacro DEFINE_FAIL "un." "Tickwell uninstall"
!insertmacro DEFINE_RUNNING_COPIES ""
!insertmacro DEFINE_RUNNING_COPIES "un."
!insertmacro DEFINE_CLOCK_SERVICE ""
!insertmacro DEFINE_CLOCK_SERVICE "un."

; Where UAC is off, Windows starts setup with whatever rights the user has.
!macro REQUIRE_ADMINISTRATOR un
    UserInfo::GetAccountType
    Pop $0
    ${If} $0 != "Admin"
        Push "Tickwell is installed for every user of this PC, which needs an administrator. Run this program as administrator."
        Call ${un}Fail
        Quit
    ${EndIf}
!macroend

Section "Tickwell (required)" SectionProgram
    SectionIn RO
    Call EndRunningCopies
    Call EnsureFilesFree
    Call StopInstalledService
    ClearErrors
    CreateDirectory "$INSTDIR"
    ${If} ${Errors}
        Push "Setup cannot create the folder $INSTDIR, so nothing was changed."
        Call Fail
        Abort
    ${EndIf}
    SetOutPath "$INSTDIR"
    File "${STAGE}/Tickwell.exe"
    File "${STAGE}/QvSupport.dll"
    File "${STAGE}/${SERVICE_PROGRAM}"
    File "${STAGE}/MbedTLS-LICENSE.txt"
    ; The Group Policy templates, for an administrator to copy into the central store.
    SetOutPath "$INSTDIR\policies"
    File "${STAGE}/policies/Quorvane.admx"
    File "${STAGE}/policies/Tickwell.admx"
    SetOutPath "$INSTDIR\policies\en-US"
    File "${STAGE}/policies/en-US/Quorvane.adml"
    File "${STAGE}/policies/en-US/Tickwell.adml"
    SetOutPath "$INSTDIR"
    WriteUninstaller "$INSTDIR\Uninstall.exe"

    SetShellVarContext all
    CreateShortcut "$SMPROGRAMS\Tickwell.lnk" "$INSTDIR\Tickwell.exe" "" "" "" SW_SHOWNORMAL "" "Keeps this PC's clock right"

    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Tickwell"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Quorvane"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Tickwell.exe,0"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
    ${GetSize} "$INSTDIR" "/S=0K /G=1" $0 $1 $2
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1

    ; The event viewer words the program's events from the message table in Tickwell.exe.
    WriteRegExpandStr HKLM "${EVENT_SOURCE_KEY}" "EventMessageFile" "$INSTDIR\Tickwell.exe"
    WriteRegDWORD HKLM "${EVENT_SOURCE_KEY}" "TypesSupported" 7

    ; The next section writes it again when the user wants it.
    DeleteRegValue HKCU "${RUN_KEY}" "Tickwell"
SectionEnd

Section "Start Tickwell when I sign in" SectionAutostart
    WriteRegStr HKCU "${RUN_KEY}" "Tickwell" '"$INSTDIR\Tickwell.exe" StartUp'
SectionEnd

; Last: when the service fails, the program is installed all the same, and an
; administrator can still synchronise with it.
Section "Tickwell Clock service (lets users without administrator rights synchronize)" SectionService
    ; Creates the service or updates it, writes the machine's policy and starts the service.
    Push "Tickwell is installed, but its clock service could not be installed, so only an administrator can synchronize."
    Push install
    Call RunServiceCommandOrFail
SectionEnd

; An upgrade: the installed service lets go of its program before the files are replaced,
; and is removed when this install leaves it out.
Function StopInstalledService
    ${IfNot} ${FileExists} "$INSTDIR\${SERVICE_PROGRAM}"
        Return
    ${EndIf}
    ${If} ${SectionIsSelected} ${SectionService}
        Push "Setup cannot stop the Tickwell Clock service, so nothing was changed."
        Push stop
    ${Else}
        Push "Setup cannot remove the Tickwell Clock service, so nothing was changed."
        Push remove
    ${EndIf}
    Call RunServiceCommandOrFail
    Call WaitForServiceProgramFree
FunctionEnd

Function .onInit
    !insertmacro REQUIRE_ADMINISTRATOR ""
    !insertmacro CHECK_OPTIONS "" "/NOAUTOSTART" $NoAutostart "/NOSERVICE" $NoService "${SETUP_USAGE}"
    !insertmacro CHECK_FOLDER_OPTION "${SETUP_USAGE}"
    ${If} $NoAutostart == 1
        !insertmacro UnselectSection ${SectionAutostart}
    ${EndIf}
    ${If} $NoService == 1
        !insertmacro UnselectSection ${SectionService}
    ${EndIf}
FunctionEnd

; The settings are the user's: they stay unless the user asks to remove them as well.
Section "Uninstall"
    ${If} $RemoveSettings != 1
        MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 "Remove your Tickwell settings too (the options, the time servers and the last synchronisation)?" /SD IDNO IDNO +2
        StrCpy $RemoveSettings 1
    ${EndIf}
    Call un.EndRunningCopies
    Call un.EnsureFilesFree
    ; The service, its event source and the machine's policy.
    ${If} ${FileExists} "$INSTDIR\${SERVICE_PROGRAM}"
        Push "The Tickwell Clock service could not be removed, so nothing was removed."
        Push remove
        Call un.RunServiceCommandOrFail
        Call un.WaitForServiceProgramFree
    ${EndIf}

    Delete "$INSTDIR\Tickwell.exe"
    Delete "$INSTDIR\QvSupport.dll"
    Delete "$INSTDIR\${SERVICE_PROGRAM}"
    Delete "$INSTDIR\MbedTLS-LICENSE.txt"
    Delete "$INSTDIR\Uninstall.exe"
    Delete "$INSTDIR\policies\Quorvane.admx"
    Delete "$INSTDIR\policies\Tickwell.admx"
    Delete "$INSTDIR\policies\en-US\Quorvane.adml"
    Delete "$INSTDIR\policies\en-US\Tickwell.adml"
    RMDir "$INSTDIR\policies\en-US"
    RMDir "$INSTDIR\policies"
    RMDir "$INSTDIR"
    ; The publisher's folder, when nothing else of Quorvane's is left in it.
    RMDir "$PROGRAMFILES64\Quorvane"
    SetShellVarContext all
    Delete "$SMPROGRAMS\Tickwell.lnk"
    DeleteRegValue HKCU "${RUN_KEY}" "Tickwell"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
    DeleteRegKey HKLM "${EVENT_SOURCE_KEY}"
    ${If} $RemoveSettings == 1
        DeleteRegKey HKCU "${SETTINGS_KEY}"
        DeleteRegKey /ifempty HKCU "Software\Quorvane"
    ${EndIf}
SectionEnd

Function un.onInit
    !insertmacro REQUIRE_ADMINISTRATOR "un."
    !insertmacro CHECK_OPTIONS "un." "/REMOVESETTINGS" $RemoveSettings "" "" "${UNINSTALL_USAGE}"
FunctionEnd
