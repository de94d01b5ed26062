// A kiss-o'-death code (RFC 4330, section 8): the four ASCII characters that a server puts in
// the reference identifier of a stratum 0 reply, read once into what they ask of a client.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

class KissCode {
  public:
    static constexpr std::size_t kLength = 4;

    enum class Meaning {
        kSlowDown,  // RATE: ask this server less often
        kRefused,   // DENY, RSTR: this server will not serve us
        kNewKeys,   // NTSN: the server cannot read the cookie; a new key exchange is needed
        kOther,     // any other code: this reply carries no time
    };

    // As the server sent them: a byte that is not printable ASCII reads as '?'.
    static KissCode FromReferenceId(const std::uint8_t* referenceId);
    // Exactly four printable ASCII characters, as a code is written out; empty otherwise.
    static std::optional<KissCode> FromText(std::string_view text);

    const std::string& text() const { return text_; }
    Meaning meaning() const { return meaning_; }

    bool operator==(const KissCode& other) const { return text_ == other.text_; }

  private:
    explicit KissCode(std::string text);

    std::string text_;
    Meaning meaning_;
};
