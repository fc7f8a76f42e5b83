#include "ftp_bench_support.h"

#include <time.h>

#include <algorithm>
#include <fstream>

namespace ftpbench {

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

double ThreadCpuSeconds() {
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

void ArrivalWatch::Line(const std::string& line) {
    const bool next = line.rfind("Downloading file: ", 0) == 0;
    if (fetching_ && (next || line == "Download complete!")) {
        record_.lastFileDone = Clock::now();
        ++record_.filesDone;
    }
    fetching_ = next;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void WriteFile(const std::filesystem::path& path, std::uint64_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    std::vector<char> block(std::min<std::uint64_t>(size, 1 << 20));
    std::uint32_t x = 2463534242u;
    for (std::uint64_t left = size; left > 0;) {
        // Never repeating: a resume at a wrong offset shows as different bytes.
        for (char& c : block) {
            x ^= x << 13;
            x ^= x >> 17;
            x ^= x << 5;
            c = static_cast<char>(x);
        }
        const auto n = static_cast<std::streamsize>(std::min<std::uint64_t>(left, block.size()));
        out.write(block.data(), n);
        left -= static_cast<std::uint64_t>(n);
    }
}

}  // namespace ftpbench
