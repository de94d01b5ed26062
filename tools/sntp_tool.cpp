#include "tools/sntp_tool.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <thread>

#include "base/decimal_text.h"
#include "nts/key_exchange.h"
#include "nts/nts_seal.h"

namespace sntp_tool {
namespace {

// Enough threads that a list of dead servers costs one time-out, not one each.
constexpr std::size_t kMaxThreads = 64;

// Only plain decimal digits: no sign, no blanks, no hex.
std::optional<std::uint64_t> ParseDecimal(const std::string& text) {
    if (text.empty() || text.size() > 10) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return value;
}

ParseResult Error(std::string message) {
    return {std::nullopt, std::move(message)};
}

std::string JsonString(const std::string& text) {
    std::string quoted = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += c;
        } else if (byte < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
            quoted += escaped;
        } else {
            quoted += c;
        }
    }
    return quoted + '"';
}

}  // namespace

std::string Usage() {
    return "usage: tickwell-sntp [--port N] [--timeout-ms N] [--json] [--nts [--ca FILE]] "
           "HOST...\n"
           "Asks each HOST for the time with one SNTP query and prints the clock offset\n"
           "and the round-trip delay in seconds, one line per host.\n"
           "  --port N        UDP port of the servers, 1-65535 (default 123); with --nts\n"
           "                  the port of the key exchange (default 4460)\n"
           "  --timeout-ms N  how long to wait for each reply (default 5000)\n"
           "  --json          one JSON object per line\n"
           "  --nts           secure time (NTS): a key exchange over TLS 1.3, then only an\n"
           "                  authenticated reply counts\n"
           "  --ca FILE       with --nts, the CA certificates (PEM) the server's must lead\n"
           "                  to, instead of the system's\n";
}

ParseResult ParseArguments(const std::vector<std::string>& arguments) {
    Options options;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (optionsEnded || argument.empty() || argument[0] != '-') {
            options.hosts.push_back(argument);
        } else if (argument == "--") {
            optionsEnded = true;
        } else if (argument == "--json") {
            options.json = true;
        } else if (argument == "--nts") {
            options.nts = true;
        } else if (argument == "--ca") {
            if (i + 1 == arguments.size()) {
                return Error(argument + " needs a value");
            }
            options.caFile = arguments[++i];
        } else if (argument == "--help" || argument == "-h") {
            options.help = true;
        } else if (argument == "--port" || argument == "--timeout-ms") {
            if (i + 1 == arguments.size()) {
                return Error(argument + " needs a value");
            }
            const std::string& text = arguments[++i];
            const std::optional<std::uint64_t> value = ParseDecimal(text);
            if (!value) {
                return Error(argument + ": not a number: " + text);
            }
            if (argument == "--port") {
                if (*value < 1 || *value > 65535) {
                    return Error("--port: " + text + " is outside 1-65535");
                }
                options.port = static_cast<int>(*value);
            } else {
                if (*value < 1 || *value > 0xFFFFFFFFu) {
                    return Error("--timeout-ms: " + text + " is not a positive 32-bit number");
                }
                options.timeoutMs = static_cast<std::uint32_t>(*value);
            }
        } else {
            return Error("unknown option: " + argument);
        }
    }
    if (options.hosts.empty() && !options.help) {
        return Error("no host given");
    }
    if (!options.caFile.empty() && !options.nts) {
        return Error("--ca needs --nts");
    }
    return {options, {}};
}

namespace {

// The key exchange, then the query sealed with its keys to the server it names.
void QuerySecurely(const Options& options, TimeSource& clock, nts::CertificateCheck& certificates,
                   HostOutcome& outcome) {
    const std::uint16_t port =
        options.port == 123 ? nts::kKeyExchangePort : static_cast<std::uint16_t>(options.port);
    const nts::KeyExchangeResult keys =
        nts::ExchangeKeys(outcome.host, port, options.timeoutMs, certificates);
    if (keys.failure.failed()) {
        outcome.error = "key exchange: " + keys.failure.account;
        return;
    }
    nts::NtsSeal seal(keys.keys, keys.answer.cookies);
    SntpClient client(clock, options.timeoutMs);
    client.SealWith(&seal);
    const std::string server = keys.answer.server.empty() ? keys.address : keys.answer.server;
    outcome.ok = client.Query(server.c_str(), &outcome.result, keys.answer.port);
    outcome.nts = outcome.ok;
    outcome.error = client.failure().account;
}

}  // namespace

std::vector<HostOutcome> QueryHosts(const Options& options, TimeSource& clock) {
    std::vector<HostOutcome> outcomes(options.hosts.size());
    std::optional<nts::CertificateCheck> certificates;
    if (options.nts) {
        certificates.emplace(options.caFile);
    }
    std::atomic<std::size_t> next{0};
    auto work = [&] {
        for (std::size_t i = next++; i < outcomes.size(); i = next++) {
            HostOutcome& outcome = outcomes[i];
            outcome.host = options.hosts[i];
            if (certificates) {
                QuerySecurely(options, clock, *certificates, outcome);
                continue;
            }
            SntpClient client(clock, options.timeoutMs);
            outcome.ok = client.Query(outcome.host.c_str(), &outcome.result, options.port);
            outcome.error = client.failure().account;
        }
    };
    std::vector<std::thread> threads;
    const std::size_t count = std::min(outcomes.size(), kMaxThreads);
    for (std::size_t i = 1; i < count; ++i) {
        threads.emplace_back(work);
    }
    work();
    for (std::thread& thread : threads) {
        thread.join();
    }
    return outcomes;
}

std::string FormatLine(const HostOutcome& outcome, bool json) {
    const SntpResult& result = outcome.result;
    if (json) {
        if (!outcome.ok) {
            return "{\"host\":" + JsonString(outcome.host) +
                   ",\"ok\":false,\"error\":" + JsonString(outcome.error) + "}";
        }
        return "{\"host\":" + JsonString(outcome.host) +
               ",\"ok\":true,\"address\":" + JsonString(result.address) +
               ",\"offset\":" + DecimalText(result.offset, 9) +
               ",\"delay\":" + DecimalText(result.delay, 9) +
               ",\"stratum\":" + std::to_string(result.stratum) +
               ",\"leap\":" + std::to_string(result.leap) +
               ",\"nts\":" + (outcome.nts ? "true" : "false") + "}";
    }
    if (!outcome.ok) {
        return outcome.host + " error: " + outcome.error;
    }
    // In brackets, so an IPv6 address's colons cannot be misread.
    return outcome.host + " [" + result.address + "] offset " +
           DecimalText(result.offset, 6, true) + " s delay " + DecimalText(result.delay, 6) +
           " s stratum " + std::to_string(result.stratum) + " leap " + std::to_string(result.leap) +
           (outcome.nts ? " nts" : "");
}

}  // namespace sntp_tool
