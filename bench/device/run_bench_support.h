#pragma once
// What the programming-run benchmarks share: a scratch program folder, the terminal
// simulator as a process of its own pacing its line (so that CPU time and peak memory are
// the program's alone), and the serial link on a port set up as the window sets it up.
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "archive/zip_reader.h"
#include "comm/serial/zp_com_port.h"
#include "device/phase_run.h"
#include "i18n/text_table.h"
#include "platform/message_sink.h"

namespace runbench {

using Clock = std::chrono::steady_clock;

// 8N1 at 19200 baud.
inline constexpr double kLineBytesPerSecond = 19200.0 / 10.0;
inline constexpr double kFrameSleepMs = 5.0;
// The silence after the hardware code that confirms the identification.
inline constexpr double kIdentifySilenceMs = 2000.0;

inline double WireMs(double bytes) { return bytes / kLineBytesPerSecond * 1000.0; }
double Ms(Clock::duration d);
double CpuMs();
long PeakKiB();
[[noreturn]] void Fail(const std::string& what);

std::vector<uint8_t> Pattern(size_t n, int seed);
std::string Lines(const std::vector<std::string>& lines);
void WriteFile(const std::filesystem::path& path, const std::string& bytes);

// A fresh folder under the temporary folder that the program runs in, with the zip engine
// and a ports folder that ARVEX_COM_PORTS names; removed at the end.
class ProgramFolder {
  public:
    explicit ProgramFolder(const std::string& benchName);
    ~ProgramFolder();
    const std::filesystem::path& Path() const { return dir_; }
    std::filesystem::path Ports() const { return dir_ / "ports"; }
    std::string ProgramDir() const { return dir_.string() + "/"; }

  private:
    std::filesystem::path dir_;
};

// arvex-terminal-sim (beside this program) on COM1, paced at 19200 baud, with `arguments`
// added; ended when this object is.
class SimulatorProcess {
  public:
    SimulatorProcess(const ProgramFolder& folder, const std::vector<std::string>& arguments);
    ~SimulatorProcess();

  private:
    int pid_ = -1;
};

// Counts the progress and notes when the search ended.
class QuietView : public device::RunView {
  public:
    void SetupProgress(int steps) override {
        if (steps != 0) this->steps = steps;
    }
    void StepProgress() override { ++stepped; }
    void StopSearchAnimation() override { searchEnded = Clock::now(); }
    void ShowInfo(const std::string&) override {}
    void ShowPortLine(const std::string&) override {}
    int steps = 0;
    int stepped = 0;
    Clock::time_point searchEnded;
};

// A port, the link on it, and what a run is given beside the link: the English texts, no
// message boxes, a zip reader, a view that counts.
struct BenchLink {
    explicit BenchLink(std::string programDir);
    device::RunParts Parts() { return {*link, view, texts, messages, zip, programDir}; }
    std::string programDir;  // the link reads it at each use
    zp::TZpComPort port;
    std::unique_ptr<device::SerialLink> link;
    i18n::TextTable texts;
    platform::SilentMessageSink messages;
    ziparchive::TZipReader zip;
    QuietView view;
};

}  // namespace runbench
