; Ending a running Tickwell before its files are replaced or removed.
;
; Tickwell answers the registered message below as it answers a confirmed Exit: it ends
; without a question and without losing a setting. Its windows are top-level dialogs
; titled exactly "Tickwell" (the main window, hidden in the notification area, and its
; message boxes); every process that shows one is asked and then waited for, so that no
; file is touched while a copy may still hold it.

!define EXIT_MESSAGE "Quorvane.Tickwell.Exit"
!define END_TIMEOUT_MS 5000
!define /ifndef OPEN_EXISTING 3

!macro DEFINE_RUNNING_COPIES un
Function ${un}EndRunningCopies
    System::Call 'user32::RegisterWindowMessageW(w "${EXIT_MESSAGE}") i .R0'
    System::Call 'user32::PostMessageW(p ${HWND_BROADCAST}, i R0, p 0, p 0)'
    System::Call 'kernel32::GetTickCount() i .R4'
    IntOp $R4 $R4 + ${END_TIMEOUT_MS}
    ${Do}
        FindWindow $R1 "#32770" "Tickwell"
        ${If} $R1 == 0
            ${Break}
        ${EndIf}
        ; Also to the window itself: a copy that started after the broadcast missed it.
        System::Call 'user32::PostMessageW(p R1, i R0, p 0, p 0)'
        System::Call 'user32::GetWindowThreadProcessId(p R1, *i .R2)'
        System::Call 'kernel32::OpenProcess(i ${SYNCHRONIZE}, i 0, i R2) p .R3'
        System::Call 'kernel32::GetTickCount() i .R2'
        IntOp $R2 $R4 - $R2
        ${If} $R2 < 0
            StrCpy $R2 0
        ${EndIf}
        System::Call 'kernel32::WaitForSingleObject(p R3, i R2) i .R2'
        System::Call 'kernel32::CloseHandle(p R3)'
        ${If} $R2 != ${WAIT_OBJECT_0}
            Push "Tickwell is running and did not end within 5 seconds, so nothing was changed.$\r$\nEnd Tickwell (Exit in its menu) and try again."
            Call ${un}Fail
            Abort
        ${EndIf}
    ${Loop}
FunctionEnd

; Sets $R2 to 1 when the file $R1 of $INSTDIR is in use, else to 0 (also when it is
; missing): Windows refuses to open a running program or its library for writing.
Function ${un}FileInUse
    StrCpy $R2 0
    System::Call 'kernel32::CreateFileW(w "$INSTDIR\$R1", i ${GENERIC_WRITE}, i 0, p 0, i ${OPEN_EXISTING}, i 0, p 0) p .R3 ?e'
    Pop $R4
    ${If} $R3 != ${INVALID_HANDLE_VALUE}
        System::Call 'kernel32::CloseHandle(p R3)'
    ${ElseIf} $R4 == ${ERROR_SHARING_VIOLATION}
        StrCpy $R2 1
    ${EndIf}
FunctionEnd

; A copy that no window gives away (another user's, say) still holds its files. All are
; checked before any is touched, so that none is replaced or removed alone. The clock
; service's program is not among them: the service holds it until setup stops it.
Function ${un}EnsureFilesFree
    !if "${un}" == ""
        StrCpy $R0 "Tickwell.exe QvSupport.dll Uninstall.exe"
    !else
        ; Not the uninstaller's own file: the copy that started this one may still hold it.
        StrCpy $R0 "Tickwell.exe QvSupport.dll"
    !endif
    ${Do}
        Call ${un}NextWord
        ${If} $R1 == ""
            ${Break}
        ${EndIf}
        Call ${un}FileInUse
        ${If} $R2 == 1
            Push "$INSTDIR\$R1 is in use, perhaps by Tickwell running for another user, so nothing was changed.$\r$\nEnd it and try again."
            Call ${un}Fail
            Abort
        ${EndIf}
    ${Loop}
FunctionEnd
!macroend
