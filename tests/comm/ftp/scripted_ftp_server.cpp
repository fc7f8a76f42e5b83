#include "scripted_ftp_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>

#include "platform/message_wait.h"

namespace ftptest {

namespace {
constexpr int kStepTimeoutMs = 10000;

int Listen(std::uint16_t& port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd, 4) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size) != 0) {
        ::close(fd);
        return -1;
    }
    port = ntohs(a.sin_port);
    return fd;
}

void CloseFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}
}  // namespace

namespace play {
std::vector<Step> Login() {
    return {Send("220 Scripted server ready\r\n"), Expect("USER "), Send("331 Password\r\n"),
            Expect("PASS "), Send("230 Logged in\r\n")};
}

std::vector<Step> LoginAndTransfer(const std::string& command) {
    std::vector<Step> steps =
        Login() + std::vector<Step>{Expect("TYPE "), Send("200 Type set\r\n")};
    if (command.rfind("RETR", 0) == 0) {
        steps = steps + std::vector<Step>{Expect("SIZE "), Send("502 SIZE not implemented\r\n")};
    }
    return steps + std::vector<Step>{Expect("PASV"), Pasv(), Expect(command),
                                     Send("150 Opening data connection\r\n"), AcceptData()};
}

std::vector<Step> ListUpdateFolder(const std::string& names) {
    return {Expect("CWD UpdateFiles"),
            Send("250 OK\r\n"),
            Expect("TYPE A"),
            Send("200 OK\r\n"),
            Expect("PASV"),
            Pasv(),
            Expect("NLST"),
            Send("150 Here\r\n"),
            AcceptData(),
            SendData(names),
            CloseData(),
            Send("226 Done\r\n")};
}
}  // namespace play

std::vector<Step> operator+(std::vector<Step> a, const std::vector<Step>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

ScriptedFtpServer::ScriptedFtpServer(std::vector<Step> script) : script_(std::move(script)) {
    listener_ = Listen(port_);
    stop_ = ::eventfd(0, EFD_CLOEXEC);
    thread_ = std::thread([this] { Run(); });
}

ScriptedFtpServer::~ScriptedFtpServer() {
    {
        std::lock_guard<std::mutex> g(lock_);
        stopping_ = true;
        gateOpen_ = true;
    }
    gateOpened_.notify_all();
    const std::uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(stop_, &one, sizeof one);
    thread_.join();
    CloseFd(data_);
    CloseFd(dataListener_);
    CloseFd(control_);
    CloseFd(listener_);
    CloseFd(stop_);
}

void ScriptedFtpServer::OpenGate() {
    {
        std::lock_guard<std::mutex> g(lock_);
        gateOpen_ = true;
    }
    gateOpened_.notify_all();
}

std::vector<std::string> ScriptedFtpServer::Commands() const {
    std::lock_guard<std::mutex> g(lock_);
    return commands_;
}

std::string ScriptedFtpServer::Failure() const {
    std::lock_guard<std::mutex> g(lock_);
    return failure_;
}

bool ScriptedFtpServer::ClientClosed() const {
    std::lock_guard<std::mutex> g(lock_);
    return clientClosed_;
}

bool ScriptedFtpServer::DataWasReset() const {
    std::lock_guard<std::mutex> g(lock_);
    return dataReset_;
}

void ScriptedFtpServer::Changed() {
    // The test waits in the GUI thread's event loop; let it look again.
    platform::WakeMessageWait();
}

bool ScriptedFtpServer::Fail(const std::string& why) {
    {
        std::lock_guard<std::mutex> g(lock_);
        if (failure_.empty()) failure_ = why;
    }
    return false;
}

bool ScriptedFtpServer::WaitReadable(int fd, int timeoutMs) {
    pollfd p[2] = {{fd, POLLIN, 0}, {stop_, POLLIN, 0}};
    if (::poll(p, 2, timeoutMs) <= 0) return false;
    return (p[1].revents & POLLIN) == 0 && (p[0].revents & (POLLIN | POLLHUP | POLLERR)) != 0;
}

bool ScriptedFtpServer::ReadControl(int timeoutMs) {
    if (control_ < 0 || !WaitReadable(control_, timeoutMs)) return false;
    char chunk[65536];
    const ssize_t n = ::recv(control_, chunk, sizeof chunk, 0);
    if (n <= 0) {
        std::lock_guard<std::mutex> g(lock_);
        clientClosed_ = true;
        return false;
    }
    pending_.append(chunk, static_cast<std::size_t>(n));
    return true;
}

bool ScriptedFtpServer::SendAll(int fd, const std::string& bytes) {
    std::size_t at = 0;
    while (at < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + at, bytes.size() - at, MSG_NOSIGNAL);
        if (n <= 0) return false;
        at += static_cast<std::size_t>(n);
    }
    return true;
}

