#include "programming_support.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>

#include "frame_hex.h"
#include "platform/files.h"
#include "zip_builder.h"

namespace progtest {

namespace {

std::string Le32(uint32_t v) {
    std::string s(4, '\0');
    ziptest::Put32(s, 0, v);
    return s;
}

uint32_t ByteSum(const std::string& s) {
    uint32_t sum = 0;
    for (const char c : s) sum += static_cast<uint8_t>(c);
    return sum;
}

std::string Text(const Bytes& b) { return {b.begin(), b.end()}; }

}  // namespace

Bytes Pattern(std::size_t n, int seed) {
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>((i * 131 + seed * 7) & 0xFF);
    return b;
}

std::vector<std::string> Records(char type, uint32_t address, const Bytes& data,
                                 std::size_t perLine) {
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < data.size(); at += perLine) {
        const std::size_t n = std::min(perLine, data.size() - at);
        lines.push_back(frametest::SRecord(
            type, address + static_cast<uint32_t>(at),
            std::vector<uint8_t>(data.begin() + static_cast<std::ptrdiff_t>(at),
                                 data.begin() + static_cast<std::ptrdiff_t>(at + n))));
    }
    return lines;
}

std::string Firmware::S19Text() const {
    std::string text;
    for (const std::string& line : s19) text += line + "\r\n";
    return text;
}

Bytes Firmware::ExpectedFlash(uint8_t hardwareCode) const {
    const termsim::FlashWindow window = termsim::FlashWindowFor(hardwareCode);
    Bytes image(window.size, 0xFF);
    for (const Segment& s : segments) {
        if (!s.insideWindow) continue;
        std::copy(s.data.begin(), s.data.end(),
                  image.begin() + static_cast<std::ptrdiff_t>(s.address - window.start));
    }
    return image;
}

Firmware FirmwareFor(uint8_t hardwareCode) {
    Firmware f;
    f.vgf = Text(Pattern(130, 1));  // two full blocks and a short one
    f.vtf = Text(Pattern(70, 2));
    f.vgfAddress = 0x2000;
    if (hardwareCode == 3) {
        f.segments = {{0x01FFF0, Pattern(16, 3), false},
                      {0x020000, Pattern(200, 4), true},
                      {0x031000, Pattern(96, 5), true},
                      {0x03E000, Pattern(16, 6), false}};
    } else {
        f.segments = {{0x001000, Pattern(200, 3), true},
                      {0x012000, Pattern(96, 4), true},
                      {0x01E000, Pattern(16, 5), false}};
    }
    f.s19.push_back("S00600004844521B");
    for (const Segment& s : f.segments) {
        const char type = s.address <= 0xFFFF ? '1' : '2';
        for (const std::string& line : Records(type, s.address, s.data, type == '1' ? 16 : 32))
            f.s19.push_back(line);
    }
    f.s19.push_back(hardwareCode == 3 ? "S804000000FB" : "S9030000FC");
    return f;
}

std::string IndexOf(const Firmware& f) {
    return Le32(ByteSum(f.vgf)) + Le32(ByteSum(f.vtf)) + Le32(ByteSum(f.S19Text())) +
           Le32(f.vgfAddress);
}

std::string PackageBytes(const Firmware& f, const std::string& baseName, const std::string* vif) {
    ziptest::ZipBuilder zip;
    zip.AddFile(baseName + ".s19", f.S19Text())
        .AddFile(baseName + ".vif", vif != nullptr ? *vif : IndexOf(f), false)
        .AddFile(baseName + ".vgf", f.vgf)
        .AddFile(baseName + ".vtf", f.vtf);
    return zip.Build();
}

Bytes LoaderData(std::size_t records) { return Pattern(16 * records, 9); }

std::vector<std::string> LoaderLines(std::size_t records) {
    std::vector<std::string> lines{"S0030000FC"};
    for (const std::string& line : Records('1', 0, LoaderData(records), 16)) lines.push_back(line);
    lines.push_back("S9030000FC");
    return lines;
}

void WriteBootloaders(const std::string& programDir, std::size_t records) {
    for (const char* name : {"BLdg128.prg", "BLdg128A.prg", "BLS12G128.prg"})
        ASSERT_TRUE(platform::WriteTextLines(programDir + name, LoaderLines(records)));
}

Bytes ExpectedImage(std::size_t size, const std::vector<Placed>& placed,
                    const std::function<bool(uint32_t)>& summed, uint32_t checksumAt) {
    Bytes image(size, 0xFF);
    for (const Placed& p : placed)
        std::copy(p.data.begin(), p.data.end(), image.begin() + p.offset);
    uint32_t sum = 0;
    for (uint32_t at = 0; at < size; ++at)
        if (summed(at)) sum += image[at];
    image[checksumAt] = static_cast<uint8_t>(~sum >> 8);
    image[checksumAt + 1] = static_cast<uint8_t>(~sum);
    return image;
}

// ---------------------------------------------------------------- terminals

Terminals::Terminals(std::string portsFolder) : folder_(std::move(portsFolder)) {
    std::filesystem::create_directories(folder_);
}

Terminals::~Terminals() { StopAll(); }

termsim::TerminalSimulator& Terminals::Start(
    unsigned com, const std::function<void(termsim::SimOptions&)>& adjust) {
    termsim::SimOptions o;
    o.portsFolder = folder_;
    o.comNumber = com;
    o.model.eraseTime = std::chrono::milliseconds(10);
    o.onActivity = [this, com] { Contact(com); };
    if (adjust) adjust(o);
    auto sim = std::make_unique<termsim::TerminalSimulator>(o);
    termsim::TerminalSimulator& ref = *sim;
    {
        std::lock_guard<std::mutex> g(lock_);
        sims_[com] = std::move(sim);
    }
    std::string error;
    EXPECT_TRUE(ref.Start(error)) << "COM" << com << ": " << error;
    return ref;
}

termsim::TerminalSimulator& Terminals::At(unsigned com) {
    std::lock_guard<std::mutex> g(lock_);
    return *sims_.at(com);
}

void Terminals::Contact(unsigned com) {
    std::lock_guard<std::mutex> g(lock_);
    const auto it = sims_.find(com);
    if (it == sims_.end() || it->second->FramesReceived() == 0) return;
    if (std::find(order_.begin(), order_.end(), com) == order_.end()) order_.push_back(com);
}

std::vector<unsigned> Terminals::FirstContactOrder() const {
    std::lock_guard<std::mutex> g(lock_);
    return order_;
}

void Terminals::StopAll() {
    std::map<unsigned, std::unique_ptr<termsim::TerminalSimulator>> sims;
    {
        std::lock_guard<std::mutex> g(lock_);
        sims.swap(sims_);
    }
    // Stopped outside the lock: a simulator's last activity report takes it.
    for (auto& [com, sim] : sims) sim->Stop();
}

// ---------------------------------------------------------------- a forbidden port

bool PlaceForbiddenPort(const std::string& path) {
    // Opening this file for writing is refused with EACCES even to root.
    const char* forbidden = "/proc/sys/kernel/version";
    const int fd = ::open(forbidden, O_RDWR | O_CLOEXEC);
    if (fd >= 0) {
        ::close(fd);
        return false;
    }
    if (errno != EACCES) return false;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::filesystem::create_symlink(forbidden, path);
    return true;
}

// ---------------------------------------------------------------- a held port

PortHolder::PortHolder(const std::string& path) {
    fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ >= 0 && ::flock(fd_, LOCK_EX | LOCK_NB) != 0) Release();
}

PortHolder::~PortHolder() { Release(); }

void PortHolder::Release() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

}  // namespace progtest
