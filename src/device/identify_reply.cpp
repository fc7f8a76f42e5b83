#include "device/identify_reply.h"

namespace device {

bool IsHardwareCode(std::uint8_t b) { return b >= 1 && b <= 3; }

bool AwaitsSecondByte(std::uint8_t first) {
    return IsHardwareCode(first) || first == kNotReadyAnswer;
}

IdentifyVerdict JudgeIdentifyReply(std::uint8_t first, std::optional<std::uint8_t> second) {
    if (IsHardwareCode(first)) return second ? IdentifyVerdict::Rejected : IdentifyVerdict::Found;
    if (first != kNotReadyAnswer) return IdentifyVerdict::Rejected;
    if (!second) return IdentifyVerdict::NudgeAndRetry;
    return IsHardwareCode(*second) ? IdentifyVerdict::RetryOnce : IdentifyVerdict::Rejected;
}

}  // namespace device
