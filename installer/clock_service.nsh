; The Tickwell Clock service, which sets the clock for users without administrator rights.
; Its program installs, stops and removes the service itself (TickwellClock.exe install,
; stop, remove); setup only runs it, hidden, since a console window would flash otherwise.

!define SERVICE_PROGRAM "TickwellClock.exe"
; A service's process may still be ending a moment after it has reported that it stopped.
!define SERVICE_END_TIMEOUT_MS 5000

!macro DEFINE_CLOCK_SERVICE un
; Runs $INSTDIR's TickwellClock.exe with the command on the stack. Leaves "" on the stack
; when it succeeded, else what went wrong, in its own words when it said any.
Function ${un}RunServiceCommand
    Pop $R0
    nsExec::ExecToStack '"$INSTDIR\${SERVICE_PROGRAM}" $R0'
    Pop $R1
    Pop $R2
    ${If} $R1 == 0
        Push ""
    ${ElseIf} $R1 == "error"
        Push "$INSTDIR\${SERVICE_PROGRAM} could not be started."
    ${ElseIf} $R2 == ""
        Push "$\"${SERVICE_PROGRAM} $R0$\" ended with exit code $R1."
    ${Else}
        Push $R2
    ${EndIf}
FunctionEnd

; Runs the service's command on the stack; on failure says so with the reason on the stack
; beneath it, then aborts.
Function ${un}RunServiceCommandOrFail
    Call ${un}RunServiceCommand
    Pop $0
    Pop $1
    ${If} $0 != ""
        Push "$1$\r$\n$0"
        Call ${un}Fail
        Abort
    ${EndIf}
FunctionEnd

; Once the service has ended, its program can be replaced or removed.
Function ${un}WaitForServiceProgramFree
    StrCpy $R1 "${SERVICE_PROGRAM}"
    System::Call 'kernel32::GetTickCount() i .R5'
    IntOp $R5 $R5 + ${SERVICE_END_TIMEOUT_MS}
    ${Do}
        Call ${un}FileInUse
        ${If} $R2 == 0
            ${Break}
        ${EndIf}
        System::Call 'kernel32::GetTickCount() i .R6'
        IntOp $R6 $R5 - $R6
        ${If} $R6 < 0
            Push "$INSTDIR\${SERVICE_PROGRAM} is still in use 5 seconds after the Tickwell Clock service ended, so no file was replaced or removed.$\r$\nTry again in a moment."
            Call ${un}Fail
            Abort
        ${EndIf}
        Sleep 100
    ${Loop}
FunctionEnd
!macroend
