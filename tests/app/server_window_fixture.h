#pragma once
// A window in its program folder and a real FTP server (pyftpdlib on 127.0.0.1) laid out
// as the update server is: "UpdateFiles", "ProgramFiles" and "Registration" under its
// root. The window's generated scripts are recorded instead of run.
#include <filesystem>
#include <memory>

#include "ftp_server_process.h"
#include "window_fixture.h"

namespace testsupport {

// Lines of page 2's status log during an update check, in the built-in texts.
namespace status {
inline constexpr const char* kConnecting = "Connecting to server...";
inline constexpr const char* kCouldNotConnect = "Could not connect to Solvenda server";
inline constexpr const char* kFound = "Found new files!";
inline constexpr const char* kLatest = "Your files are the latest!";
inline constexpr const char* kComplete = "Download complete!";
inline constexpr const char* kDisconnected = "Disconnected from server";
}  // namespace status

class ServerWindowTest : public WindowTest {
  protected:
    ServerWindowTest() {
        for (const char* f : {"UpdateFiles", "ProgramFiles", "Registration"})
            std::filesystem::create_directories(serverRoot.Path() + f);
    }
    // The window goes before the server it may still be connected to.
    ~ServerWindowTest() override { form.reset(); }

    // Starts the server on the folders as the test has filled them.
    void Serve(unsigned sendBytesPerSecond = 0) {
        ftp = std::make_unique<FtpServerProcess>(serverRoot.Path(), FtpServerProcess::kUser,
                                                 FtpServerProcess::kPassword, sendBytesPerSecond);
        ASSERT_TRUE(ftp->Running()) << ftp->Error();
        PointAt(ftp->Port());
    }
    void PointAt(std::uint16_t port) {
        serverAddress.reset();  // puts the earlier value back before the new one is set
        serverAddress = std::make_unique<ScopedEnvironment>("ARVEX_FTP_SERVER",
                                                            "127.0.0.1:" + std::to_string(port));
    }
    app::TForm1& StartWindow(std::vector<std::string> args = {}) {
        app::TForm1& w = Start(std::move(args));
        w.StartScript = [this](const std::string& path, std::string&) {
            startedScripts.push_back(path);
            return true;
        };
        return w;
    }

    TempFolder serverRoot;
    ScopedEnvironment user{"ARVEX_FTP_USER", FtpServerProcess::kUser};
    std::unique_ptr<FtpServerProcess> ftp;
    std::unique_ptr<ScopedEnvironment> serverAddress;
    std::vector<std::string> startedScripts;
};

}  // namespace testsupport
