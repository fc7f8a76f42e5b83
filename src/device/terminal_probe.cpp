// ProbePort: is the device on the open port a terminal in program mode, and which?
#include "device/identify_reply.h"
#include "device/serial_link.h"
#include "platform/message_wait.h"

namespace device {

std::uint8_t SerialLink::ProbePort() {
    int attemptsLeft = kIdentifyAttempts;
    for (int requests = 0; attemptsLeft > 0 && requests < kIdentifyRequestCap; ++requests) {
        platform::ProcessPendingMessages();
        if (LineGone()) return 0;
        PurgeInput();
        SendFrame(IdentifyRequest());
        // Nothing is read before the wait below, so no answer is lost here.
        ResetRing();
        const std::uint8_t first = WaitReplyByte();
        if (!AwaitsSecondByte(first)) return 0;
        const std::uint8_t next = WaitReplyByte();
        // A line that went away is silent too, but it is no terminal.
        if (LineGone()) return 0;
        const std::optional<std::uint8_t> second =
            timedOut_ ? std::nullopt : std::optional<std::uint8_t>(next);
        switch (JudgeIdentifyReply(first, second)) {
            case IdentifyVerdict::Found:
                return first;
            case IdentifyVerdict::Rejected:
                return 0;
            case IdentifyVerdict::NudgeAndRetry:
                SendControlByte(kIdentifyNudge);
                --attemptsLeft;
                break;
            case IdentifyVerdict::RetryOnce:
                attemptsLeft = 1;
                break;
        }
    }
    return 0;
}

}  // namespace device
