#include "ui/data_exchange.h"

#include <cstdio>
#include <limits>

namespace {

std::string WindowText(HWND window) {
    std::string text(static_cast<std::size_t>(::GetWindowTextLengthA(window)) + 1, '\0');
    const int length = ::GetWindowTextA(window, text.data(), static_cast<int>(text.size()));
    text.resize(static_cast<std::size_t>(length > 0 ? length : 0));
    return text;
}

// Only a changed text is set: the controls of a window refreshed every second keep their
// selection and do not flicker.
void SetTextIfChanged(HWND control, const std::string& text) {
    if (WindowText(control) != text) {
        ::SetWindowTextA(control, text.c_str());
    }
}

bool IsRadioButton(HWND control) {
    return (::SendMessageA(control, WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON) != 0;
}

bool IsEdit(HWND control) {
    char name[16] = {};
    ::GetClassNameA(control, name, sizeof name);
    return ::lstrcmpiA(name, "Edit") == 0;
}

}  // namespace

DataExchange::DataExchange(HWND dialog, bool saving, std::string caption, RefusalWording wording)
    : dialog_(dialog), saving_(saving), caption_(std::move(caption)), wording_(wording) {}

HWND DataExchange::Prepare(int id) {
    lastControl_ = ::GetDlgItem(dialog_, id);
    return lastControl_;
}

void DataExchange::Fail(const NumberRefusal& refusal) {
    const std::string text = wording_ != nullptr ? wording_(refusal) : std::string();
    ::MessageBoxA(dialog_, text.c_str(), caption_.c_str(), MB_OK | MB_ICONEXCLAMATION);
    if (lastControl_ != nullptr) {
        ::SetFocus(lastControl_);
        if (IsEdit(lastControl_)) {
            ::SendMessageA(lastControl_, EM_SETSEL, 0, -1);
        }
    }
    failed_ = true;
}

void DataExchange::Text(int id, int& value) {
    if (Skip()) {
        return;
    }
    const HWND control = Prepare(id);
    if (!saving_) {
        SetTextIfChanged(control, std::to_string(value));
        return;
    }
    const std::optional<int> parsed = ParseDialogInteger(WindowText(control));
    if (!parsed) {
        Fail({NumberRefusal::Kind::kNotAnInteger});
        return;
    }
    value = *parsed;
}

void DataExchange::Text(int id, double& value) {
    if (Skip()) {
        return;
    }
    const HWND control = Prepare(id);
    if (!saving_) {
        char text[64];
        std::snprintf(text, sizeof text, "%.*g", std::numeric_limits<double>::digits10, value);
        SetTextIfChanged(control, text);
        return;
    }
    const std::optional<double> parsed = ParseDialogNumber(WindowText(control));
    if (!parsed) {
        Fail({NumberRefusal::Kind::kNotANumber});
        return;
    }
    value = *parsed;
}

void DataExchange::Text(int id, std::string& value) {
    if (Skip()) {
        return;
    }
    const HWND control = Prepare(id);
    if (saving_) {
        value = WindowText(control);
    } else {
        SetTextIfChanged(control, value);
    }
}

void DataExchange::Check(int id, bool& checked) {
    if (Skip()) {
        return;
    }
    const HWND control = Prepare(id);
    if (saving_) {
        checked = ::SendMessageA(control, BM_GETCHECK, 0, 0) == BST_CHECKED;
    } else {
        ::SendMessageA(control, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    }
}

void DataExchange::Radio(int firstId, int& value) {
    if (Skip()) {
        return;
    }
    HWND control = Prepare(firstId);
    if (saving_) {
        value = -1;
    }
    int index = 0;
    while (control != nullptr) {
        if (IsRadioButton(control)) {
            if (saving_) {
                if (::SendMessageA(control, BM_GETCHECK, 0, 0) == BST_CHECKED) {
                    value = index;
                }
            } else {
                ::SendMessageA(control, BM_SETCHECK, index == value ? BST_CHECKED : BST_UNCHECKED,
                               0);
            }
            ++index;
        }
        control = ::GetWindow(control, GW_HWNDNEXT);
        if (control != nullptr && (::GetWindowLongA(control, GWL_STYLE) & WS_GROUP) != 0) {
            break;
        }
    }
}

void DataExchange::Bind(int id, Control& control) {
    if (Skip()) {
        return;
    }
    control.Attach(Prepare(id));
}

void DataExchange::MinMaxInt(int value, int min, int max) {
    if (Skip() || !saving_) {
        return;
    }
    if (const std::optional<NumberRefusal> refusal = IntegerRangeRefusal(value, min, max)) {
        Fail(*refusal);
    }
}
