// A Plantrix programming run against the terminal simulator pacing its line at 19200 baud,
// beside the floor that the protocol itself sets.
//
//   bench_plantrix_run [firmware KiB (40)]
//
// The floor is computed from what actually went over the line: every byte sent and
// received at 1920 bytes/s (8N1 at 19200 baud), the 5 ms sleep before each frame, and the
// waits the terminal and the protocol impose (the 2000 ms of silence that confirms the
// identification, the simulator's erase time before "E").
#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "device/plantrix_run.h"
#include "frame_hex.h"
#include "i18n/text_table.h"
#include "platform/message_wait.h"
#include "run_bench_support.h"

namespace fs = std::filesystem;
using namespace runbench;

namespace {

constexpr int kEraseMs = 200;

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

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const size_t firmwareKiB = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 40;
    ProgramFolder folder("bench_plantrix_run");
    const std::string package = WritePackage(folder.Path(), firmwareKiB * 1024);
    SimulatorProcess sim(folder, {"--erase-ms", std::to_string(kEraseMs)});

    BenchLink bench(folder.ProgramDir());
    const i18n::TextTable& texts = bench.texts;
    const QuietView& view = bench.view;
    device::PlantrixRun run(bench.Parts());

    const double cpuBefore = CpuMs();
    const auto begin = Clock::now();
    const std::string result = run.ProgramPlantrix(package);
    const auto end = Clock::now();
    const double cpu = CpuMs() - cpuBefore;
    if (result != texts[i18n::TextId::DownloadSuccess]) Fail("the run failed: " + result);

    const device::LinkCounters& c = bench.link->Counters();
    const double wireMs = WireMs(static_cast<double>(c.bytesSent + c.bytesReceived));
    const double sleepMs = c.framesSent * kFrameSleepMs;
    const double floorMs = wireMs + sleepMs + kIdentifySilenceMs + kEraseMs;
    const double wallMs = Ms(end - begin);
    std::printf("Plantrix run, %zu KiB firmware, simulator paced at 19200 baud\n", firmwareKiB);
    std::printf("  frames %zu, bytes sent %zu, received %zu, progress steps %d/%d\n", c.framesSent,
                c.bytesSent, c.bytesReceived, view.stepped, view.steps);
    std::printf(
        "  floor   %9.0f ms (wire %.0f + frame sleeps %.0f + identify silence %.0f"
        " + erase %d)\n",
        floorMs, wireMs, sleepMs, kIdentifySilenceMs, kEraseMs);
    std::printf("  wall    %9.0f ms  = %.4f x floor (target <= 1.02)\n", wallMs, wallMs / floorMs);
    std::printf("  after the search: %.0f ms\n", Ms(end - view.searchEnded));
    std::printf("  CPU     %9.0f ms  = %.2f %% of wall (target < 5 %%)\n", cpu,
                100.0 * cpu / wallMs);
    std::printf("  peak memory %ld KiB\n", PeakKiB());

    // The run returns with the finish byte still on the paced line; the port stays open
    // until it has left, so that the terminal counts the run as complete.
    platform::ProcessMessagesUntil([&] { return bench.port.OutbuffUsed() == 0; }, 1000);
    platform::ProcessMessagesUntil([] { return false; }, 100);
    return 0;
}
