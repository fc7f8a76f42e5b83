#include "device/plantrix_run.h"

#include "device/run_texts.h"
#include "platform/files.h"
#include "platform/message_wait.h"

namespace device {

using i18n::TextId;

namespace {

constexpr std::string_view kPhaseNames[kPlantrixPhaseCount] = {
    "Search",    "ReadPackage",     "PrepareLines", "BlockWritesVgf", "BlockWritesVtf",
    "RamLoader", "AwaitFlashReady", "FlashRecords", "Finished",
};

struct PhaseFailure {
    int code;
    const char* separator;  // the first code is set off by a blank, the others are not
    bool closesPort;
};

std::optional<PhaseFailure> FailureOf(PlantrixPhase phase) {
    switch (phase) {
        case PlantrixPhase::BlockWritesVgf:
            return PhaseFailure{5, " ", true};
        case PlantrixPhase::BlockWritesVtf:
            return PhaseFailure{1, "", true};
        case PlantrixPhase::RamLoader:
            return PhaseFailure{2, "", true};
        case PlantrixPhase::AwaitFlashReady:
            return PhaseFailure{3, "", false};
        case PlantrixPhase::FlashRecords:
            return PhaseFailure{4, "", false};
        default:
            return std::nullopt;
    }
}

int BlockCount(const std::string& member) {
    return member.empty()
               ? 1
               : static_cast<int>((member.size() + kBlockWriteMaxData - 1) / kBlockWriteMaxData);
}

}  // namespace

std::string_view PlantrixPhaseName(PlantrixPhase phase) {
    const auto i = static_cast<std::size_t>(phase);
    return i < kPlantrixPhaseCount ? kPhaseNames[i] : "?";
}

const PlantrixRun::Handler PlantrixRun::kHandlers[kPlantrixPhaseCount] = {
    &PlantrixRun::OnSearch,          &PlantrixRun::OnReadPackage,    &PlantrixRun::OnPrepareLines,
    &PlantrixRun::OnBlockWritesVgf,  &PlantrixRun::OnBlockWritesVtf, &PlantrixRun::OnRamLoader,
    &PlantrixRun::OnAwaitFlashReady, &PlantrixRun::OnFlashRecords,   &PlantrixRun::OnFinished,
};

PlantrixRun::PlantrixRun(SerialLink& link, RunView& view, const i18n::TextTable& texts,
                         platform::MessageSink& messages, ziparchive::TZipReader& zip,
                         const std::string& programDir)
    : link_(link),
      view_(view),
      texts_(texts),
      messages_(messages),
      zip_(zip),
      programDir_(programDir),
      protocol_(link, view, messages) {}

std::string PlantrixRun::ProgramPlantrix(const std::string& packagePath) {
    // The package is read member by member; what is wrong with the archive itself is told
    // once in a run.
    zip_.ForgetArchiveWarnings();
    packagePath_ = packagePath;
    result_.clear();
    index_ = {};
    vgf_.clear();
    vtf_.clear();
    s19Lines_.clear();
    loaderLines_.clear();
    loaderFrames_ = {};
    flashFrames_ = {};
    endedIn_ = PlantrixPhase::Finished;
    ChangePhase(PlantrixPhase::Search);
    while (phase_ != PlantrixPhase::Finished) {
        PlantrixPhase next;
        try {
            next = (this->*kHandlers[static_cast<std::size_t>(phase_)])();
        } catch (const std::exception&) {
            // Nothing a component raises may leave the run: it ends as its step fails.
            if (phase_ == PlantrixPhase::Search) {
                link_.ClosePort();
                next = Finish(TerminalNotFoundText(texts_, TextId::MakeSureInProgramMode, {}));
            } else if (FailureOf(phase_)) {
                next = Fail();
            } else {
                next = Finish(texts_[TextId::ErrorInFirmwareFile]);
            }
        }
        ChangePhase(next);
    }
    return result_;
}

void PlantrixRun::ChangePhase(PlantrixPhase next) { phase_ = next; }

PlantrixPhase PlantrixRun::Finish(std::string text) {
    result_ = std::move(text);
    endedIn_ = phase_;
    return PlantrixPhase::Finished;
}

PlantrixPhase PlantrixRun::Fail() { return FailAs(phase_); }

PlantrixPhase PlantrixRun::FailAs(PlantrixPhase phase) {
    const PhaseFailure failure = FailureOf(phase).value_or(PhaseFailure{4, "", false});
    if (failure.closesPort) link_.ClosePort();
    Finish(ErrorCodeText(texts_, failure.code, failure.separator));
    endedIn_ = phase;
    return PlantrixPhase::Finished;
}

PlantrixPhase PlantrixRun::OnSearch() {
    const std::uint8_t code = link_.FindTerminal();
    view_.StopSearchAnimation();
    view_.ShowInfo(texts_[TextId::DownloadingToPlantrix]);
    view_.ShowPortLine(FoundPortLine(link_.LastSearch()));
    if (code == 0) {
        return Finish(
            TerminalNotFoundText(texts_, TextId::MakeSureInProgramMode, link_.LastSearch()));
    }
    return PlantrixPhase::ReadPackage;
}

PlantrixPhase PlantrixRun::OnReadPackage() {
    const std::optional<PackageIndex> index = ReadPackageIndex(zip_, packagePath_);
    if (!index) return Finish(texts_[TextId::ErrorInFirmwareFile]);
    index_ = *index;
    vgf_ = ReadCheckedMember(zip_, packagePath_, "vgf", index_.vgfSum);
    if (vgf_.empty()) return Finish(texts_[TextId::ErrorInFirmwareFile]);
    vtf_ = ReadCheckedMember(zip_, packagePath_, "vtf", index_.vtfSum);
    if (vtf_.empty()) return Finish(texts_[TextId::ErrorInFirmwareFile]);
    const std::string s19 = ReadCheckedMember(zip_, packagePath_, "s19", index_.s19Sum);
    if (s19.empty()) return Finish(texts_[TextId::ErrorInFirmwareFile]);
    s19Lines_ = platform::SplitLines(s19);
    return PlantrixPhase::PrepareLines;
}

PlantrixPhase PlantrixRun::OnPrepareLines() {
    const auto code = static_cast<std::uint8_t>(link_.HardwareCode());
    const std::optional<std::string_view> file = BootloaderFileFor(code);
    const std::optional<FlashWindow> window = FlashWindowFor(code);
    if (!file || !window) return Finish(texts_[TextId::HardwareCodeError]);
    const std::string path = programDir_ + std::string(*file);
    std::optional<std::vector<std::string>> lines;
    if (platform::FileExists(path)) lines = platform::ReadTextLines(path);
    if (!lines) return Finish(path + " " + texts_[TextId::IsMissing]);
    loaderLines_ = std::move(*lines);

    // Every line that will go out is read now: the start request erases the flash, so a
    // firmware that cannot be sent whole must be refused before the first block write.
    loaderFrames_ = LoadRecordsFor(loaderLines_);
    flashFrames_ = FlashRecordsFor(s19Lines_, *window);
    if (loaderFrames_.fault) {
        messages_.Show(kS19ErrorMessage);
        return FailAs(PlantrixPhase::RamLoader);
    }
    if (flashFrames_.fault) {
        messages_.Show(kS19ErrorMessage);
        return FailAs(PlantrixPhase::FlashRecords);
    }

    // One step per frame that is acknowledged, so that the bar is full exactly when the
    // last record is written.
    view_.SetupProgress(BlockCount(vgf_) + BlockCount(vtf_) +
                        static_cast<int>(loaderFrames_.frames.size()) +
                        static_cast<int>(flashFrames_.frames.size()));
    link_.PurgeInput();
    link_.PurgeOutput();
    return PlantrixPhase::BlockWritesVgf;
}

PlantrixPhase PlantrixRun::OnBlockWritesVgf() {
    if (!protocol_.SendDataBlocks(vgf_, index_.vgfAddress)) return Fail();
    return PlantrixPhase::BlockWritesVtf;
}

PlantrixPhase PlantrixRun::OnBlockWritesVtf() {
    if (!protocol_.SendDataBlocks(vtf_, kVtfAddress)) return Fail();
    return PlantrixPhase::RamLoader;
}

PlantrixPhase PlantrixRun::OnRamLoader() {
    if (!protocol_.SendRamLoader(loaderFrames_)) return Fail();
    return PlantrixPhase::AwaitFlashReady;
}

PlantrixPhase PlantrixRun::OnAwaitFlashReady() {
    if (!protocol_.AwaitFlashReady()) return Fail();
    return PlantrixPhase::FlashRecords;
}

PlantrixPhase PlantrixRun::OnFlashRecords() {
    platform::ProcessPendingMessages();
    if (!protocol_.SendFlashRecords(flashFrames_)) return Fail();
    return Finish(texts_[TextId::DownloadSuccess]);
}

PlantrixPhase PlantrixRun::OnFinished() { return PlantrixPhase::Finished; }

}  // namespace device
