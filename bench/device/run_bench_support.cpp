#include "run_bench_support.h"

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace fs = std::filesystem;

namespace runbench {

namespace {
fs::path SelfFolder() { return fs::read_symlink("/proc/self/exe").parent_path(); }
}  // namespace

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
    std::fprintf(stderr, "benchmark: %s\n", what.c_str());
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

ProgramFolder::ProgramFolder(const std::string& benchName) {
    std::string pattern = (fs::temp_directory_path() / (benchName + ".XXXXXX")).string();
    if (::mkdtemp(pattern.data()) == nullptr) Fail("no temporary folder");
    dir_ = pattern;
    fs::create_directories(Ports());
    fs::copy_file(SelfFolder() / "ZipEngine.so", dir_ / "ZipEngine.so");
    fs::current_path(dir_);
    ::setenv("ARVEX_COM_PORTS", Ports().c_str(), 1);
}

ProgramFolder::~ProgramFolder() {
    std::error_code ec;
    fs::current_path("/", ec);
    fs::remove_all(dir_, ec);
}

SimulatorProcess::SimulatorProcess(const ProgramFolder& folder,
                                   const std::vector<std::string>& arguments) {
    const std::string tool = (SelfFolder() / "arvex-terminal-sim").string();
    std::vector<std::string> args{tool,     "--ports", folder.Ports().string(), "--com", "1",
                                  "--baud", "19200",   "--exit-with-parent"};
    args.insert(args.end(), arguments.begin(), arguments.end());
    pid_ = ::fork();
    if (pid_ == 0) {
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execv(tool.c_str(), argv.data());
        std::perror("arvex-terminal-sim");
        std::_Exit(127);
    }
    const auto started = Clock::now();
    while (!fs::exists(fs::symlink_status(folder.Ports() / "COM1"))) {
        if (Clock::now() - started > std::chrono::seconds(10)) Fail("the simulator did not start");
        ::usleep(10000);
    }
}

SimulatorProcess::~SimulatorProcess() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
}

BenchLink::BenchLink(std::string folder) : programDir(std::move(folder)) {
    port.SetPromptForPort(false);
    port.SetInSize(8192);
    port.SetOutSize(8192);
    link = std::make_unique<device::SerialLink>(port, programDir);
    i18n::SetDefaultTexts(texts);
    zip.SetMessageSink(&messages);
}

}  // namespace runbench
