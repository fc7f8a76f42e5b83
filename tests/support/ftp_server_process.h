#pragma once
// A real FTP server (pyftpdlib) on 127.0.0.1 and a free port, serving `root` to one
// account, for the lifetime of the object. The constructor returns once the server
// accepts connections (or has failed to start: see Error()). The server process ends with
// the object, and also when the test process dies, since it watches its standard input.
#include <sys/types.h>

#include <cstdint>
#include <string>

namespace testsupport {

class FtpServerProcess {
  public:
    static constexpr const char* kUser = "arvex";
    static constexpr const char* kPassword = "pRwnKoeZ";

    // `sendBytesPerSecond` above 0 slows the server's data connections down to that rate,
    // so that a test can act while a transfer runs.
    explicit FtpServerProcess(const std::string& root, const std::string& user = kUser,
                              const std::string& password = kPassword,
                              unsigned sendBytesPerSecond = 0);
    ~FtpServerProcess();
    FtpServerProcess(const FtpServerProcess&) = delete;
    FtpServerProcess& operator=(const FtpServerProcess&) = delete;

    bool Running() const { return port_ != 0; }
    std::uint16_t Port() const { return port_; }
    // Why the server did not start, empty when it runs.
    const std::string& Error() const { return error_; }

  private:
    void Stop();

    pid_t pid_ = -1;
    int toServer_ = -1;
    std::uint16_t port_ = 0;
    std::string error_;
};

}  // namespace testsupport
