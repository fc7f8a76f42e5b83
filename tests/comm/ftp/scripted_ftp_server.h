#pragma once
// An FTP server that plays a script, for replies a real server never sends: it listens on
// 127.0.0.1, takes one control connection and runs its steps in order on a thread of its
// own (send bytes, expect a command, offer a data port, stall, drop, ...). It records
// every command line and every raw byte it got; after the last step it keeps recording
// without answering. A step that cannot be done within its bound ends the script with a
// failure the test can show.
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace ftptest {

struct Step {
    enum class Kind {
        Send,         // bytes on the control connection
        Expect,       // the next command line starts with the text
        ExpectBytes,  // exactly these bytes come next (telnet answers)
        Pasv,         // a data listener, and a 227 naming it (text: the address part)
        Pasv227,      // a 227 with the text as its whole line, and a listener all the same
        AcceptData,   // the client's data connection
        SendData,     // bytes on the data connection
        CloseData,    // close the data connection
        ResetData,    // reset the data connection (an abortive close)
        ReceiveData,  // drain the data connection until the client closes or resets it
        Gate,         // wait until the test opens the gate
        Drop,         // close the control connection
        Reconnect,    // take the client's next control connection (after a Drop)
    };
    Kind kind;
    std::string text;
};

namespace play {
inline Step Send(std::string s) { return {Step::Kind::Send, std::move(s)}; }
inline Step Expect(std::string prefix) { return {Step::Kind::Expect, std::move(prefix)}; }
inline Step ExpectBytes(std::string b) { return {Step::Kind::ExpectBytes, std::move(b)}; }
inline Step Pasv(std::string address = "127,0,0,1") {
    return {Step::Kind::Pasv, std::move(address)};
}
inline Step Pasv227(std::string line) { return {Step::Kind::Pasv227, std::move(line)}; }
inline Step AcceptData() { return {Step::Kind::AcceptData, {}}; }
inline Step SendData(std::string s) { return {Step::Kind::SendData, std::move(s)}; }
inline Step CloseData() { return {Step::Kind::CloseData, {}}; }
inline Step ResetData() { return {Step::Kind::ResetData, {}}; }
inline Step ReceiveData() { return {Step::Kind::ReceiveData, {}}; }
inline Step Gate() { return {Step::Kind::Gate, {}}; }
inline Step Drop() { return {Step::Kind::Drop, {}}; }
inline Step Reconnect() { return {Step::Kind::Reconnect, {}}; }

// Greeting, USER, PASS and 230.
std::vector<Step> Login();
// Login, then the steps of a transfer up to its data connection: TYPE, for a retrieve
// SIZE (not implemented here), PASV, the command (prefix), 150, accept.
std::vector<Step> LoginAndTransfer(const std::string& command);
// After the login: "UpdateFiles" changed to and listed with `names`.
std::vector<Step> ListUpdateFolder(const std::string& names);
}  // namespace play

std::vector<Step> operator+(std::vector<Step> a, const std::vector<Step>& b);

class ScriptedFtpServer {
  public:
    explicit ScriptedFtpServer(std::vector<Step> script);
    ~ScriptedFtpServer();
    ScriptedFtpServer(const ScriptedFtpServer&) = delete;
    ScriptedFtpServer& operator=(const ScriptedFtpServer&) = delete;

    std::uint16_t Port() const { return port_; }
    void OpenGate();

    // Command lines received, without CR LF.
    std::vector<std::string> Commands() const;
    // Why a step failed, empty when none did.
    std::string Failure() const;
    // The client closed the control connection.
    bool ClientClosed() const;
    // A ReceiveData step ended with a reset instead of a clean end of data.
    bool DataWasReset() const;

  private:
    void Run();
    bool RunStep(const Step& step);
    bool Fail(const std::string& why);
    // Reads from the control connection into the buffer; false on close, stop or time-out.
    bool ReadControl(int timeoutMs);
    bool WaitReadable(int fd, int timeoutMs);
    bool SendAll(int fd, const std::string& bytes);
    void Changed();

    std::vector<Step> script_;
    std::uint16_t port_ = 0;
    int listener_ = -1;
    int control_ = -1;
    int dataListener_ = -1;
    int data_ = -1;
    int stop_ = -1;  // eventfd that ends every wait
    std::string pending_;

    mutable std::mutex lock_;
    std::condition_variable gateOpened_;
    bool gateOpen_ = false;
    bool stopping_ = false;
    std::vector<std::string> commands_;
    std::string failure_;
    bool clientClosed_ = false;
    bool dataReset_ = false;
    std::thread thread_;
};

}  // namespace ftptest
