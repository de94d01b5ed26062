#include "tests/support/message_table_win.h"

#include <algorithm>
#include <cwctype>

namespace {

std::wstring Wide(const std::string& utf8) {
    const int length =
        ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(),
                          length);
    return wide;
}

std::string Utf8(const std::wstring& wide) {
    const int length = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                             nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(length), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(),
                          length, nullptr, nullptr);
    return utf8;
}

// FormatMessage's text from the module, with the flags and arguments given.
std::optional<std::wstring> Formatted(HMODULE module, DWORD id, DWORD flags,
                                      const DWORD_PTR* arguments) {
    wchar_t* text = nullptr;
    const DWORD length =
        ::FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ALLOCATE_BUFFER | flags,
                         module, id, 0, reinterpret_cast<wchar_t*>(&text), 0,
                         reinterpret_cast<va_list*>(const_cast<DWORD_PTR*>(arguments)));
    if (length == 0) {
        return std::nullopt;
    }
    std::wstring formatted(text, length);
    ::LocalFree(text);
    return formatted;
}

}  // namespace

MessageTable::MessageTable(std::string program) {
    // Loading takes backslashes only.
    std::replace(program.begin(), program.end(), '/', '\\');
    module_ = ::LoadLibraryExA(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
}

MessageTable::~MessageTable() {
    if (module_ != nullptr) {
        ::FreeLibrary(module_);
    }
}

std::vector<std::uint32_t> MessageTable::Ids() const {
    std::vector<std::uint32_t> ids;
    const HRSRC found = ::FindResourceA(module_, MAKEINTRESOURCEA(1), RT_MESSAGETABLE);
    const HGLOBAL loaded = found != nullptr ? ::LoadResource(module_, found) : nullptr;
    const auto* table =
        static_cast<const MESSAGE_RESOURCE_DATA*>(loaded ? ::LockResource(loaded) : nullptr);
    for (DWORD block = 0; table != nullptr && block < table->NumberOfBlocks; ++block) {
        for (DWORD id = table->Blocks[block].LowId; id <= table->Blocks[block].HighId; ++id) {
            ids.push_back(id);
        }
    }
    return ids;
}

std::optional<int> MessageTable::InsertsTaken(std::uint32_t id) const {
    const std::optional<std::wstring> text =
        Formatted(module_, id, FORMAT_MESSAGE_IGNORE_INSERTS, nullptr);
    if (!text) {
        return std::nullopt;
    }
    int highest = 0;
    for (std::size_t i = 0; i + 1 < text->size(); ++i) {
        if ((*text)[i] != L'%') {
            continue;
        }
        if ((*text)[i + 1] == L'%') {
            ++i;
            continue;
        }
        int number = 0;
        while (i + 1 < text->size() && std::iswdigit((*text)[i + 1])) {
            number = number * 10 + ((*text)[++i] - L'0');
        }
        highest = std::max(highest, number);
    }
    return highest;
}

std::optional<std::string> MessageTable::Text(const LoggedEvent& event) const {
    const std::optional<int> taken = InsertsTaken(event.id);
    if (!taken || static_cast<std::size_t>(*taken) > event.inserts.size()) {
        return std::nullopt;
    }
    std::vector<std::wstring> inserts;
    for (const std::string& insert : event.inserts) {
        inserts.push_back(Wide(insert));
    }
    std::vector<DWORD_PTR> arguments;
    for (const std::wstring& insert : inserts) {
        arguments.push_back(reinterpret_cast<DWORD_PTR>(insert.c_str()));
    }
    const std::optional<std::wstring> text =
        Formatted(module_, event.id, FORMAT_MESSAGE_ARGUMENT_ARRAY,
                  arguments.empty() ? nullptr : arguments.data());
    return text ? std::optional(Utf8(*text)) : std::nullopt;
}
