// Lets another thread stop a blocking network exchange. The exchange waits in short slices
// and looks between them, so it ends soon after it is interrupted and closes its own socket.
#pragma once

#include <cstdint>

class QueryInterrupter {
  public:
    // The longest an interrupted wait goes on.
    static constexpr std::uint32_t kCheckIntervalMs = 50;

    virtual ~QueryInterrupter() = default;
    virtual bool Interrupted() const = 0;
};

inline bool IsInterrupted(const QueryInterrupter* interrupter) {
    return interrupter != nullptr && interrupter->Interrupted();
}
