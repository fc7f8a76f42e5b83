#pragma once
// What identify and program work with: the serial port and the link on it, set up as the
// window sets them up, the zip reader on the engine the window would load, and the stop on
// Ctrl+C, which abandons the link as the window's close does: the run stops between two
// frames and the port is closed.
#include <memory>
#include <string>

#include "archive/zip_reader.h"
#include "cli/context.h"
#include "cli/interrupt.h"
#include "comm/serial/zp_com_port.h"
#include "device/serial_link.h"

namespace cli {

class SerialJob {
  public:
    explicit SerialJob(Context& context);
    ~SerialJob();

    device::SerialLink& Link() { return *link_; }
    ziparchive::TZipReader& Zip() { return zip_; }

    bool Interrupted() const { return interrupt_.Interrupted(); }
    // The terminal was being written when Ctrl+C came.
    bool StoppedWhileWriting() const { return stoppedWhileWriting_; }
    // What the user is told after a stop; the exit status.
    int ReportStop();

  private:
    Context& context_;
    zp::TZpComPort port_;
    std::unique_ptr<device::SerialLink> link_;
    ziparchive::TZipReader zip_;
    bool stoppedWhileWriting_ = false;
    InterruptWatch interrupt_;
};

// The folder the zip engine is loaded from: the package's own, beside arvex, when it holds
// one (installed, or in the build folder), else the program folder, where the installation
// step fetches it.
std::string EngineFolder(const std::string& programDir);

// The package's folder beside arvex when it holds the engine, else empty.
std::string OwnPackageFolder();

}  // namespace cli
