#include "tests/support/failed_result.h"

RunResult Failed(FailureKind kind) {
    RunResult result;
    result.failure = FailureOf(kind);
    result.serverTitle = "Example";
    result.host = "ntp.example.org";
    result.address = "192.0.2.1";
    Failure& failure = result.failure;
    failure.address = result.address;
    switch (kind) {
        case FailureKind::kNoAnswer:
            failure.timeoutMs = 20000;
            break;
        case FailureKind::kSocketError:
            failure.account = "send: refused (10061)";
            break;
        case FailureKind::kKissOfDeath:
            failure.kiss = KissCode::FromText("RATE");
            break;
        case FailureKind::kClockRefused:
            failure.error = 1314;
            break;
        case FailureKind::kDisagreement:
            // Three hours ahead against an honest second server.
            result.offset = 10800.4;
            failure.otherServer = "Second";
            failure.otherAddress = "192.0.2.2";
            failure.secondsApart = 10800;
            break;
        case FailureKind::kMalformedRequest:
            failure.account = "host cut short";
            break;
        case FailureKind::kServiceUnidentified:
            failure.error = 5;
            break;
        case FailureKind::kPipeNotTheService:
        case FailureKind::kPipeWithoutService:
            failure.process = 77;
            break;
        case FailureKind::kServiceTimedOut:
            failure.timeoutMs = 30000;
            break;
        case FailureKind::kOther:
            failure.account = "a newer service's reason";
            break;
        case FailureKind::kNtsTlsFailed:
            failure.account = "TLS 1.3 refused";
            break;
        case FailureKind::kNtsCertificateUntrusted:
        case FailureKind::kNtsNameMismatch:
        case FailureKind::kNtsCertificateExpired:
            failure.certificateName = "time.example.net";
            failure.certificateIssuer = "Example CA";
            break;
        case FailureKind::kNtsKeRefused:
            failure.error = 1;
            break;
        case FailureKind::kNtsKeMalformed:
            failure.account = "no AEAD algorithm";
            break;
        default:
            break;
    }
    return result;
}

RunResult FailedInService(FailureKind kind) {
    RunResult result = Failed(kind);
    result.throughService = true;
    return result;
}

RunResult Kissed(const std::string& code, bool inService) {
    RunResult result =
        inService ? FailedInService(FailureKind::kKissOfDeath) : Failed(FailureKind::kKissOfDeath);
    result.failure.kiss = KissCode::FromText(code);
    return result;
}
