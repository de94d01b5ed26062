// The check of a manual run that the Internet can be reached at all: a fixed, well-known
// public page is opened and nothing is read from it.
#pragma once

#include "base/query_interrupter.h"

enum class ProbeResult { kOpened, kSessionFailed, kUrlFailed };

class WebProbe {
  public:
    // A page that exists for exactly such uses.
    static constexpr const char* kProbeUrl = "http://www.example.com/";
    static constexpr const char* kProbeHost = "www.example.com";
    static constexpr const char* kAgent = "Corvatick";

    virtual ~WebProbe() = default;
    virtual ProbeResult Probe(QueryInterrupter* interrupter) = 0;
};

// WinINet on Windows; elsewhere one HTTP request over TCP, bounded in time.
class PlatformWebProbe : public WebProbe {
  public:
    static constexpr int kTimeoutMs = 10000;
    ProbeResult Probe(QueryInterrupter* interrupter) override;
};
