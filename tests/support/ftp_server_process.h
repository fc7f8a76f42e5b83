#pragma once
// A real FTP server (pyftpdlib) on 127.0.0.1 and a free port, serving `root` to one
// account, for the lifetime of the object. The constructor returns once the server
// accepts connections (or has failed to start: see Error()). The server process ends with
// the object, and also when the test process dies, since it watches its standard input.
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

// A slow or breaking link, made by the server; everything is off by default.
struct FtpServerOptions {
    // Above 0: what the data connections send is paced at that rate, so that a test can act
    // while a transfer runs, or a benchmark knows how long the bytes take.
    unsigned sendBytesPerSecond = 0;
    // Retrieves are cut at these positions in the file, as a share of its size or in bytes
    // ("30%,60%,90%", "4096"), one cut per retrieve of a file, each at the first position
    // past its start that no earlier retrieve of it was cut at or started beyond. The
    // server then answers 426.
    std::string cutAt;
    bool cutByClosing = false;  // a cut closes the data connection; else it resets it
    int refuseRest = 0;         // 500 or 502: REST is answered with that code
    // Not empty: a line per retrieve is appended to this file (see ReadServedRetrieves).
    std::string transferLog;
};

// One retrieve as the server's transfer log tells it.
struct ServedRetrieve {
    std::uint64_t start = 0;  // the REST position, 0 without one
    std::uint64_t sent = 0;   // bytes handed to the data connection
    std::string outcome;      // "complete", "cut" or "ended" (the client went away)
    std::string path;         // as the client named it, from the login folder: "/a/b.vbf"
};

// The retrieves in a transfer log, in the order they ended; none when there is no log.
std::vector<ServedRetrieve> ReadServedRetrieves(const std::string& transferLog);

// Bytes to serve that differ at every offset, so that a file resumed at a wrong offset, or
// a shifted or repeated block, cannot pass as equal.
std::string Pattern(std::size_t size);

class FtpServerProcess {
  public:
    static constexpr const char* kUser = "arvex";
    static constexpr const char* kPassword = "pRwnKoeZ";

    // `sendBytesPerSecond` as in FtpServerOptions.
    explicit FtpServerProcess(const std::string& root, const std::string& user = kUser,
                              const std::string& password = kPassword,
                              unsigned sendBytesPerSecond = 0);
    FtpServerProcess(const std::string& root, const FtpServerOptions& options,
                     const std::string& user = kUser, const std::string& password = kPassword);
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
