// A Plantrix programming run against the terminal simulator pacing its line at 19200 baud,
// beside the floor that the protocol itself sets.
//
//   bench_plantrix_run [firmware KiB (40)]
//
// The simulator runs as a process of its own (arvex-terminal-sim, beside this program),
// so that the CPU time and peak memory reported are the program's alone. The floor is
// computed from what actually went over the line: every byte sent and received at 1920
// bytes/s (8N1 at 19200 baud), the 5 ms sleep before each frame, and the waits the
// terminal and the protocol impose (the 2000 ms of silence that confirms the
// identification, the simulator's erase time before "E").
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "archive/zip_reader.h"
#include "comm/serial/zp_com_port.h"
#include "device/plantrix_run.h"
#include "device/serial_link.h"
#include "frame_hex.h"
#include "i18n/text_table.h"
#include "platform/message_sink.h"
#include "platform/message_wait.h"
#include "platform/window_timer.h"

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

constexpr double kLineBytesPerSecond = 19200.0 / 10.0;
constexpr double kFrameSleepMs = 5.0;
constexpr double kIdentifySilenceMs = 2000.0;
constexpr int kEraseMs = 200;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double CpuMs() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000.0 +
           (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1000.0;
}

long PeakKiB() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

void Fail(const std::string& what) {
    std::fprintf(stderr, "bench_plantrix_run: %s\n", what.c_str());
    std::exit(1);
}

std::vector<uint8_t> Pattern(size_t n, int seed) {
    std::vector<uint8_t> b(n);
    for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(i * 131 + seed * 7);
    return b;
}

std::string Lines(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& l : lines) text += l + "\r\n";
    return text;
}

void WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
    if (!out) Fail("cannot write " + path.string());
}

std::string Le32(uint32_t v) {
    return {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
            static_cast<char>(v >> 24)};
}

uint32_t ByteSum(const std::string& s) {
    uint32_t sum = 0;
    for (const char c : s) sum += static_cast<uint8_t>(c);
    return sum;
}

// The package and the bootloader in `dir`; the package path.
std::string WritePackage(const fs::path& dir, size_t firmwareBytes) {
    const std::vector<uint8_t> vgfBytes = Pattern(1024, 1), vtfBytes = Pattern(512, 2);
    const std::string vgf(vgfBytes.begin(), vgfBytes.end()), vtf(vtfBytes.begin(), vtfBytes.end());
    std::vector<std::string> s19{"S00600004844521B"};
    const std::vector<uint8_t> firmware = Pattern(firmwareBytes, 3);
    for (size_t at = 0; at < firmware.size(); at += 32) {
        const size_t n = std::min<size_t>(32, firmware.size() - at);
        s19.push_back(frametest::SRecord('2', 0x4000 + static_cast<uint32_t>(at),
                                         {firmware.begin() + at, firmware.begin() + at + n}));
    }
    s19.push_back("S9030000FC");
    const std::string s19Text = Lines(s19);

    std::vector<std::string> loader{"S0030000FC"};
    const std::vector<uint8_t> loaderBytes = Pattern(2048, 4);
    for (size_t at = 0; at < loaderBytes.size(); at += 16)
        loader.push_back(
            frametest::SRecord('1', static_cast<uint32_t>(at),
                               {loaderBytes.begin() + at, loaderBytes.begin() + at + 16}));
    loader.push_back("S9030000FC");
    WriteFile(dir / "BLdg128.prg", Lines(loader));

    const fs::path members = dir / "members";
    fs::create_directories(members);
    WriteFile(members / "FW.s19", s19Text);
    WriteFile(members / "FW.vif",
              Le32(ByteSum(vgf)) + Le32(ByteSum(vtf)) + Le32(ByteSum(s19Text)) + Le32(0x1000));
    WriteFile(members / "FW.vgf", vgf);
    WriteFile(members / "FW.vtf", vtf);
    const fs::path package = dir / "KX_R0104.vbf";
    // The s19 member first: its name gives the other members theirs.
    const std::string command = "cd '" + members.string() + "' && zip -q -X '" + package.string() +
                                "' FW.s19 FW.vif FW.vgf FW.vtf";
    if (std::system(command.c_str()) != 0) Fail("zip failed");
    return package.string();
}

