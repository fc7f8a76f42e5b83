// arvex program: the package chosen by the wizard's rules, from the command line's options
// instead of the page's lists, then the run, its progress and its result.
#include <algorithm>

#include "cli/command_runners.h"
#include "cli/console_run_view.h"
#include "cli/serial_job.h"
#include "device/firmware_choice.h"
#include "device/plantrix_run.h"
#include "device/run_texts.h"
#include "device/tessara_run.h"
#include "platform/folder_listing.h"
#include "update/program_files.h"

namespace cli {

namespace {

using i18n::TextId;

std::string Listed(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
    return text;
}

// The package to program, or the reason there is none on stderr.
class FirmwareChooser {
  public:
    FirmwareChooser(Context& context, const device::FirmwareKind& kind)
        : context_(context), kind_(kind), dataDir_(context.programDir + "Data/") {}

    // The file's path; empty after the reason was told.
    std::string Choose(int hardwareCode) {
        const bool s12 = device::IsS12Hardware(hardwareCode);
        machineType_ = kind_.machineType;
        if (machineType_.empty() && !ChooseMachineType(s12)) return {};
        const Invocation& invocation = context_.invocation;
        std::optional<device::ChosenFirmware> chosen;
        if (invocation.service) {
            const device::ReleaseChoice releases =
                device::FillReleases(dataDir_, machineType_, kind_.filePattern, s12);
            if (releases.releases.empty()) return NoFirmware();
            chosen = device::ReleaseFirmware(releases, invocation.release);
            if (!chosen) {
                context_.console.Error("No release " + *invocation.release + " of " + machineType_ +
                                       " for this terminal; the data folder holds " +
                                       Listed(releases.releases));
                return {};
            }
        } else {
            chosen = device::NewestFirmware(dataDir_, machineType_, kind_, s12);
            if (!chosen) return NoFirmware();
        }
        context_.console.Print(Text(TextId::SelectedFirmware) + ": " + machineType_ + ", " +
                               chosen->release + " (" + dataDir_ + chosen->fileName + ")");
        return dataDir_ + chosen->fileName;
    }

  private:
    bool ChooseMachineType(bool s12) {
        const std::vector<std::string> types =
            device::FillMachineTypes(dataDir_, context_.invocation.service, s12).machineTypes;
        if (const auto& wanted = context_.invocation.machine) {
            const auto found = std::find_if(types.begin(), types.end(), [&](const std::string& t) {
                return platform::SameTextIgnoringCase(t, *wanted);
            });
            if (found != types.end()) {
                machineType_ = *found;
                return true;
            }
            context_.console.Error("No firmware of machine type " + *wanted +
                                   " for this terminal in " + dataDir_ +
                                   (types.empty() ? "" : "; it holds " + Listed(types)));
            return false;
        }
        if (types.size() == 1) {
            machineType_ = types.front();
            return true;
        }
        if (types.empty()) {
            NoFirmware();
        } else {
            context_.console.Error(
                "The data folder holds firmware of more than one machine type for this "
                "terminal (" +
                Listed(types) + "); name one with --machine");
        }
        return false;
    }

    std::string NoFirmware() {
        context_.console.Error(Text(TextId::NoBootFiles) + " (" + dataDir_ + ")");
        return {};
    }

    const std::string& Text(TextId id) const { return context_.texts[id]; }

    Context& context_;
    const device::FirmwareKind& kind_;
    const std::string dataDir_;
    std::string machineType_;
};

int RunEnded(Context& context, const std::string& result, const device::RunEnd& end) {
    if (end.success) {
        context.console.Print(result);
        return kExitOk;
    }
    context.console.Error(result);
    return end.errorCode > 0 ? end.errorCode : kExitFailed;
}

}  // namespace

int RunProgram(Context& context) {
    // Nothing can be written without them; the window would open its installation first.
    const std::vector<std::string> missing =
        update::MissingProgramFiles(context.programDir, OwnPackageFolder());
    if (!missing.empty()) {
        context.console.Error("The program folder " + context.programDir + " lacks " +
                              Listed(missing) + "; arvex check fetches them");
        return kExitFailed;
    }
    SerialJob job(context);
    ConsoleRunView view(context.console);
    const device::RunParts parts{job.Link(),   view,      context.texts,
                                 context.sink, job.Zip(), context.programDir};
    const bool tessara = context.invocation.tessara;
    FirmwareChooser chooser(context,
                            tessara ? device::kTessaraFirmware : device::kPlantrixFirmware);

    // The Plantrix's packages depend on the terminal's hardware: it is found first, as the
    // wizard does before it offers the machine types. The Tessara's run finds it itself.
    int hardwareCode = 0;
    if (!tessara) {
        context.console.Print(context.texts[TextId::SearchingForPlantrix]);
        hardwareCode = job.Link().FindTerminal();
        if (job.Interrupted()) return job.ReportStop();
        if (hardwareCode == 0) {
            context.console.Error(device::TerminalNotFoundText(
                context.texts, TextId::MakeSureInProgramMode, job.Link().LastSearch()));
            return kExitFailed;
        }
        view.ShowPortLine(device::FoundPortLine(job.Link().LastSearch()));
    }
    const std::string path = chooser.Choose(hardwareCode);
    if (path.empty()) return kExitFailed;

    std::string result;
    device::RunEnd end;
    if (tessara) {
        device::TessaraRun run(parts);
        result = run.ProgramTessara(path);
        end = run.LastEnd();
    } else {
        device::PlantrixRun run(parts);
        result = run.ProgramPlantrix(path);
        end = run.LastEnd();
    }
    view.EndProgress();
    if (job.Interrupted()) return job.ReportStop();
    job.Link().ClosePort();
    return RunEnded(context, result, end);
}

}  // namespace cli
