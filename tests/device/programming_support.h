#pragma once
// What the programming tests put in front of the program: firmware packages and RAM
// bootloader files built here, simulated terminals in a ports folder, and a port held as
// another program holds it. The expected flash contents are laid out from the records as
// the test wrote them, not by the program's own reading of them.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "terminal-sim/terminal_simulator.h"

namespace progtest {

using termsim::Bytes;

Bytes Pattern(std::size_t n, int seed);

// Data written by S1 or S2 records at an address, and whether the hardware's flash window
// holds the records' start.
struct Segment {
    uint32_t address = 0;
    Bytes data;
    bool insideWindow = true;
};

struct Firmware {
    std::string vgf;
    std::string vtf;
    uint32_t vgfAddress = 0x1000;
    std::vector<std::string> s19;  // the lines of the s19 member
    std::vector<Segment> segments;

    std::string S19Text() const;
    // The flash window of `hardwareCode` as the records should leave it: FF where none
    // wrote.
    Bytes ExpectedFlash(uint8_t hardwareCode) const;
};

// S1 (16-bit addresses) or S2 records of `perLine` bytes each for `data` from `address`.
std::vector<std::string> Records(char type, uint32_t address, const Bytes& data,
                                 std::size_t perLine);

// A firmware for the hardware: records inside its flash window in S1 and S2 form, and
// records just outside it that must not be sent.
Firmware FirmwareFor(uint8_t hardwareCode);

// The zip archive of a package: the s19, vif, vgf and vtf members named after `baseName`,
// the vif holding the true sums unless `vif` is given.
std::string PackageBytes(const Firmware& firmware, const std::string& baseName = "FW0104",
                         const std::string* vif = nullptr);
std::string IndexOf(const Firmware& firmware);

// A RAM bootloader file: S0, `records` S1 lines of 16 bytes from 0, S9.
std::vector<std::string> LoaderLines(std::size_t records = 4);
Bytes LoaderData(std::size_t records = 4);
// Writes the three bootloader files of the hardware codes into `programDir`.
void WriteBootloaders(const std::string& programDir, std::size_t records = 4);

// The Tessara and Granulo images as the rule lays them out: FF, the placed bytes, and the
// complemented 32-bit sum of the summed offsets, bits 15..8 at `checksumAt` and 7..0 after.
struct Placed {
    uint32_t offset = 0;
    Bytes data;
};
Bytes ExpectedImage(std::size_t size, const std::vector<Placed>& placed,
                    const std::function<bool(uint32_t)>& summed, uint32_t checksumAt);

// Simulated terminals, each on COM n of one ports folder, on threads of their own.
class Terminals {
  public:
    explicit Terminals(std::string portsFolder);
    ~Terminals();
    Terminals(const Terminals&) = delete;
    Terminals& operator=(const Terminals&) = delete;

    // Starts a terminal in program mode answering hardware code 1 (unpaced, a short erase
    // time), adjusted by `adjust`.
    termsim::TerminalSimulator& Start(unsigned com,
                                      const std::function<void(termsim::SimOptions&)>& adjust = {});
    termsim::TerminalSimulator& At(unsigned com);
    // The COM numbers in the order in which their first frame arrived.
    std::vector<unsigned> FirstContactOrder() const;
    void StopAll();

  private:
    void Contact(unsigned com);

    std::string folder_;
    mutable std::mutex lock_;
    std::map<unsigned, std::unique_ptr<termsim::TerminalSimulator>> sims_;
    std::vector<unsigned> order_;
};

// Puts at `path` (a COM n of a ports folder) a device that exists but that this user may not
// open for reading and writing. False where the system gives no such device to point at.
bool PlaceForbiddenPort(const std::string& path);

// Holds a port locked as another program holds it, until released.
class PortHolder {
  public:
    explicit PortHolder(const std::string& path);
    ~PortHolder();
    PortHolder(const PortHolder&) = delete;
    PortHolder& operator=(const PortHolder&) = delete;
    bool Holding() const { return fd_ >= 0; }
    void Release();

  private:
    int fd_ = -1;
};

}  // namespace progtest
