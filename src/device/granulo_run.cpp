#include "device/granulo_run.h"

#include <variant>

#include "device/firmware_package.h"
#include "device/granulo_frames.h"
#include "device/granulo_image.h"
#include "device/run_texts.h"
#include "platform/files.h"
#include "platform/message_wait.h"

namespace device {

using i18n::TextId;

namespace {

constexpr std::string_view kPhaseNames[kGranuloPhaseCount] = {
    "Search", "CheckPackage", "PrepareLines", "RamLoader", "AwaitErased", "Blocks", "Finished",
};

}  // namespace

std::string_view GranuloPhaseName(GranuloPhase phase) {
    const auto i = static_cast<std::size_t>(phase);
    return i < kGranuloPhaseCount ? kPhaseNames[i] : "?";
}

const GranuloRun::Handler GranuloRun::kHandlers[kGranuloPhaseCount] = {
    &GranuloRun::OnSearch,    &GranuloRun::OnCheckPackage, &GranuloRun::OnPrepareLines,
    &GranuloRun::OnRamLoader, &GranuloRun::OnAwaitErased,  &GranuloRun::OnBlocks,
    &GranuloRun::OnFinished,
};

GranuloRun::GranuloRun(SerialLink& link, RunView& view, const i18n::TextTable& texts,
                       platform::MessageSink& messages, ziparchive::TZipReader& zip,
                       const std::string& programDir)
    : link_(link),
      view_(view),
      texts_(texts),
      messages_(messages),
      zip_(zip),
      programDir_(programDir),
      protocol_(link, view, messages) {}

std::string GranuloRun::ProgramGranulo(const std::string& packagePath) {
    // The package is read member by member; what is wrong with the archive itself is told
    // once in a run.
    zip_.ForgetArchiveWarnings();
    packagePath_ = packagePath;
    result_.clear();
    s19Lines_.clear();
    loaderLines_.clear();
    loaderFrames_ = {};
    image_ = {};
    endedIn_ = GranuloPhase::Finished;
    ChangePhase(GranuloPhase::Search);
    while (phase_ != GranuloPhase::Finished) {
        GranuloPhase next;
        try {
            next = (this->*kHandlers[static_cast<std::size_t>(phase_)])();
        } catch (const std::exception&) {
            // Nothing a component raises may leave the run: it ends as its step fails.
            switch (phase_) {
                case GranuloPhase::Search:
                    link_.ClosePort();
                    next = Finish(TerminalNotFoundText(texts_, TextId::MakeSureInProgramMode, {}));
                    break;
                case GranuloPhase::RamLoader:
                    link_.ClosePort();
                    next = Finish(ErrorText(kLoaderFailedSuffix));
                    break;
                case GranuloPhase::AwaitErased:
                    next = Finish(kEraseFailedMessage);
                    break;
                case GranuloPhase::Blocks:
                    next = Finish(ErrorText(kBlocksFailedSuffix));
                    break;
                default:
                    next = Finish(texts_[TextId::ErrorInFirmwareFile]);
                    break;
            }
        }
        ChangePhase(next);
    }
    return result_;
}

void GranuloRun::ChangePhase(GranuloPhase next) { phase_ = next; }

GranuloPhase GranuloRun::Finish(std::string text) {
    result_ = std::move(text);
    endedIn_ = phase_;
    return GranuloPhase::Finished;
}

std::string GranuloRun::ErrorText(const char* suffix) const {
    return texts_[TextId::AnErrorOccurred] + kLineBreak + texts_[TextId::ErrorCode] + suffix;
}

GranuloPhase GranuloRun::OnSearch() {
    if (link_.FindTerminal() == 0) {
        return Finish(
            TerminalNotFoundText(texts_, TextId::MakeSureInProgramMode, link_.LastSearch()));
    }
    return GranuloPhase::CheckPackage;
}

GranuloPhase GranuloRun::OnCheckPackage() {
    if (ReadS19Head(zip_, packagePath_, "s19").empty())
        return Finish(texts_[TextId::ErrorInFirmwareFile]);
    ziparchive::TZipStream* s19 = LoadZIP(zip_, packagePath_, "s19");
    if (s19 == nullptr) return Finish(texts_[TextId::ErrorInFirmwareFile]);
    s19Lines_ = platform::SplitLines(std::string(s19->View()));
    return GranuloPhase::PrepareLines;
}

GranuloPhase GranuloRun::OnPrepareLines() {
    const auto code = static_cast<std::uint8_t>(link_.HardwareCode());
    const std::optional<std::string_view> file = GranuloBootloaderFileFor(code);
    if (!file) return Finish(texts_[TextId::HardwareCodeError]);
    const std::string path = programDir_ + std::string(*file);
    std::optional<std::vector<std::string>> lines;
    if (platform::FileExists(path)) lines = platform::ReadTextLines(path);
    // The message has always run the file name and text 10 together.
    if (!lines) return Finish(path + texts_[TextId::IsMissing]);
    loaderLines_ = std::move(*lines);

    loaderFrames_ = LoadRecordsFor(loaderLines_);
    if (loaderFrames_.fault) {
        messages_.Show(kS19ErrorMessage);
        link_.ClosePort();
        return Finish(ErrorText(kLoaderFailedSuffix));
    }
    auto built = BuildGranuloImage(s19Lines_);
    if (!std::holds_alternative<FlashImage>(built)) {
        messages_.Show(kS19ErrorMessage);
        return Finish(ErrorText(kBlocksFailedSuffix));
    }
    image_ = std::move(std::get<FlashImage>(built));
    link_.PurgeInput();
    link_.PurgeOutput();
    return GranuloPhase::RamLoader;
}

GranuloPhase GranuloRun::OnRamLoader() {
    if (!protocol_.SendRamLoader(loaderFrames_)) {
        link_.ClosePort();
        return Finish(ErrorText(kLoaderFailedSuffix));
    }
    return GranuloPhase::AwaitErased;
}

GranuloPhase GranuloRun::OnAwaitErased() {
    if (link_.WaitReplyByte() != kFlashReady) return Finish(kEraseFailedMessage);
    return GranuloPhase::Blocks;
}

GranuloPhase GranuloRun::OnBlocks() {
    platform::ProcessPendingMessages();
    if (!SendGranuloImage(image_)) return Finish(ErrorText(kBlocksFailedSuffix));
    return Finish(texts_[TextId::DownloadSuccess]);
}

GranuloPhase GranuloRun::OnFinished() { return GranuloPhase::Finished; }

bool GranuloRun::SendGranuloImage(const FlashImage& image) {
    // One step per block written, so the bar is full when the last one is.
    view_.SetupProgress(static_cast<int>(image.dataBlocks.size()));
    if (!protocol_.SendWrittenFrames(GranuloBlockFlashWritesFor(image), {})) return false;
    link_.SendControlByte(kFinishByte);
    return true;
}

}  // namespace device
