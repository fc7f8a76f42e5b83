// Extraction speed of the reader and its engine beside Python's zipfile, on one archive
// written by Python: a 16 MiB and a 64 KiB deflated member, median of several runs each.
#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "archive/zip_reader.h"
#include "platform/message_sink.h"

namespace fs = std::filesystem;

namespace {

constexpr int kRuns = 9;

// Firmware-like content: S2 records with pseudo-random data, which deflates about as
// well as real packages do.
std::string SRecordText(size_t bytes, unsigned seed) {
    std::mt19937 gen(seed);
    static const char* kHex = "0123456789ABCDEF";
    std::string s;
    s.reserve(bytes + 64);
    uint32_t address = 0x20000;
    while (s.size() < bytes) {
        char line[64];
        int n = std::snprintf(line, sizeof line, "S214%06X", address);
        s.append(line, static_cast<size_t>(n));
        for (int i = 0; i < 32; ++i) s += kHex[gen() % 16];
        s += "00\r\n";
        address += 16;
    }
    s.resize(bytes);
    return s;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double TimeOurs(ziparchive::TZipReader& reader, const std::string& member, size_t expected) {
    std::vector<double> ms;
    for (int i = 0; i < kRuns; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        ziparchive::TZipStream* s = reader.ExtractToMemory(member);
        const auto t1 = std::chrono::steady_clock::now();
        if (s == nullptr || s->Size() != expected) {
            std::fprintf(stderr, "extraction of %s failed: %s\n", member.c_str(), reader.ErrMessage().c_str());
            std::exit(1);
        }
        ms.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
    }
    return Median(ms);
}

double TimePython(const std::string& archive, const std::string& member) {
    const std::string cmd =
        "python3 -c \"import sys,time,zipfile\n"
        "z=zipfile.ZipFile(sys.argv[1]); t=[]\n"
        "for i in range(int(sys.argv[3])):\n"
        "  a=time.perf_counter(); d=z.read(sys.argv[2]); t.append((time.perf_counter()-a)*1000)\n"
        "t.sort(); print(t[len(t)//2])\" " + archive + " " + member + " " + std::to_string(kRuns);
    FILE* p = ::popen(cmd.c_str(), "r");
    if (p == nullptr) return -1;
    char out[64] = {};
    const bool ok = std::fgets(out, sizeof out, p) != nullptr;
    if (::pclose(p) != 0 || !ok) return -1;
    return std::atof(out);
}

// What the reader has to tell the user goes to standard error.
class StderrSink : public platform::MessageSink {
public:
    platform::MessageAnswer Show(const std::string& text, platform::MessageButtons,
                                 const std::string&) override {
        std::fprintf(stderr, "message: %s\n", text.c_str());
        return platform::MessageAnswer::Ok;
    }
};

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const fs::path build = fs::canonical("/proc/self/exe").parent_path();
    const fs::path work = fs::temp_directory_path() / ("arvex-bench-" + std::to_string(::getpid()));
    fs::create_directories(work);
    fs::copy_file(build / "ZipEngine.so", work / "ZipEngine.so");
    fs::current_path(work);

    const std::vector<std::pair<std::string, size_t>> members = {{"FW0104.s19", 16u << 20}, {"FW0104.vtf", 64u << 10}};
    for (const auto& [name, size] : members) std::ofstream(name, std::ios::binary) << SRecordText(size, static_cast<unsigned>(size));
    const std::string make =
        "python3 -c \"import zipfile; z=zipfile.ZipFile('bench.vbf','w',zipfile.ZIP_DEFLATED); "
        "z.write('FW0104.s19'); z.write('FW0104.vtf'); z.close()\"";
    if (std::system(make.c_str()) != 0) {
        std::fprintf(stderr, "python3 is needed to write the archive\n");
        return 1;
    }

    StderrSink messages;
    ziparchive::TZipReader reader;
    reader.SetMessageSink(&messages);
    reader.SetZipFileName((work / "bench.vbf").string());
    std::vector<double> loadMs;
    for (int i = 0; i < kRuns; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        reader.EngineVersion();
        loadMs.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
    }

    std::printf("ExtractToMemory vs Python zipfile, median of %d runs, times in ms\n", kRuns);
    std::printf("%-12s %10s %12s %14s %12s %12s\n", "member", "bytes", "ours", "ours Dll_Load", "python",
                "ours/python");
    for (const auto& [name, size] : members) {
        // As the program runs: the engine is loaded and unloaded by every extraction.
        const double ours = TimeOurs(reader, name, size);
        reader.SetDll_Load(true);
        const double kept = TimeOurs(reader, name, size);
        reader.SetDll_Load(false);
        const double py = TimePython("bench.vbf", name);
        std::printf("%-12s %10zu %12.3f %14.3f %12.3f %12.2f\n", name.c_str(), size, ours, kept, py,
                    py > 0 ? ours / py : 0.0);
    }
    std::printf("engine load + unload alone: %.3f ms\n", Median(loadMs));
    fs::current_path(build);
    fs::remove_all(work);
    return 0;
}
