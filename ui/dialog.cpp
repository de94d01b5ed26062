#include "ui/dialog.h"

namespace {

std::string& ApplicationTitleText() {
    static std::string title;
    return title;
}

RefusalWording& RefusalWordingInUse() {
    static RefusalWording wording = nullptr;
    return wording;
}

bool IsDialogWindow(HWND window) {
    constexpr ULONG_PTR kDialogClassAtom = 0x8002;  // WC_DIALOG, "#32770"
    return ::GetClassLongPtrA(window, GCW_ATOM) == kDialogClassAtom;
}

}  // namespace

void Dialog::SetApplicationTitle(const std::string& title) {
    ApplicationTitleText() = title;
}

const std::string& Dialog::ApplicationTitle() {
    return ApplicationTitleText();
}

void Dialog::SetRefusalWording(RefusalWording wording) {
    RefusalWordingInUse() = wording;
}

Dialog::Dialog(int templateId) : templateId_(templateId) {}

Dialog::~Dialog() {
    if (hwnd_ != nullptr) {
        // The object is half gone: its window must not reach it any more.
        ::SetWindowLongPtrA(hwnd_, DWLP_USER, 0);
        ::DestroyWindow(hwnd_);
    }
}

bool Dialog::Create(HWND parent) {
    return ::CreateDialogParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(templateId_), parent,
                                &Dialog::Procedure, reinterpret_cast<LPARAM>(this)) != nullptr;
}

INT_PTR Dialog::DoModal(HWND parent) {
    return ::DialogBoxParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(templateId_), parent,
                             &Dialog::Procedure, reinterpret_cast<LPARAM>(this));
}

bool Dialog::UpdateData(bool save) {
    DataExchange exchange(hwnd_, save, ApplicationTitle(), RefusalWordingInUse());
    DoDataExchange(exchange);
    return !exchange.failed();
}

void Dialog::EndDialog(INT_PTR result) {
    ::EndDialog(hwnd_, result);
}

BOOL Dialog::OnInitDialog() {
    UpdateData(false);
    return TRUE;
}

void Dialog::OnOK() {
    if (UpdateData(true)) {
        EndDialog(IDOK);
    }
}

void Dialog::OnCancel() {
    EndDialog(IDCANCEL);
}

INT_PTR CALLBACK Dialog::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* dialog = reinterpret_cast<Dialog*>(lParam);
        dialog->hwnd_ = window;
        ::SetWindowLongPtrA(window, DWLP_USER, lParam);
    }
    auto* dialog = reinterpret_cast<Dialog*>(::GetWindowLongPtrA(window, DWLP_USER));
    if (dialog == nullptr) {
        return FALSE;  // before WM_INITDIALOG, or after the object has gone
    }
    const INT_PTR handled = dialog->Dispatch(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrA(window, DWLP_USER, 0);
        dialog->hwnd_ = nullptr;
    }
    return handled;
}

INT_PTR Dialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    std::optional<LRESULT> result = WindowProc(message, wParam, lParam);
    if (!result) {
        result = messages_.Dispatch(message, wParam, lParam);
    }
    if (!result) {
        result = Default(message, wParam);
    }
    if (!result) {
        return FALSE;
    }
    if (message == WM_INITDIALOG) {
        return static_cast<INT_PTR>(*result);  // whether the system sets the focus
    }
    ::SetWindowLongPtrA(hwnd_, DWLP_MSGRESULT, *result);
    return TRUE;
}

std::optional<LRESULT> Dialog::Default(UINT message, WPARAM wParam) {
    if (message == WM_INITDIALOG) {
        return OnInitDialog();
    }
    if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
        if (LOWORD(wParam) == IDOK) {
            OnOK();
            return 0;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            OnCancel();
            return 0;
        }
    }
    return std::nullopt;
}

int RunMessageLoop() {
    MSG message{};
    while (::GetMessageA(&message, nullptr, 0, 0) > 0) {
        // The keys go to the dialog the message's window sits in, whichever that is.
        const HWND root = message.hwnd != nullptr ? ::GetAncestor(message.hwnd, GA_ROOT) : nullptr;
        if (root != nullptr && IsDialogWindow(root) && ::IsDialogMessageA(root, &message)) {
            continue;
        }
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}
