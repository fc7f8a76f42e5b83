#pragma once
// The skeleton of every programming run. A run is a list of phases: an enum that begins
// with Search and ends with Finished, and a table kPhases with one row per phase in the
// enum's order. The skeleton runs the phases in turn (each handler returns the phase that
// follows), changes the phase in one place, finds the terminal in the first phase, and
// catches whatever a component raises: the run then ends as the row of the phase it raised
// in says. A run never raises; it returns the text to show.
//
// From the first phase whose row is marked as writing until the run ends, the link says
// that the terminal is being written: stopping the run then leaves the terminal to be
// programmed again, which is why a close asks first. A stop needs nothing from the run
// itself: once the link is abandoned, the phase going fails at its next wait.
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "archive/zip_reader.h"
#include "device/run_texts.h"
#include "device/run_view.h"
#include "device/serial_link.h"
#include "i18n/text_table.h"
#include "platform/files.h"
#include "platform/message_sink.h"

namespace device {

// What every run works with.
struct RunParts {
    SerialLink& link;
    RunView& view;
    const i18n::TextTable& texts;
    platform::MessageSink& messages;
    ziparchive::TZipReader& zip;
    // With its "/": where the bootloader files are; read at each run, so it may change.
    const std::string& programDir;
};

// Where runs differ in how they begin and end.
struct RunStyle {
    // The line below text 12 when no terminal answered: how to start it for this run.
    i18n::TextId notFoundLine;
    // The information line once the search is over; none for a run that shows no page.
    std::optional<i18n::TextId> searchedInfo;
    // Every end after the search closes the port and hides the bar.
    bool closesAtEnd = false;
};

template <typename Run, typename Phase>
class PhaseRun {
  public:
    static std::string_view PhaseName(Phase phase) {
        return Index(phase) < kCount ? Run::kPhases[Index(phase)].name : "?";
    }

  protected:
    using Handler = Phase (Run::*)();
    struct PhaseRow {
        std::string_view name;
        Handler handler;  // does the phase's work; returns the phase that follows
        Handler raised;   // ends the run when something in the phase raises
        bool writes;      // the terminal is changed from here on until the run ends
    };

    PhaseRun(const RunParts& parts, RunStyle style) : parts_(parts), style_(style) {}

    // The phases from Search to Finished; the text the run ended with.
    std::string RunPhases() {
        static_assert(std::size(Run::kPhases) == kCount, "one row per phase");
        // The package is read member by member; what is wrong with the archive itself is
        // told once in a run.
        parts_.zip.ForgetArchiveWarnings();
        result_.clear();
        Run& run = static_cast<Run&>(*this);
        ChangePhase(Phase::Search);
        while (phase_ != Phase::Finished) {
            const PhaseRow& row = Run::kPhases[Index(phase_)];
            Phase next;
            try {
                next = (run.*row.handler)();
            } catch (const std::exception&) {
                next = (run.*row.raised)();
            }
            ChangePhase(next);
        }
        return result_;
    }

    // The first phase: FindTerminal; the phase after Search follows when a terminal answered.
    Phase OnSearch() {
        const std::uint8_t code = parts_.link.FindTerminal();
        if (style_.searchedInfo) {
            parts_.view.StopSearchAnimation();
            parts_.view.ShowInfo(parts_.texts[*style_.searchedInfo]);
            parts_.view.ShowPortLine(FoundPortLine(parts_.link.LastSearch()));
        }
        if (code == 0) {
            return Finish(
                TerminalNotFoundText(parts_.texts, style_.notFoundLine, parts_.link.LastSearch()));
        }
        return static_cast<Phase>(Index(Phase::Search) + 1);
    }
    Phase SearchRaised() {
        parts_.link.ClosePort();
        return Finish(TerminalNotFoundText(parts_.texts, style_.notFoundLine, {}));
    }
    // A package that cannot be used: text 14.
    Phase FirmwareFileError() { return Finish(parts_.texts[i18n::TextId::ErrorInFirmwareFile]); }

    // Ends the run with `text`.
    Phase Finish(std::string text) {
        if (style_.closesAtEnd && phase_ != Phase::Search) {
            parts_.link.ClosePort();
            parts_.view.SetupProgress(0);
        }
        result_ = std::move(text);
        return Phase::Finished;
    }

    const std::string& Text(i18n::TextId id) const { return parts_.texts[id]; }
    // The lines of a bootloader file; none when it is missing or cannot be read.
    static std::optional<std::vector<std::string>> ReadBootloaderFile(const std::string& path) {
        if (!platform::FileExists(path)) return std::nullopt;
        return platform::ReadTextLines(path);
    }

    const RunParts parts_;

  private:
    static constexpr std::size_t Index(Phase phase) { return static_cast<std::size_t>(phase); }
    static constexpr std::size_t kCount = Index(Phase::Finished) + 1;

    void ChangePhase(Phase next) {
        phase_ = next;
        parts_.link.SetWriting(Run::kPhases[Index(next)].writes);
    }

    const RunStyle style_;
    Phase phase_ = Phase::Finished;
    std::string result_;
};

}  // namespace device
