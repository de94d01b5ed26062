#include "platform/event_log_win.h"

#include <string>

namespace {

std::wstring Wide(const std::string& utf8) {
    const int length =
        ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length > 0 ? length : 0), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(),
                          length);
    return wide;
}

WORD TypeOf(EventLevel level) {
    switch (level) {
        case EventLevel::kInformation:
            return EVENTLOG_INFORMATION_TYPE;
        case EventLevel::kWarning:
            return EVENTLOG_WARNING_TYPE;
        case EventLevel::kError:
            return EVENTLOG_ERROR_TYPE;
    }
    return EVENTLOG_ERROR_TYPE;
}

// The SID of the user the process runs as, in the TOKEN_USER it is read in.
std::vector<BYTE> ProcessUser() {
    HANDLE raw = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &raw)) {
        return {};
    }
    const UniqueHandle token(raw);
    DWORD size = 0;
    ::GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    std::vector<BYTE> user(size);
    if (size == 0 || !::GetTokenInformation(token.get(), TokenUser, user.data(), size, &size)) {
        return {};
    }
    return user;
}

}  // namespace

WindowsEventLog::WindowsEventLog(const wchar_t* source)
    : source_(::RegisterEventSourceW(nullptr, source)), user_(ProcessUser()) {}

void WindowsEventLog::Write(const LoggedEvent& event) {
    if (!source_) {
        return;
    }
    std::vector<std::wstring> texts;
    for (const std::string& insert : event.inserts) {
        texts.push_back(Wide(insert));
    }
    std::vector<const wchar_t*> strings;
    for (const std::wstring& text : texts) {
        strings.push_back(text.c_str());
    }
    PSID user =
        user_.empty() ? nullptr : reinterpret_cast<const TOKEN_USER*>(user_.data())->User.Sid;
    ::ReportEventW(source_.get(), TypeOf(event.level), 0, event.id, user,
                   static_cast<WORD>(strings.size()), 0, strings.empty() ? nullptr : strings.data(),
                   nullptr);
}
