#include "ui/data_exchange.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <type_traits>

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// The text between leading and trailing blanks.
std::string_view Trimmed(const std::string& text) {
    std::string_view view(text);
    while (!view.empty() && IsBlank(view.front())) {
        view.remove_prefix(1);
    }
    while (!view.empty() && IsBlank(view.back())) {
        view.remove_suffix(1);
    }
    return view;
}

template <typename Number>
std::optional<Number> ParseWhole(const std::string& text) {
    std::string_view view = Trimmed(text);
    // from_chars takes a minus sign but no plus sign.
    if (view.size() > 1 && view.front() == '+' && view[1] != '-') {
        view.remove_prefix(1);
    }
    Number value{};
    const auto [end, error] = std::from_chars(view.data(), view.data() + view.size(), value);
    if (view.empty() || error != std::errc() || end != view.data() + view.size()) {
        return std::nullopt;
    }
    if constexpr (std::is_floating_point_v<Number>) {
        if (!std::isfinite(value)) {
            return std::nullopt;
        }
    }
    return value;
}

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

std::optional<int> ParseDialogInteger(const std::string& text) {
    return ParseWhole<int>(text);
}

std::optional<double> ParseDialogNumber(const std::string& text) {
    return ParseWhole<double>(text);
}

std::string IntegerRangeMessage(int min, int max) {
    std::string message = DataExchange::kIntegerOutOfRange;
    message.replace(message.find("%1"), 2, std::to_string(min));
    message.replace(message.find("%2"), 2, std::to_string(max));
    return message;
}

DataExchange::DataExchange(HWND dialog, bool saving, std::string caption)
    : dialog_(dialog), saving_(saving), caption_(std::move(caption)) {}

HWND DataExchange::Prepare(int id) {
    lastControl_ = ::GetDlgItem(dialog_, id);
    return lastControl_;
}

void DataExchange::Fail(const std::string& message) {
    ::MessageBoxA(dialog_, message.c_str(), caption_.c_str(), MB_OK | MB_ICONEXCLAMATION);
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
        Fail(kNotAnInteger);
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
        Fail(kNotANumber);
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

void DataExchange::Check(int id, int& value) {
    if (Skip()) {
        return;
    }
    const HWND control = Prepare(id);
    if (saving_) {
        value = static_cast<int>(::SendMessageA(control, BM_GETCHECK, 0, 0));
    } else {
        ::SendMessageA(control, BM_SETCHECK, value == 1 ? BST_CHECKED : BST_UNCHECKED, 0);
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
    if (value < min || value > max) {
        Fail(IntegerRangeMessage(min, max));
    }
}
