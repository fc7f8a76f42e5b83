#pragma once
// The telnet layer of the control connection as a pure unit: takes the IAC sequences out of
// the received bytes, says what to answer, and turns CR NUL into CR while binary is off.
// It keeps its place between calls, so a sequence split across two reads is understood.
#include <cstddef>
#include <cstdint>
#include <string>

namespace zp {

class TTelnetFilter {
  public:
    enum : std::uint8_t {
        kSE = 240,
        kSB = 250,
        kWill = 251,
        kWont = 252,
        kDo = 253,
        kDont = 254,
        kIac = 255,
    };
    enum : std::uint8_t {
        kOptBinary = 0,
        kOptEcho = 1,
        kOptSuppressGoAhead = 3,
        kOptTerminalType = 24,
    };

    // Appends the data bytes of `bytes` to `data` and the answers owed to the peer to
    // `answers`.
    void Filter(const std::uint8_t* bytes, std::size_t count, std::string& data,
                std::string& answers);
    void Reset();
    bool BinaryOn() const { return binary_; }

  private:
    enum class Parse { Data, Iac, Verb, Sub, SubIac };

    void Negotiate(std::uint8_t verb, std::uint8_t option, std::string& answers);
    bool* OptionState(std::uint8_t option);

    Parse parse_ = Parse::Data;
    std::uint8_t verb_ = 0;
    std::uint8_t subOption_ = 0;
    bool subFirst_ = false;
    bool lastDataCr_ = false;
    // Whether binary, echo and suppress-go-ahead are on. The client never asks for an
    // option itself, so an option is only ever off or on, and only binary ever turns on.
    bool binary_ = false;
    bool echo_ = false;
    bool suppressGoAhead_ = false;
};

}  // namespace zp
