#include "device/tessara_run.h"

#include <chrono>
#include <thread>
#include <variant>

#include "device/run_texts.h"
#include "device/tessara_frames.h"
#include "device/tessara_image.h"
#include "platform/files.h"
#include "platform/message_wait.h"

namespace device {

using i18n::TextId;

namespace {

constexpr std::string_view kPhaseNames[kTessaraPhaseCount] = {
    "Search", "CheckFile", "BuildImage", "OpenPath", "AwaitErased", "PageWrites", "Finished",
};

constexpr int kPortNotOpenCode = 6;
constexpr int kExceptionCode = 7;
constexpr int kNoErasedCode = 3;
constexpr int kImageCode = 4;
constexpr int kNoIdentifyReplyCode = 8;

}  // namespace

std::string_view TessaraPhaseName(TessaraPhase phase) {
    const auto i = static_cast<std::size_t>(phase);
    return i < kTessaraPhaseCount ? kPhaseNames[i] : "?";
}

const TessaraRun::Handler TessaraRun::kHandlers[kTessaraPhaseCount] = {
    &TessaraRun::OnSearch,   &TessaraRun::OnCheckFile,   &TessaraRun::OnBuildImage,
    &TessaraRun::OnOpenPath, &TessaraRun::OnAwaitErased, &TessaraRun::OnPageWrites,
    &TessaraRun::OnFinished,
};

TessaraRun::TessaraRun(SerialLink& link, RunView& view, const i18n::TextTable& texts,
                       platform::MessageSink& messages)
    : link_(link), view_(view), texts_(texts), protocol_(link, view, messages) {}

std::string TessaraRun::ProgramTessara(const std::string& path) {
    path_ = path;
    result_.clear();
    image_ = {};
    endedIn_ = TessaraPhase::Finished;
    ChangePhase(TessaraPhase::Search);
    while (phase_ != TessaraPhase::Finished) {
        TessaraPhase next;
        try {
            next = (this->*kHandlers[static_cast<std::size_t>(phase_)])();
        } catch (const std::exception&) {
            // Nothing a component raises may leave the run.
            if (phase_ == TessaraPhase::Search) {
                link_.ClosePort();
                next = Finish(TerminalNotFoundText(texts_, TextId::MakeSureInTessaraMode, {}));
            } else {
                next = FailWithCode(kExceptionCode);
            }
        }
        ChangePhase(next);
    }
    return result_;
}

void TessaraRun::ChangePhase(TessaraPhase next) { phase_ = next; }

std::string TessaraRun::CodeText(int code) const { return ErrorCodeText(texts_, code, " "); }

TessaraPhase TessaraRun::Finish(std::string text) {
    if (phase_ != TessaraPhase::Search) {
        link_.ClosePort();
        view_.SetupProgress(0);
    }
    result_ = std::move(text);
    endedIn_ = phase_;
    return TessaraPhase::Finished;
}

TessaraPhase TessaraRun::FailWithCode(int code) { return Finish(CodeText(code)); }

TessaraPhase TessaraRun::OnSearch() {
    const std::uint8_t code = link_.FindTerminal();
    view_.StopSearchAnimation();
    view_.ShowInfo(texts_[TextId::DownloadingToTessara]);
    view_.ShowPortLine(FoundPortLine(link_.LastSearch()));
    if (code == 0) {
        return Finish(
            TerminalNotFoundText(texts_, TextId::MakeSureInTessaraMode, link_.LastSearch()));
    }
    return TessaraPhase::CheckFile;
}

TessaraPhase TessaraRun::OnCheckFile() {
    platform::ProcessPendingMessages();
    if (!platform::FileExists(path_)) return Finish(texts_[TextId::NoBootFiles]);
    if (!link_.Port().Open()) return FailWithCode(kPortNotOpenCode);
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
    link_.PurgeInput();
    link_.PurgeOutput();
    // One step per page written, so the bar is full when the last one is.
    view_.SetupProgress(static_cast<int>(image_.dataBlocks.size()));
    platform::ProcessPendingMessages();
    SendTessaraOpening();
    std::string refusal = StartTessaraLoader();
    if (!refusal.empty()) return Finish(std::move(refusal));
    return TessaraPhase::AwaitErased;
}

TessaraPhase TessaraRun::OnAwaitErased() {
    platform::ProcessPendingMessages();
    // Whatever came in before the start request was answered belongs to the identification.
    link_.ResetRing();
    if (link_.WaitReplyByte() != kFlashReady) return FailWithCode(kNoErasedCode);
    return TessaraPhase::PageWrites;
}

TessaraPhase TessaraRun::OnPageWrites() {
    platform::ProcessPendingMessages();
    if (!SendTessaraImage(image_)) return FailWithCode(kImageCode);
    return Finish(texts_[TextId::DownloadSuccess]);
}

TessaraPhase TessaraRun::OnFinished() { return TessaraPhase::Finished; }

void TessaraRun::SendTessaraOpening() {
    link_.PurgeInput();
    link_.PurgeOutput();
    link_.SendFrame(TessaraOpeningMessage());
    link_.Pause(kOpeningPauseMs);
    link_.PurgeInput();
    link_.PurgeOutput();
}

std::string TessaraRun::StartTessaraLoader() {
    std::string refusal = IdentifyTessaraPath();
    if (!refusal.empty()) return refusal;
    link_.SendFrame(StartRequest());
    return {};
}

std::string TessaraRun::IdentifyTessaraPath() {
    // The first request is still answered by the terminal itself; its answer is dropped.
    link_.SendFrame(IdentifyRequest());
    link_.Pause(kIdentifyPauseMs);
    link_.PurgeInput();
    link_.PurgeOutput();
    link_.SendFrame(IdentifyRequest());
    link_.ResetRing();
    const std::uint8_t reply = link_.WaitReplyByte();
    if (reply == 0) return CodeText(kNoIdentifyReplyCode);
    if (IsTessaraPathReply(reply)) return {};
    return texts_[TextId::HardwareCodeError];
}

bool TessaraRun::SendTessaraImage(const FlashImage& image) {
    AckAttempt attempt;
    attempt.beforeSend = [this] {
        link_.PurgeInput();
        link_.PurgeOutput();
    };
    attempt.afterSend = [] {
        std::this_thread::sleep_for(std::chrono::milliseconds(kPageWriteSettleMs));
    };
    // The result text says what went wrong; this run shows no box of its own.
    attempt.reportsSpentBudget = false;
    if (!protocol_.SendWrittenFrames(TessaraPageWritesFor(image), attempt)) return false;
    for (const std::uint8_t end : kTessaraEndBytes) {
        link_.SendControlByte(end);
        link_.Pause(kEndBytePauseMs);
    }
    return true;
}

}  // namespace device