class QuietView : public device::RunView {
  public:
    void SetupProgress(int steps) override { this->steps = steps; }
    void StepProgress() override { ++stepped; }
    void StopSearchAnimation() override { searchEnded = Clock::now(); }
    void ShowInfo(const std::string&) override {}
    int steps = 0;
    int stepped = 0;
    Clock::time_point searchEnded;
};

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const size_t firmwareKiB = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 40;
    const fs::path self = fs::read_symlink("/proc/self/exe").parent_path();

    char pattern[] = "/tmp/bench_plantrix_run.XXXXXX";
    if (::mkdtemp(pattern) == nullptr) Fail("no temporary folder");
    const fs::path dir = pattern;
    const fs::path ports = dir / "ports";
    fs::create_directories(ports);
    fs::copy_file(self / "ZipEngine.so", dir / "ZipEngine.so");
    const std::string package = WritePackage(dir, firmwareKiB * 1024);
    fs::current_path(dir);
    ::setenv("ARVEX_COM_PORTS", ports.c_str(), 1);

    const pid_t sim = ::fork();
    if (sim == 0) {
        const std::string tool = (self / "arvex-terminal-sim").string();
        const std::string erase = std::to_string(kEraseMs);
        ::execl(tool.c_str(), tool.c_str(), "--ports", ports.c_str(), "--com", "1", "--baud",
                "19200", "--erase-ms", erase.c_str(), "--exit-with-parent", nullptr);
        std::perror("arvex-terminal-sim");
        std::_Exit(127);
    }
    const auto started = Clock::now();
    while (!fs::exists(fs::symlink_status(ports / "COM1"))) {
        if (Clock::now() - started > std::chrono::seconds(10)) Fail("the simulator did not start");
        ::usleep(10000);
    }

    {
        const std::string programDir = dir.string() + "/";
        zp::TZpComPort port;
        port.SetPromptForPort(false);
        port.SetInSize(8192);
        port.SetOutSize(8192);
        device::LinkState state;
        platform::WindowTimer replyTimeout, delay, comSearch;
        device::SerialLink link(port, state, {replyTimeout, delay, comSearch}, programDir);
        replyTimeout.OnTimer = [&] { link.Timer_TimoutTimer(); };
        delay.OnTimer = [&] { link.TimerDelayTimer(); };
        comSearch.OnTimer = [&] { link.TimerComSearchTimer(); };
        i18n::TextTable texts;
        i18n::SetDefaultTexts(texts);
        platform::SilentMessageSink messages;
        ziparchive::TZipReader zip;
        zip.SetMessageSink(&messages);
        QuietView view;
        device::PlantrixRun run(link, view, texts, messages, zip, programDir);

        const double cpuBefore = CpuMs();
        const auto begin = Clock::now();
        const std::string result = run.ProgramPlantrix(package);
        const auto end = Clock::now();
        const double cpu = CpuMs() - cpuBefore;
        if (result != texts[i18n::TextId::DownloadSuccess]) Fail("the run failed: " + result);

        const device::LinkCounters& c = link.Counters();
        const double wireMs = (c.bytesSent + c.bytesReceived) / kLineBytesPerSecond * 1000.0;
        const double sleepMs = c.framesSent * kFrameSleepMs;
        const double floorMs = wireMs + sleepMs + kIdentifySilenceMs + kEraseMs;
        const double wallMs = Ms(end - begin);
        std::printf("Plantrix run, %zu KiB firmware, simulator paced at 19200 baud\n", firmwareKiB);
        std::printf("  frames %zu, bytes sent %zu, received %zu, progress steps %d/%d\n",
                    c.framesSent, c.bytesSent, c.bytesReceived, view.stepped, view.steps);
        std::printf(
            "  floor   %9.0f ms (wire %.0f + frame sleeps %.0f + identify silence %.0f"
            " + erase %d)\n",
            floorMs, wireMs, sleepMs, kIdentifySilenceMs, kEraseMs);
        std::printf("  wall    %9.0f ms  = %.4f x floor (target <= 1.02)\n", wallMs,
                    wallMs / floorMs);
        std::printf("  after the search: %.0f ms\n", Ms(end - view.searchEnded));
        std::printf("  CPU     %9.0f ms  = %.2f %% of wall (target < 5 %%)\n", cpu,
                    100.0 * cpu / wallMs);
        std::printf("  peak memory %ld KiB\n", PeakKiB());

        // The run returns with the finish byte still on the paced line; the port stays open
        // until it has left, so that the terminal counts the run as complete.
        platform::ProcessMessagesUntil([&] { return port.OutbuffUsed() == 0; }, 1000);
        platform::ProcessMessagesUntil([] { return false; }, 100);
    }

    ::kill(sim, SIGTERM);
    ::waitpid(sim, nullptr, 0);
    std::error_code ec;
    fs::current_path("/", ec);
    fs::remove_all(dir, ec);
    return 0;
}
