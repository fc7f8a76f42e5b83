#include "device/granulo_run.h"

#include <variant>

#include "device/firmware_package.h"
#include "device/granulo_frames.h"
#include "device/granulo_image.h"
#include "platform/files.h"
#include "platform/message_wait.h"

namespace device {

using i18n::TextId;

using G = GranuloRun;
const G::PhaseRow G::kPhases[kGranuloPhaseCount] = {
    {"Search", &G::OnSearch, &G::SearchRaised, false},
    {"CheckPackage", &G::OnCheckPackage, &G::FirmwareFileError, false},
    {"PrepareLines", &G::OnPrepareLines, &G::FirmwareFileError, false},
    {"RamLoader", &G::OnRamLoader, &G::LoaderFailed, true},
    {"AwaitErased", &G::OnAwaitErased, &G::EraseFailed, true},
    {"Blocks", &G::OnBlocks, &G::BlocksFailed, true},
    {"Finished", nullptr, nullptr, false},
};

// The run shows no page: its result comes in a box once it has ended.
GranuloRun::GranuloRun(const RunParts& parts)
    : PhaseRun(parts, {TextId::MakeSureInProgramMode, std::nullopt}),
      protocol_(parts.link, parts.view, parts.messages) {}

std::string GranuloRun::ProgramGranulo(const std::string& packagePath) {
    packagePath_ = packagePath;
    s19Lines_.clear();
    loaderFrames_ = {};
    image_ = {};
    return RunPhases();
}

GranuloPhase GranuloRun::LoaderFailed() {
    parts_.link.ClosePort();
    return Finish(ErrorText(parts_.texts, kLoaderFailedSuffix));
}

GranuloPhase GranuloRun::EraseFailed() { return Finish(kEraseFailedMessage); }

GranuloPhase GranuloRun::BlocksFailed() {
    return Finish(ErrorText(parts_.texts, kBlocksFailedSuffix));
}

GranuloPhase GranuloRun::OnCheckPackage() {
    if (ReadS19Head(parts_.zip, packagePath_, "s19").empty()) return FirmwareFileError();
    ziparchive::TZipStream* s19 = LoadZIP(parts_.zip, packagePath_, "s19");
    if (s19 == nullptr) return FirmwareFileError();
    s19Lines_ = platform::SplitLines(std::string(s19->View()));
    return GranuloPhase::PrepareLines;
}

GranuloPhase GranuloRun::OnPrepareLines() {
    const auto code = static_cast<std::uint8_t>(parts_.link.HardwareCode());
    const std::optional<std::string_view> file = GranuloBootloaderFileFor(code);
    if (!file) return Finish(Text(TextId::HardwareCodeError));
    const std::string path = parts_.programDir + std::string(*file);
    const std::optional<std::vector<std::string>> loaderLines = ReadBootloaderFile(path);
    // The message has always run the file name and text 10 together.
    if (!loaderLines) return Finish(path + Text(TextId::IsMissing));

    loaderFrames_ = LoadRecordsFor(*loaderLines);
    if (loaderFrames_.fault) {
        parts_.messages.Show(kS19ErrorMessage);
        return LoaderFailed();
    }
    auto built = BuildGranuloImage(s19Lines_);
    if (!std::holds_alternative<FlashImage>(built)) {
        parts_.messages.Show(kS19ErrorMessage);
        return BlocksFailed();
    }
    image_ = std::move(std::get<FlashImage>(built));
    parts_.link.PurgeInput();
    parts_.link.PurgeOutput();
    return GranuloPhase::RamLoader;
}

GranuloPhase GranuloRun::OnRamLoader() {
    if (!protocol_.SendRamLoader(loaderFrames_)) return LoaderFailed();
    return GranuloPhase::AwaitErased;
}

GranuloPhase GranuloRun::OnAwaitErased() {
    if (parts_.link.WaitReplyByte() != kFlashReady) return EraseFailed();
    return GranuloPhase::Blocks;
}

GranuloPhase GranuloRun::OnBlocks() {
    platform::ProcessPendingMessages();
    if (!SendGranuloImage(image_)) return BlocksFailed();
    return Finish(Text(TextId::DownloadSuccess));
}

bool GranuloRun::SendGranuloImage(const FlashImage& image) {
    // One step per block written, so the bar is full when the last one is.
    parts_.view.SetupProgress(static_cast<int>(image.dataBlocks.size()));
    if (!protocol_.SendWrittenFrames(GranuloBlockFlashWritesFor(image), {})) return false;
    parts_.link.SendControlByte(kFinishByte);
    return true;
}

}  // namespace device
