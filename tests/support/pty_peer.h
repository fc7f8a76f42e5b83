#pragma once
// The far end of a serial line for tests: a kernel pseudo-terminal whose slave side is
// reached as COM n through a link in the ARVEX_COM_PORTS folder, and whose master side is
// read by a thread of its own and written by the test.
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace serialtest {

class PtyPeer {
public:
    // Makes <folder>/COM<n> a link to a fresh pseudo-terminal. `packetMode`: the master
    // also learns when the slave's output is stopped by XOFF (see WaitForOutputStopped).
    PtyPeer(const std::string& folder, unsigned comNumber, bool packetMode = false);
    ~PtyPeer();
    PtyPeer(const PtyPeer&) = delete;
    PtyPeer& operator=(const PtyPeer&) = delete;

    const std::string& SlavePath() const { return slavePath_; }
    // The slave side the peer keeps open: the line settings a port applied can be read
    // back through it.
    int SlaveFd() const { return slave_; }

    // Writes all of `bytes` to the line (blocking while the line is full).
    void Write(const std::string& bytes);
    // Writes in a thread of its own; JoinWriter waits for it to finish.
    void StartWriting(std::string bytes);
    void JoinWriter();

    // Everything received so far.
    std::string Received() const;
    // Waits (without processing GUI events) until `count` bytes have been received.
    bool WaitForBytes(std::size_t count, int timeoutMs = 10000) const;
    // Packet mode only: waits until the slave's output has been stopped.
    bool WaitForOutputStopped(int timeoutMs = 5000) const;

    // The device goes away: the reader ends and the master side is closed.
    void CloseMaster();

private:
    void ReadLoop();
    void StopReader();

    int master_ = -1;
    int slave_ = -1;  // kept open so that closing the port does not hang the line up
    int stopFd_ = -1;
    bool packetMode_;
    std::string slavePath_;
    std::string linkPath_;
    std::thread reader_;
    std::thread writer_;
    mutable std::mutex lock_;
    mutable std::condition_variable changed_;
    std::string received_;
    bool outputStopped_ = false;
};

// Waits, processing GUI events, until `done()` holds; false after `timeoutMs`. For
// conditions that no event announces it re-checks every millisecond.
bool WaitFor(const std::function<bool()>& done, int timeoutMs = 10000);

}  // namespace serialtest
