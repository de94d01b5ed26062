#include "sync/run_kind.h"

namespace {

constexpr const char* kThroughService = " through the clock service";

const char* Spelling(RunKind kind) {
    switch (kind) {
        case RunKind::kManual:
            return "manual";
        case RunKind::kScheduled:
            return "scheduled";
        case RunKind::kAfterResume:
            return "after resume";
    }
    return "";
}

}  // namespace

std::string StoredRunKind(RunKind kind, bool throughService) {
    return std::string(Spelling(kind)) + (throughService ? kThroughService : "");
}

std::optional<StoredKind> ReadStoredKind(const std::string& stored) {
    if (stored == kClockSetElsewhereKind) {
        return StoredKind{};
    }
    for (const RunKind kind : {RunKind::kManual, RunKind::kScheduled, RunKind::kAfterResume}) {
        for (const bool throughService : {false, true}) {
            if (stored == StoredRunKind(kind, throughService)) {
                return StoredKind{kind, throughService};
            }
        }
    }
    return std::nullopt;
}
