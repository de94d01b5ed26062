#include <cstdio>

#include "platform/message_boxes.h"

void PlatformMessageBoxes::Show(const std::string& text, const std::string& caption, BoxIcon,
                                BoxGuard& guard) {
    if (guard.Opened([] {})) {
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    }
    guard.Closed();
}
