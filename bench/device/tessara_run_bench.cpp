// A Tessara run against the terminal simulator in Tessara mode pacing its line at 19200
// baud, beside the floor that the protocol itself sets.
//
//   bench_tessara_run [image KiB (40)]
//
// Two floors are printed, both from what actually went over the line (every byte sent and
// received at 1920 bytes/s, the 5 ms sleep before each frame, the 2000 ms of silence that
// confirms the identification, the simulator's erase time):
// - the plain sum, which adds the 20 ms after each page write and the pauses of the
//   Tessara path (200 ms after the opening, 500 ms after the first identification, 200 ms
//   after each end byte) on top of the wire time;
// - the floor as the line allows it, where each of those sleeps and pauses runs while the
//   frame before it is still on the wire, so only what is left of it counts.
#include <QCoreApplication>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <variant>
#include <vector>

#include "device/tessara_image.h"
#include "device/tessara_run.h"
#include "frame_hex.h"
#include "i18n/text_table.h"
#include "platform/files.h"
#include "run_bench_support.h"

namespace fs = std::filesystem;
using namespace runbench;

namespace {

constexpr int kEraseMs = 200;
constexpr size_t kOpeningBytes = 14;
constexpr size_t kIdentifyExchange = 8 + 1;    // the request and the terminal's answer
constexpr size_t kPageWriteExchange = 69 + 1;  // the page write and its acknowledgement

// S2 records of 32 bytes from page 0x30, window 0x8000 on, each page's window filled
// before the next page begins.
std::vector<std::string> TessaraLines(size_t bytes) {
    std::vector<std::string> lines{"S00600004844521B"};
    const std::vector<uint8_t> data = Pattern(bytes, 5);
    for (size_t at = 0; at < data.size(); at += 32) {
        const auto page = static_cast<uint32_t>(device::kTessaraFirstPage + at / 0x4000);
        const auto window = static_cast<uint32_t>(device::kTessaraWindow + at % 0x4000);
        const size_t n = std::min<size_t>(32, data.size() - at);
        lines.push_back(frametest::SRecord('2', page << 16 | window,
                                           {data.begin() + at, data.begin() + at + n}));
    }
    lines.push_back("S804000000FB");
    return lines;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const size_t imageKiB = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 40;
    ProgramFolder folder("bench_tessara_run");
    const std::vector<std::string> lines = TessaraLines(imageKiB * 1024);
    const fs::path file = folder.Path() / "Tessara_R0101.b12";
    WriteFile(file, Lines(lines));
    const auto image = device::BuildTessaraImage(lines);
    if (!std::holds_alternative<device::FlashImage>(image)) Fail("the image cannot be built");
    const size_t pageWrites = std::get<device::FlashImage>(image).dataBlocks.size();
    SimulatorProcess sim(folder, {"--mode", "tessara", "--erase-ms", std::to_string(kEraseMs)});

    BenchLink bench(folder.ProgramDir());
    const i18n::TextTable& texts = bench.texts;
    const QuietView& view = bench.view;
    device::TessaraRun run(bench.Parts());

    const double cpuBefore = CpuMs();
    const auto begin = Clock::now();
    const std::string result = run.ProgramTessara(file.string());
    const auto end = Clock::now();
    const double cpu = CpuMs() - cpuBefore;
    if (result != texts[i18n::TextId::DownloadSuccess]) Fail("the run failed: " + result);

    const device::LinkCounters& c = bench.link->Counters();
    const double wireMs = WireMs(static_cast<double>(c.bytesSent + c.bytesReceived));
    const double sleepMs = c.framesSent * kFrameSleepMs;
    const double settleMs = static_cast<double>(pageWrites) * device::kPageWriteSettleMs;
    const double pausesMs =
        device::kOpeningPauseMs + device::kIdentifyPauseMs + 2.0 * device::kEndBytePauseMs;
    const double sumMs = wireMs + sleepMs + settleMs + pausesMs + kIdentifySilenceMs + kEraseMs;
    // What of each sleep and pause outlasts the bytes on the wire beside it.
    const double hiddenMs =
        static_cast<double>(pageWrites) *
            std::min<double>(device::kPageWriteSettleMs, WireMs(kPageWriteExchange)) +
        WireMs(kOpeningBytes) + WireMs(kIdentifyExchange) + 2.0 * WireMs(1);
    const double floorMs = sumMs - hiddenMs;
    const double wallMs = Ms(end - begin);
    std::printf("Tessara run, %zu KiB of the image, simulator paced at 19200 baud\n", imageKiB);
    std::printf("  frames %zu (page writes %zu), bytes sent %zu, received %zu, progress %d/%d\n",
                c.framesSent, pageWrites, c.bytesSent, c.bytesReceived, view.stepped, view.steps);
    std::printf(
        "  sum     %9.0f ms (wire %.0f + frame sleeps %.0f + page settles %.0f + pauses %.0f"
        " + identify silence %.0f + erase %d)\n",
        sumMs, wireMs, sleepMs, settleMs, pausesMs, kIdentifySilenceMs, kEraseMs);
    std::printf("  floor   %9.0f ms (the sum less %.0f ms of sleeps and pauses under the wire)\n",
                floorMs, hiddenMs);
    std::printf("  wall    %9.0f ms  = %.4f x floor (target <= 1.02), %.4f x sum\n", wallMs,
                wallMs / floorMs, wallMs / sumMs);
    std::printf("  after the search: %.0f ms\n", Ms(end - view.searchEnded));
    std::printf("  CPU     %9.0f ms  = %.2f %% of wall\n", cpu, 100.0 * cpu / wallMs);
    std::printf("  peak memory %ld KiB\n", PeakKiB());
    return 0;
}
