; The command line of setup and of the uninstaller, and how either says why it stops.
;
; NSIS itself skips words it does not know, and quietly swaps a /D= folder it cannot use
; for the default one: an administrator's typo would then install somewhere else, or with
; the autostart they meant to leave out. So every word is checked here, /D= too.

!define FAILED 2  ; the exit code of every refusal, the one NSIS gives when a script aborts

; Says why setup stops: in a message box, or for a silent run (nobody to read a box) on
; standard error, for the script that ran it. Sets the exit code; the caller then quits or
; aborts. Takes the reason from the stack.
!macro DEFINE_FAIL un WHO
Function ${un}Fail
    Pop $0
    ${If} ${Silent}
        StrCpy $0 "${WHO}: $0$\r$\n"
        System::Call 'kernel32::GetStdHandle(i -12) p .r1'
        System::Call 'kernel32::lstrlenA(m r0) i .r2'
        System::Call 'kernel32::WriteFile(p r1, m r0, i r2, *i 0, p 0)'
    ${Else}
        MessageBox MB_OK|MB_ICONSTOP "$0"
    ${EndIf}
    SetErrorLevel ${FAILED}
FunctionEnd

; Splits the first space-separated word off $R0 into $R1 (empty when none is left).
Function ${un}NextWord
    StrCpy $R1 ""
    ${Do}
        StrCpy $0 $R0 1
        ${If} $0 != " "
            ${Break}
        ${EndIf}
        StrCpy $R0 $R0 "" 1
    ${Loop}
    ${Do}
        StrCpy $0 $R0 1
        ${If} $0 == ""
        ${OrIf} $0 == " "
            ${Break}
        ${EndIf}
        StrCpy $R1 "$R1$0"
        StrCpy $R0 $R0 "" 1
    ${Loop}
FunctionEnd
!macroend

; Checks each word after the program's name: NSIS's own /S and /NCRC exactly as NSIS spells
; them, and OPTION and OPTION2 in any case and order, which set VARIABLE and VARIABLE2 to 1
; (OPTION2 "" for a program with one option). Quits at the first other word.
!macro CHECK_OPTIONS un OPTION VARIABLE OPTION2 VARIABLE2 USAGE
    ${GetParameters} $R0
    ${Do}
        Call ${un}NextWord
        ${If} $R1 == ""
            ${Break}
        ${ElseIf} $R1 == "${OPTION}"
            StrCpy ${VARIABLE} 1
        !if "${OPTION2}" != ""
        ${ElseIf} $R1 == "${OPTION2}"
            StrCpy ${VARIABLE2} 1
        !endif
        ${ElseIf} $R1 S!= "/S"
        ${AndIf} $R1 S!= "/NCRC"
            Push "Unknown option: $R1$\r$\n$\r$\n${USAGE}"
            Call ${un}Fail
            Quit
        ${EndIf}
    ${Loop}
!macroend

; NSIS takes /D= off $CMDLINE, so the raw command line shows what was asked for. It must be
; a full path and no file: anything else NSIS would silently swap for the default.
!macro CHECK_FOLDER_OPTION USAGE
    System::Call 'kernel32::GetCommandLineW() w .R0'
    StrLen $R1 $CMDLINE
    StrCpy $R0 $R0 "" $R1
    ${If} $R0 != ""
        StrCpy $R0 $R0 "" 4
        StrCpy $R1 $R0 2 1
        StrCpy $R2 $R0 2
        ${If} $R1 != ":\"
        ${AndIf} $R2 != "\\"
            Push "The folder $\"$R0$\" is no full path (for example C:\Tools\Tickwell).$\r$\n$\r$\n${USAGE}"
            Call Fail
            Quit
        ${EndIf}
        ${If} ${FileExists} "$R0"
        ${AndIfNot} ${FileExists} "$R0\*.*"
            Push "$\"$R0$\" is a file, not a folder: setup cannot install into it.$\r$\n$\r$\n${USAGE}"
            Call Fail
            Quit
        ${EndIf}
        ; NSIS drops a trailing backslash.
        ${If} $INSTDIR != $R0
        ${AndIf} "$INSTDIR\" != $R0
            Push "Setup cannot install into $\"$R0$\": its drive or a folder above it is missing, or is a file.$\r$\n$\r$\n${USAGE}"
            Call Fail
            Quit
        ${EndIf}
    ${EndIf}
!macroend
