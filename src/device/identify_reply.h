#pragma once
// How the answer to one identify request is judged. A terminal in program mode answers
// with exactly one byte, its hardware code, and then stays silent; a device in normal
// operation (or any other device) talks on and is rejected. A terminal that is not ready
// yet answers FF: with nothing behind it, it is nudged and asked again; FF followed by a
// code earns one more request.
#include <cstdint>
#include <optional>

namespace device {

inline constexpr std::uint8_t kNotReadyAnswer = 0xFF;
// Identify requests one probe sends when the answers keep asking for more.
inline constexpr int kIdentifyAttempts = 8;
// However the answers go, one probe never sends more than this many requests: a device
// that answers FF and a code for ever would otherwise be asked for ever.
inline constexpr int kIdentifyRequestCap = 16;

enum class IdentifyVerdict {
    Found,          // the hardware code, then silence
    Rejected,       // not a terminal in program mode
    NudgeAndRetry,  // FF, then silence: send the nudge, count the attempt, ask again
    RetryOnce,      // FF and a code: exactly one more attempt
};

// True when the first byte needs the second wait to be judged: a code or FF. Any other
// byte, and 0 (no answer), rejects the port at once.
bool AwaitsSecondByte(std::uint8_t first);

// `first` as the first wait returned it (0: nothing came); `second`: the byte of the
// second wait, nothing when that wait timed out.
IdentifyVerdict JudgeIdentifyReply(std::uint8_t first, std::optional<std::uint8_t> second);

bool IsHardwareCode(std::uint8_t b);

}  // namespace device
