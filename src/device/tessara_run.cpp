#include "device/tessara_run.h"

#include <chrono>
#include <thread>
#include <variant>

#include "device/tessara_frames.h"
#include "device/tessara_image.h"
#include "platform/files.h"
#include "platform/message_wait.h"

namespace device {

using i18n::TextId;

namespace {

constexpr int kPortNotOpenCode = 6;
constexpr int kExceptionCode = 7;
constexpr int kNoErasedCode = 3;
constexpr int kImageCode = 4;
constexpr int kNoIdentifyReplyCode = 8;

}  // namespace

using T = TessaraRun;
const T::PhaseRow T::kPhases[kTessaraPhaseCount] = {
    {"Search", &T::OnSearch, &T::SearchRaised, false},
    {"CheckFile", &T::OnCheckFile, &T::Raised, false},
    {"BuildImage", &T::OnBuildImage, &T::Raised, false},
    {"OpenPath", &T::OnOpenPath, &T::Raised, true},
    {"AwaitErased", &T::OnAwaitErased, &T::Raised, true},
    {"PageWrites", &T::OnPageWrites, &T::Raised, true},
    {"Finished", nullptr, nullptr, false},
};

TessaraRun::TessaraRun(const RunParts& parts)
    : PhaseRun(parts, {TextId::MakeSureInTessaraMode, TextId::DownloadingToTessara, true}),
      protocol_(parts.link, parts.view, parts.messages) {}

std::string TessaraRun::ProgramTessara(const std::string& path) {
    path_ = path;
    image_ = {};
    return RunPhases();
}

TessaraPhase TessaraRun::Raised() { return FailWithCode(kExceptionCode); }

TessaraPhase TessaraRun::FailWithCode(int code) {
    return Finish(ErrorText(parts_.texts, " " + std::to_string(code)));
}

TessaraPhase TessaraRun::OnCheckFile() {
    platform::ProcessPendingMessages();
    if (!platform::FileExists(path_)) return Finish(Text(TextId::NoBootFiles));
    if (!parts_.link.Port().Open()) return FailWithCode(kPortNotOpenCode);
    return TessaraPhase::BuildImage;
}

TessaraPhase TessaraRun::OnBuildImage() {
    const std::optional<std::vector<std::string>> lines = platform::ReadTextLines(path_);
    if (!lines) return FailWithCode(kExceptionCode);
    auto built = BuildTessaraImage(*lines);
    if (!std::holds_alternative<FlashImage>(built)) return FailWithCode(kImageCode);
    image_ = std::move(std::get<FlashImage>(built));
    return TessaraPhase::OpenPath;
}

TessaraPhase TessaraRun::OnOpenPath() {
    parts_.link.PurgeInput();
    parts_.link.PurgeOutput();
    // One step per page written, so the bar is full when the last one is.
    parts_.view.SetupProgress(static_cast<int>(image_.dataBlocks.size()));
    platform::ProcessPendingMessages();
    SendTessaraOpening();
    std::string refusal = StartTessaraLoader();
    if (!refusal.empty()) return Finish(std::move(refusal));
    return TessaraPhase::AwaitErased;
}

TessaraPhase TessaraRun::OnAwaitErased() {
    platform::ProcessPendingMessages();
    // Whatever came in before the start request was answered belongs to the identification.
    parts_.link.ResetRing();
    if (parts_.link.WaitReplyByte() != kFlashReady) return FailWithCode(kNoErasedCode);
    return TessaraPhase::PageWrites;
}

TessaraPhase TessaraRun::OnPageWrites() {
    platform::ProcessPendingMessages();
    if (!SendTessaraImage(image_)) return FailWithCode(kImageCode);
    return Finish(Text(TextId::DownloadSuccess));
}

void TessaraRun::SendTessaraOpening() {
    SerialLink& link = parts_.link;
    link.PurgeInput();
    link.PurgeOutput();
    link.SendFrame(TessaraOpeningMessage());
    link.Pause(kOpeningPauseMs);
    link.PurgeInput();
    link.PurgeOutput();
}

std::string TessaraRun::StartTessaraLoader() {
    std::string refusal = IdentifyTessaraPath();
    if (!refusal.empty()) return refusal;
    parts_.link.SendFrame(StartRequest());
    return {};
}

std::string TessaraRun::IdentifyTessaraPath() {
    SerialLink& link = parts_.link;
    // The first request is still answered by the terminal itself; its answer is dropped.
    link.SendFrame(IdentifyRequest());
    link.Pause(kIdentifyPauseMs);
    link.PurgeInput();
    link.PurgeOutput();
    link.SendFrame(IdentifyRequest());
    link.ResetRing();
    const std::uint8_t reply = link.WaitReplyByte();
    if (reply == 0) return ErrorText(parts_.texts, " " + std::to_string(kNoIdentifyReplyCode));
    if (IsTessaraPathReply(reply)) return {};
    return Text(TextId::HardwareCodeError);
}

bool TessaraRun::SendTessaraImage(const FlashImage& image) {
    SerialLink& link = parts_.link;
    AckAttempt attempt;
    attempt.beforeSend = [&link] {
        link.PurgeInput();
        link.PurgeOutput();
    };
    attempt.afterSend = [] {
        std::this_thread::sleep_for(std::chrono::milliseconds(kPageWriteSettleMs));
    };
    // The result text says what went wrong; this run shows no box of its own.
    attempt.reportsSpentBudget = false;
    if (!protocol_.SendWrittenFrames(TessaraPageWritesFor(image), attempt)) return false;
    for (const std::uint8_t end : kTessaraEndBytes) {
        link.SendControlByte(end);
        link.Pause(kEndBytePauseMs);
    }
    return true;
}

}  // namespace device
