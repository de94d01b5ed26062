#include <windows.h>

#include <string>

#include "about/about_dialog.h"
#include "about/qv_support.h"

namespace {

// This library's module, which holds the dialog templates.
HINSTANCE g_module = nullptr;

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD, LPVOID) {
    g_module = module;
    return TRUE;
}

void QvShowAbout(const std::string& text) {
    // The caller's runtime could not catch what this library's runtime throws.
    try {
        // Owned by the window the user asked from, so that it is asked for only once.
        AboutDialog dialog(g_module, ::GetActiveWindow(), text);
        dialog.DoModal();
    } catch (...) {
        // Only copying the text can throw (out of memory); the box is then not shown.
    }
}
