#include "about/support_dialog.h"

#include <map>
#include <new>
#include <string>
#include <utility>

#include "base/system_error_text_win.h"

namespace {

// Every live dialog of the library by window, from WM_INITDIALOG to WM_DESTROY. All of them
// run on the caller's UI thread, so there is no lock.
std::map<HWND, SupportDialog*> g_liveDialogs;

SupportDialog* FindLiveDialog(HWND window) {
    const auto found = g_liveDialogs.find(window);
    return found == g_liveDialogs.end() ? nullptr : found->second;
}

// Tells the user why the last call failed, in the system's words.
void ShowLastError() {
    const DWORD error = ::GetLastError();
    const std::string text = ErrorTextWithCode(error);
    ::MessageBoxA(nullptr, text.c_str(), "Error", MB_OK | MB_ICONINFORMATION);
}

BOOL Paint(HWND window, SupportDialog& dialog) {
    PAINTSTRUCT paint;
    const HDC dc = ::BeginPaint(window, &paint);
    if (dc == nullptr) {
        ShowLastError();
        return FALSE;
    }
    dialog.OnPaint(dc);
    ::EndPaint(window, &paint);
    return TRUE;
}

}  // namespace

SupportDialog::SupportDialog(HINSTANCE module, HWND owner, int templateId, std::string caption)
    : module_(module), owner_(owner), templateId_(templateId), caption_(std::move(caption)) {}

INT_PTR SupportDialog::DoModal() {
    const INT_PTR result = ::DialogBoxParamA(module_, MAKEINTRESOURCEA(templateId_), owner_,
                                             &SupportDialogProc, reinterpret_cast<LPARAM>(this));
    if (result == -1) {
        ShowLastError();
    }
    return result;
}

BOOL SupportDialog::OnCommand(WPARAM command, LPARAM) {
    const int id = LOWORD(command);
    if (id == IDOK || id == IDCANCEL) {
        ::EndDialog(window_, id);
        return TRUE;
    }
    return FALSE;
}

BOOL SupportDialog::OnMouseMove(WPARAM, LPARAM) {
    return TRUE;
}

BOOL SupportDialog::OnLButtonDown(WPARAM, LPARAM) {
    return TRUE;
}

BOOL SupportDialog::OnLButtonUp(WPARAM, LPARAM) {
    return TRUE;
}

BOOL SupportDialog::OnInitDialog(HWND window, HWND, LPARAM) {
    window_ = window;
    ::SetWindowTextA(window, caption_.c_str());
    return TRUE;
}

void SupportDialog::OnPaint(HDC) {}

BOOL SupportDialog::OnTimer(WPARAM, LPARAM) {
    return FALSE;
}

INT_PTR CALLBACK SupportDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* const dialog = reinterpret_cast<SupportDialog*>(lParam);
        try {
            g_liveDialogs.insert_or_assign(window, dialog);
        } catch (const std::bad_alloc&) {
            // No message could reach the object: close the dialog rather than leave it dead,
            // and keep the exception out of the system's frames.
            ::EndDialog(window, IDCANCEL);
            return TRUE;
        }
        dialog->OnInitDialog(window, reinterpret_cast<HWND>(wParam), lParam);
        return TRUE;
    }
    SupportDialog* const dialog = FindLiveDialog(window);
    if (dialog == nullptr) {
        return FALSE;
    }
    switch (message) {
        case WM_COMMAND:
            return dialog->OnCommand(wParam, lParam);
        case WM_PAINT:
            return Paint(window, *dialog);
        case WM_TIMER:
            return dialog->OnTimer(wParam, lParam);
        case WM_MOUSEMOVE:
            return dialog->OnMouseMove(wParam, lParam);
        case WM_LBUTTONDOWN:
            return dialog->OnLButtonDown(wParam, lParam);
        case WM_LBUTTONUP:
            return dialog->OnLButtonUp(wParam, lParam);
        case WM_DESTROY:
            g_liveDialogs.erase(window);
            return FALSE;
        default:
            return FALSE;
    }
}
