// What a start of Tickwell.exe is asked to do, read from its command line.
#pragma once

#include <string>

enum class StartRequest {
    kShow,              // run, and show the main window
    kStartUp,           // run hidden: "StartUp" is the command line's last seven characters
    kEndRunningCopies,  // "/exit", in any case, is the last word: end every running copy
};

StartRequest ReadStartRequest(const std::string& commandLine);
