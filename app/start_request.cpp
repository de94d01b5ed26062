#include "app/start_request.h"

#include <algorithm>
#include <cctype>
#include <string_view>

namespace {

constexpr std::string_view kStartUpArgument = "StartUp";
constexpr std::string_view kExitArgument = "/exit";

bool SameLetters(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

}  // namespace

StartRequest ReadStartRequest(const std::string& commandLine) {
    std::string_view line = commandLine;
    if (line.ends_with(kStartUpArgument)) {
        return StartRequest::kStartUp;
    }
    // Installers build the line as they please; blanks after the word change nothing.
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back()))) {
        line.remove_suffix(1);
    }
    const std::size_t wordStart = line.find_last_of(" \t");
    const std::string_view lastWord =
        wordStart == std::string_view::npos ? line : line.substr(wordStart + 1);
    // The first word is the program itself, whatever it is called.
    if (wordStart != std::string_view::npos && SameLetters(lastWord, kExitArgument)) {
        return StartRequest::kEndRunningCopies;
    }
    return StartRequest::kShow;
}
