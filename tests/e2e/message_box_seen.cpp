#include "tests/e2e/message_box_seen.h"

#include <algorithm>
#include <cstdlib>

#include "tests/e2e/screenshot.h"

namespace desktop {

namespace {

// MessageBox puts its text in a static with this id, on Windows and under Wine alike.
constexpr int kTextId = 0xFFFF;
constexpr int kAnswerIds[] = {IDOK,  IDCANCEL, IDABORT,    IDRETRY,   IDIGNORE,
                              IDYES, IDNO,     IDTRYAGAIN, IDCONTINUE};

LONG StyleOf(HWND window) {
    return ::GetWindowLongA(window, GWL_STYLE);
}

// Dialogs from resources often label with statics of id 0xFFFF (IDC_STATIC) too, so a box is
// told by all it holds: buttons with answer ids (and Help), the icon, and one text static
// that shows '&' as it is.
bool IsMessageBox(HWND window) {
    if (ClassOf(window) != "#32770") {
        return false;
    }
    int texts = 0;
    int buttons = 0;
    for (HWND child = ::GetWindow(window, GW_CHILD); child != nullptr;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        const std::string kind = ClassOf(child);
        const int id = ::GetDlgCtrlID(child);
        if (kind == "Button" && (std::ranges::count(kAnswerIds, id) != 0 || id == IDHELP)) {
            ++buttons;
        } else if (kind == "Static" && id == kTextId && (StyleOf(child) & SS_NOPREFIX) != 0) {
            ++texts;
        } else if (kind != "Static" || (StyleOf(child) & SS_TYPEMASK) != SS_ICON) {
            return false;
        }
    }
    return texts == 1 && buttons > 0;
}

HWND IconStatic(HWND box) {
    for (HWND child = ::GetWindow(box, GW_CHILD); child != nullptr;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (ClassOf(child) == "Static" && (StyleOf(child) & SS_TYPEMASK) == SS_ICON) {
            return child;
        }
    }
    return nullptr;
}

// The icon as the static draws it, once on black and once on white: where both agree the
// icon is opaque, and only there does the screen have to match.
struct Reference {
    BoxIcon icon;
    Image onBlack;
    Image onWhite;
};

std::optional<Image> Render(HICON icon, int width, int height, COLORREF background) {
    return Paint(width, height, [&](HDC memory) {
        const RECT all{0, 0, width, height};
        HBRUSH brush = ::CreateSolidBrush(background);
        ::FillRect(memory, &all, brush);
        ::DeleteObject(brush);
        return ::DrawIconEx(memory, 0, 0, icon, width, height, 0, nullptr, DI_NORMAL) != FALSE;
    });
}

bool Close(const std::uint8_t* a, const std::uint8_t* b) {
    constexpr int kTolerance = 8;
    for (int channel = 0; channel < 3; ++channel) {
        if (std::abs(a[channel] - b[channel]) > kTolerance) {
            return false;
        }
    }
    return true;
}

// Share of the reference's opaque pixels that the screen shows differently.
double Mismatch(const Reference& reference, const Image& seen) {
    int opaque = 0;
    int differing = 0;
    for (int y = 0; y < seen.height; ++y) {
        for (int x = 0; x < seen.width; ++x) {
            const std::uint8_t* black = reference.onBlack.Pixel(x, y);
            if (!Close(black, reference.onWhite.Pixel(x, y))) {
                continue;
            }
            ++opaque;
            differing += Close(black, seen.Pixel(x, y)) ? 0 : 1;
        }
    }
    return opaque == 0 ? 1.0 : static_cast<double>(differing) / opaque;
}

std::vector<Reference> References(int width, int height) {
    const std::pair<BoxIcon, LPCSTR> standard[] = {
        {BoxIcon::kError, IDI_HAND},
        {BoxIcon::kQuestion, IDI_QUESTION},
        {BoxIcon::kWarning, IDI_EXCLAMATION},
        {BoxIcon::kInformation, IDI_ASTERISK},
    };
    std::vector<Reference> references;
    for (const auto& [icon, resource] : standard) {
        HICON handle = ::LoadIconA(nullptr, resource);  // shared: never destroyed
        std::optional<Image> onBlack = Render(handle, width, height, RGB(0, 0, 0));
        std::optional<Image> onWhite = Render(handle, width, height, RGB(255, 255, 255));
        if (onBlack && onWhite) {
            references.push_back({icon, std::move(*onBlack), std::move(*onWhite)});
        }
    }
    return references;
}

}  // namespace

std::vector<HWND> MessageBoxSeen::Find(const std::string& caption, DWORD processId) {
    WindowFilter filter{.processId = processId, .className = "#32770", .visibleOnly = true};
    if (!caption.empty()) {
        filter.title = caption;
    }
    std::vector<HWND> boxes = TopLevelWindows(filter);
    std::erase_if(boxes, [](HWND window) { return !IsMessageBox(window); });
    return boxes;
}

std::optional<MessageBoxSeen> MessageBoxSeen::WaitFor(const std::string& caption, DWORD processId,
                                                      Milliseconds timeout) {
    std::optional<MessageBoxSeen> seen;
    WaitUntil(
        [&] {
            const std::vector<HWND> boxes = Find(caption, processId);
            seen = boxes.empty() ? std::nullopt : Read(boxes.front(), timeout);
            return seen.has_value();
        },
        timeout);
    return seen;
}

std::optional<MessageBoxSeen> MessageBoxSeen::Read(HWND box, Milliseconds timeout) {
    if (!IsMessageBox(box)) {
        return std::nullopt;
    }
    MessageBoxSeen seen;
    seen.window_ = box;
    seen.caption_ = TextOf(box, timeout);
    seen.text_ = ControlText(box, kTextId, timeout);
    for (const int id : kAnswerIds) {
        HWND button = Control(box, id);
        if (button != nullptr && ClassOf(button) == "Button" && IsShown(button)) {
            seen.buttons_.push_back(id);
        }
    }
    const auto left = [box](int id) {
        const std::optional<RECT> rect = RectOf(Control(box, id));
        return rect ? rect->left : 0;
    };
    std::sort(seen.buttons_.begin(), seen.buttons_.end(),
              [&left](int a, int b) { return left(a) < left(b); });
    return seen;
}

bool MessageBoxSeen::HasButton(int id) const {
    return std::find(buttons_.begin(), buttons_.end(), id) != buttons_.end();
}

BoxIcon MessageBoxSeen::Icon(Milliseconds timeout) const {
    // Without an icon Wine still shows the static, empty.
    HWND icon = IconStatic(window_);
    if (icon == nullptr || !IsShown(icon) ||
        Send(icon, STM_GETICON, 0, 0, timeout).value_or(0) == 0) {
        return BoxIcon::kNone;
    }
    RECT area{};
    ::GetClientRect(icon, &area);
    ::MapWindowPoints(icon, nullptr, reinterpret_cast<POINT*>(&area), 2);
    const std::vector<Reference> references =
        References(area.right - area.left, area.bottom - area.top);

    // Under Wine 8 the shown icon matches exactly; the closest other one (information for
    // question) differs in 15% of its pixels.
    constexpr double kMatching = 0.05;
    BoxIcon found = BoxIcon::kUnknown;
    WaitUntil(
        [&] {
            const std::optional<Image> seen = CaptureScreen(area);
            if (!seen) {
                return false;
            }
            for (const Reference& reference : references) {
                if (Mismatch(reference, *seen) < kMatching) {
                    found = reference.icon;
                    return true;
                }
            }
            return false;
        },
        timeout);
    return found;
}

bool MessageBoxSeen::Answer(int id) const {
    return HasButton(id) && PostCommand(window_, id);
}

}  // namespace desktop
