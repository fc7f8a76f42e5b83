#include "device/plantrix_run.h"

#include "platform/files.h"
#include "platform/message_wait.h"

namespace device {

using i18n::TextId;

namespace {

int BlockCount(const std::string& member) {
    return member.empty()
               ? 1
               : static_cast<int>((member.size() + kBlockWriteMaxData - 1) / kBlockWriteMaxData);
}

}  // namespace

using P = PlantrixRun;
const P::PhaseRow P::kPhases[kPlantrixPhaseCount] = {
    {"Search", &P::OnSearch, &P::SearchRaised, false},
    {"ReadPackage", &P::OnReadPackage, &P::FirmwareFileError, false},
    {"PrepareLines", &P::OnPrepareLines, &P::FirmwareFileError, false},
    {"BlockWritesVgf", &P::OnBlockWritesVgf, &P::VgfFailed, true},
    {"BlockWritesVtf", &P::OnBlockWritesVtf, &P::VtfFailed, true},
    {"RamLoader", &P::OnRamLoader, &P::RamLoaderFailed, true},
    {"AwaitFlashReady", &P::OnAwaitFlashReady, &P::FlashReadyFailed, true},
    {"FlashRecords", &P::OnFlashRecords, &P::FlashRecordsFailed, true},
    {"Finished", nullptr, nullptr, false},
};

PlantrixRun::PlantrixRun(const RunParts& parts)
    : PhaseRun(parts, {TextId::MakeSureInProgramMode, TextId::DownloadingToPlantrix}),
      protocol_(parts.link, parts.view, parts.messages) {}

std::string PlantrixRun::ProgramPlantrix(const std::string& packagePath) {
    packagePath_ = packagePath;
    index_ = {};
    vgf_.clear();
    vtf_.clear();
    s19Lines_.clear();
    loaderFrames_ = {};
    flashFrames_ = {};
    return RunPhases();
}

// The first code is set off by a blank, the others are not; the first three steps close
// the port, the RAM bootloader's start leaves it open.
PlantrixPhase PlantrixRun::VgfFailed() {
    parts_.link.ClosePort();
    return Finish(ErrorText(parts_.texts, " 5"));
}

PlantrixPhase PlantrixRun::VtfFailed() {
    parts_.link.ClosePort();
    return Finish(ErrorText(parts_.texts, "1"));
}

PlantrixPhase PlantrixRun::RamLoaderFailed() {
    parts_.link.ClosePort();
    return Finish(ErrorText(parts_.texts, "2"));
}

PlantrixPhase PlantrixRun::FlashReadyFailed() { return Finish(ErrorText(parts_.texts, "3")); }

PlantrixPhase PlantrixRun::FlashRecordsFailed() { return Finish(ErrorText(parts_.texts, "4")); }

PlantrixPhase PlantrixRun::OnReadPackage() {
    ziparchive::TZipReader& zip = parts_.zip;
    const std::optional<PackageIndex> index = ReadPackageIndex(zip, packagePath_);
    if (!index) return FirmwareFileError();
    index_ = *index;
    vgf_ = ReadCheckedMember(zip, packagePath_, "vgf", index_.vgfSum);
    if (vgf_.empty()) return FirmwareFileError();
    vtf_ = ReadCheckedMember(zip, packagePath_, "vtf", index_.vtfSum);
    if (vtf_.empty()) return FirmwareFileError();
    const std::string s19 = ReadCheckedMember(zip, packagePath_, "s19", index_.s19Sum);
    if (s19.empty()) return FirmwareFileError();
    s19Lines_ = platform::SplitLines(s19);
    return PlantrixPhase::PrepareLines;
}

PlantrixPhase PlantrixRun::OnPrepareLines() {
    const auto code = static_cast<std::uint8_t>(parts_.link.HardwareCode());
    const std::optional<std::string_view> file = BootloaderFileFor(code);
    const std::optional<FlashWindow> window = FlashWindowFor(code);
    if (!file || !window) return Finish(Text(TextId::HardwareCodeError));
    const std::string path = parts_.programDir + std::string(*file);
    const std::optional<std::vector<std::string>> loaderLines = ReadBootloaderFile(path);
    if (!loaderLines) return Finish(path + " " + Text(TextId::IsMissing));

    // Every line that will go out is read now: the start request erases the flash, so a
    // firmware that cannot be sent whole must be refused before the first block write.
    loaderFrames_ = LoadRecordsFor(*loaderLines);
    flashFrames_ = FlashRecordsFor(s19Lines_, *window);
    if (loaderFrames_.fault) {
        parts_.messages.Show(kS19ErrorMessage);
        return RamLoaderFailed();
    }
    if (flashFrames_.fault) {
        parts_.messages.Show(kS19ErrorMessage);
        return FlashRecordsFailed();
    }

    // One step per frame that is acknowledged, so that the bar is full exactly when the
    // last record is written.
    parts_.view.SetupProgress(BlockCount(vgf_) + BlockCount(vtf_) +
                              static_cast<int>(loaderFrames_.frames.size()) +
                              static_cast<int>(flashFrames_.frames.size()));
    parts_.link.PurgeInput();
    parts_.link.PurgeOutput();
    return PlantrixPhase::BlockWritesVgf;
}

PlantrixPhase PlantrixRun::OnBlockWritesVgf() {
    if (!protocol_.SendDataBlocks(vgf_, index_.vgfAddress)) return VgfFailed();
    return PlantrixPhase::BlockWritesVtf;
}

PlantrixPhase PlantrixRun::OnBlockWritesVtf() {
    if (!protocol_.SendDataBlocks(vtf_, kVtfAddress)) return VtfFailed();
    return PlantrixPhase::RamLoader;
}

PlantrixPhase PlantrixRun::OnRamLoader() {
    if (!protocol_.SendRamLoader(loaderFrames_)) return RamLoaderFailed();
    return PlantrixPhase::AwaitFlashReady;
}

PlantrixPhase PlantrixRun::OnAwaitFlashReady() {
    if (!protocol_.AwaitFlashReady()) return FlashReadyFailed();
    return PlantrixPhase::FlashRecords;
}

PlantrixPhase PlantrixRun::OnFlashRecords() {
    platform::ProcessPendingMessages();
    if (!protocol_.SendFlashRecords(flashFrames_)) return FlashRecordsFailed();
    return Finish(Text(TextId::DownloadSuccess));
}

}  // namespace device
