#pragma once
// The simulator's end of the serial line: the master side of a pseudo-terminal whose slave
// the program opens as COM n through a link in its ports folder. The program opens and
// closes the slave as it likes; while nobody holds it the master reads as hung up, and an
// open of the slave is announced on a descriptor of its own so that waiting for it costs
// nothing.
#include <memory>
#include <string>

namespace termsim {

class PtyLine {
  public:
    // Creates the folder if needed. Fails when COM<n> exists there, unless it is a link to
    // a device that is gone (left behind by a simulator that was killed).
    static std::unique_ptr<PtyLine> Open(const std::string& folder, unsigned comNumber,
                                         std::string& error);
    ~PtyLine();
    PtyLine(const PtyLine&) = delete;
    PtyLine& operator=(const PtyLine&) = delete;

    int Master() const { return master_; }
    // Readable after the slave was opened; DrainOpenEvents empties it.
    int OpenEvents() const { return watch_; }
    void DrainOpenEvents() const;
    const std::string& LinkPath() const { return linkPath_; }
    const std::string& DevicePath() const { return devicePath_; }

    // Whether anybody holds the slave open.
    bool SlaveOpen() const;
    // Drops what was written to the line and not read before the slave was closed.
    void DiscardUnread() const;
    // Opens the slave and locks it as the program does, so that the port reads as held by
    // another program.
    bool Hold(std::string& error);
    // The adapter is pulled out: the master is closed and the link removed.
    void Unplug();

  private:
    PtyLine() = default;

    int master_ = -1;
    int watch_ = -1;
    int held_ = -1;
    bool linkPublished_ = false;
    std::string linkPath_;
    std::string devicePath_;
};

}  // namespace termsim
