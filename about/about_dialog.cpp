#include "about/about_dialog.h"

#include <shellapi.h>

#include <optional>
#include <utility>

#include "base/picture_choice.h"
#include "resources/qvsupport_ids.h"

namespace {

// A reserved name: nothing real answers there.
constexpr char kMakerWebPage[] = "https://quorvane.example/tickwell/";

}  // namespace

AboutDialog::AboutDialog(HINSTANCE module, HWND owner, std::string text)
    : SupportDialog(module, owner, IDD_ABOUT), text_(std::move(text)) {}

BOOL AboutDialog::OnInitDialog(HWND window, HWND focus, LPARAM param) {
    SupportDialog::OnInitDialog(window, focus, param);
    edit_ = ::GetDlgItem(window, IDC_ABOUT_TEXT);
    ::SendMessageA(edit_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text_.c_str()));
    ShowLogoForDpi(window);
    return TRUE;
}

void AboutDialog::ShowLogoForDpi(HWND window) {
    // The template's area and the gap under it.
    RECT area{0, 0, 171, 44};
    ::MapDialogRect(window, &area);
    constexpr PictureSize kLogos[] = {{IDB_ABOUT_LOGO_200, 512, 122},
                                      {IDB_ABOUT_LOGO_150, 384, 92}};
    const std::optional<int> logo = LargestPictureThatFits(kLogos, area.right, area.bottom);
    if (!logo) {
        return;
    }
    logo_.reset(static_cast<HBITMAP>(
        ::LoadImageA(Module(), MAKEINTRESOURCEA(*logo), IMAGE_BITMAP, 0, 0, 0)));
    ::SendDlgItemMessageA(window, IDC_ABOUT_LOGO, STM_SETIMAGE, IMAGE_BITMAP,
                          reinterpret_cast<LPARAM>(logo_.get()));
}

BOOL AboutDialog::OnCommand(WPARAM command, LPARAM) {
    switch (LOWORD(command)) {
        case IDOK:
        case IDCANCEL:
            ::EndDialog(Window(), LOWORD(command));
            break;
        case IDC_ABOUT_WEB:
            // The box stays open, and a page that does not open is not worth a message.
            ::ShellExecuteA(nullptr, "open", kMakerWebPage, nullptr, "", SW_SHOWNORMAL);
            break;
        default:
            break;
    }
    return FALSE;
}
