#include "device/bootloader_protocol.h"

#include <chrono>
#include <thread>

namespace device {

BootloaderProtocol::BootloaderProtocol(SerialLink& link, RunView& view,
                                       platform::MessageSink& messages)
    : link_(link), view_(view), messages_(messages) {}

AckResult BootloaderProtocol::SendAwaitingAck(const Frame& frame, int& refusalsLeft,
                                              const std::function<void()>& afterRefusal) {
    return SendAwaitingAck(frame, refusalsLeft, AckAttempt{{}, {}, afterRefusal});
}

AckResult BootloaderProtocol::SendAwaitingAck(const Frame& frame, int& refusalsLeft,
                                              const AckAttempt& attempt) {
    for (;;) {
        if (attempt.beforeSend) attempt.beforeSend();
        link_.SendFrame(frame);
        if (attempt.afterSend) attempt.afterSend();
        const std::uint8_t reply = link_.WaitReplyByte();
        if (reply == 0) return AckResult::NoReply;
        if (reply == kAck) return AckResult::Acked;
        if (--refusalsLeft < 0) {
            if (attempt.reportsSpentBudget) messages_.Show(kChecksumErrorMessage);
            return AckResult::BudgetSpent;
        }
        if (attempt.afterRefusal) attempt.afterRefusal();
    }
}

bool BootloaderProtocol::SendWrittenFrames(const std::vector<Frame>& frames,
                                           const AckAttempt& attempt,
                                           const char* notWrittenMessage) {
    for (const Frame& frame : frames) {
        int refusalsLeft = kRefusalBudget;
        if (SendAwaitingAck(frame, refusalsLeft, attempt) != AckResult::Acked) return false;
        const std::uint8_t done = link_.WaitReplyByte();
        if (done == 0) return false;
        if (done != kDone) {
            if (notWrittenMessage != nullptr) messages_.Show(notWrittenMessage);
            return false;
        }
        view_.StepProgress();
    }
    return true;
}

bool BootloaderProtocol::SendDataBlocks(std::string_view data, std::uint32_t address) {
    int refusalsLeft = kRefusalBudget;
    const auto settle = [this] {
        // The line calms down before the block goes again; a sleep, as nothing else may
        // run in between.
        std::this_thread::sleep_for(std::chrono::milliseconds(kRefusedBlockPauseMs));
        link_.PurgeInput();
        link_.PurgeOutput();
    };
    for (const Frame& block : BlockWritesFor(data, address)) {
        if (SendAwaitingAck(block, refusalsLeft, settle) != AckResult::Acked) return false;
        view_.StepProgress();
    }
    return true;
}

bool BootloaderProtocol::SendRamLoader(const RecordFrames& loader) {
    if (loader.fault) return false;
    int refusalsLeft = kRefusalBudget;
    for (const Frame& record : loader.frames) {
        if (SendAwaitingAck(record, refusalsLeft) != AckResult::Acked) return false;
        view_.StepProgress();
    }
    link_.SendFrame(StartRequest());
    return true;
}

bool BootloaderProtocol::AwaitFlashReady() {
    std::uint8_t reply = 0;
    for (int i = 0; i < kFlashReadyWaits && reply == 0; ++i) reply = link_.WaitReplyByte();
    return reply == kFlashReady;
}

bool BootloaderProtocol::SendFlashRecords(const RecordFrames& records) {
    if (records.fault) return false;
    if (!SendWrittenFrames(records.frames, {}, kProgrammingErrorMessage)) return false;
    link_.SendControlByte(kFinishByte);
    return true;
}

}  // namespace device
