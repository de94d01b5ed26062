// The system's own words for a Windows error code (a socket's, a service's, a window's), for
// the reasons this program shows. In the lowest layer, so that every layer may use it.
#pragma once

#include <windows.h>

#include <string>

// Without the closing full stop and line break; empty when the system has no text for it.
inline std::string SystemErrorText(DWORD code) {
    char* text = nullptr;
    const DWORD length = ::FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string message(text != nullptr ? text : "", length);
    ::LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                                message.back() == '.' || message.back() == ' ')) {
        message.pop_back();
    }
    return message;
}

// "<the system's text> (error N)", or "error N" when the system has no text for the code.
inline std::string ErrorTextWithCode(DWORD code) {
    const std::string text = SystemErrorText(code);
    const std::string number = "error " + std::to_string(code);
    return text.empty() ? number : text + " (" + number + ")";
}