void ScriptedFtpServer::Run() {
    if (listener_ >= 0 && WaitReadable(listener_, kStepTimeoutMs)) {
        control_ = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    }
    bool ok = control_ >= 0 || Fail("no control connection");
    for (const Step& step : script_) {
        if (!ok) break;
        ok = RunStep(step);
        Changed();
    }
    // From here on only listen: record what the client still sends, until it closes.
    do {
        for (std::size_t end; (end = pending_.find("\r\n")) != std::string::npos;) {
            std::lock_guard<std::mutex> g(lock_);
            commands_.push_back(pending_.substr(0, end));
            pending_.erase(0, end + 2);
        }
        Changed();
    } while (control_ >= 0 && ReadControl(-1));
    Changed();
}

bool ScriptedFtpServer::RunStep(const Step& step) {
    switch (step.kind) {
        case Step::Kind::Send:
            return SendAll(control_, step.text) || Fail("cannot send " + step.text);
        case Step::Kind::Expect: {
            std::size_t end;
            while ((end = pending_.find("\r\n")) == std::string::npos) {
                if (!ReadControl(kStepTimeoutMs)) return Fail("no command for " + step.text);
            }
            const std::string line = pending_.substr(0, end);
            pending_.erase(0, end + 2);
            {
                std::lock_guard<std::mutex> g(lock_);
                commands_.push_back(line);
            }
            return line.rfind(step.text, 0) == 0 || Fail("expected " + step.text + ", got " + line);
        }
        case Step::Kind::ExpectBytes:
            while (pending_.size() < step.text.size()) {
                if (!ReadControl(kStepTimeoutMs)) return Fail("missing bytes");
            }
            if (pending_.compare(0, step.text.size(), step.text) != 0) {
                return Fail("other bytes than expected");
            }
            pending_.erase(0, step.text.size());
            return true;
        case Step::Kind::Pasv:
        case Step::Kind::Pasv227: {
            std::uint16_t port = 0;
            CloseFd(dataListener_);
            dataListener_ = Listen(port);
            if (dataListener_ < 0) return Fail("no data listener");
            char line[160];
            if (step.kind == Step::Kind::Pasv) {
                std::snprintf(line, sizeof line, "227 Entering Passive Mode (%s,%d,%d)\r\n",
                              step.text.c_str(), port >> 8, port & 0xFF);
            } else {
                std::snprintf(line, sizeof line, "%s\r\n", step.text.c_str());
            }
            return SendAll(control_, line) || Fail("cannot send 227");
        }
        case Step::Kind::AcceptData:
            if (dataListener_ < 0 || !WaitReadable(dataListener_, kStepTimeoutMs)) {
                return Fail("no data connection");
            }
            CloseFd(data_);
            data_ = ::accept4(dataListener_, nullptr, nullptr, SOCK_CLOEXEC);
            return data_ >= 0 || Fail("accept failed");
        case Step::Kind::SendData:
            // A client may reset the data connection on purpose: that is no failure here.
            if (data_ >= 0) SendAll(data_, step.text);
            return data_ >= 0 || Fail("no data connection to send on");
        case Step::Kind::CloseData:
            CloseFd(data_);
            return true;
        case Step::Kind::ResetData: {
            const linger now{1, 0};
            if (data_ >= 0) ::setsockopt(data_, SOL_SOCKET, SO_LINGER, &now, sizeof now);
            CloseFd(data_);
            return true;
        }
        case Step::Kind::ReceiveData: {
            char chunk[65536];
            while (data_ >= 0 && WaitReadable(data_, kStepTimeoutMs)) {
                const ssize_t n = ::recv(data_, chunk, sizeof chunk, 0);
                if (n <= 0) {  // closed or reset by the client
                    std::lock_guard<std::mutex> g(lock_);
                    dataReset_ = n < 0;
                    CloseFd(data_);
                    return true;
                }
            }
            return Fail("the data connection did not end");
        }
        case Step::Kind::Gate: {
            std::unique_lock<std::mutex> g(lock_);
            gateOpened_.wait(g, [this] { return gateOpen_; });
            gateOpen_ = stopping_;
            return !stopping_;
        }
        case Step::Kind::Drop:
            CloseFd(data_);
            CloseFd(control_);
            return true;
        case Step::Kind::Reconnect:
            CloseFd(control_);
            pending_.clear();
            if (WaitReadable(listener_, kStepTimeoutMs))
                control_ = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            return control_ >= 0 || Fail("no second control connection");
    }
    return false;
}

}  // namespace ftptest
