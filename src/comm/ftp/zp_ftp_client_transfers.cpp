// Listings, retrieves and stores over the passive data connection: starting them, the
// block loops, and the rule that ends them.
#include <algorithm>

#include "comm/ftp/tcp_socket.h"
#include "comm/ftp/zp_ftp_client.h"

namespace zp {

namespace {
// Blocks per readiness call: enough to keep up with a fast link, few enough that the
// window's own events still get their turn.
constexpr int kBlocksPerWake = 16;

bool SafeName(const std::string& s) {
    return !s.empty() && s.find_first_of("\r\n\0", 0, 3) == std::string::npos;
}
}  // namespace

// ---------------------------------------------------------------- starting

bool TZpCustomFtpClient::ListDirectory(const std::string& path, bool full) {
    if (state_ != fsIdle || !passiveMode_ || (!path.empty() && !SafeName(path))) return false;
    file_.Discard();
    std::string command = full ? "LIST" : "NLST";
    if (!path.empty()) command += " " + path;
    return StartTransfer(fsListing, command, true);
}

bool TZpCustomFtpClient::RetrieveFile(const std::string& remote, const std::string& local,
                                      std::uint8_t mode) {
    if (state_ != fsIdle || !passiveMode_ || !SafeName(remote) || local.empty()) return false;
    const bool opened = mode == 1   ? file_.CreateReplacing(local)
                        : mode == 0 ? file_.OpenAppending(local)
                                    : false;  // the restart modes are not offered
    if (!opened) return false;
    const bool ascii = fileType_ == ftAscii;
    // An ASCII transfer may change the byte count on the way: its size says nothing.
    if (!StartTransfer(fsReceiving, "RETR " + remote, ascii, ascii ? "" : "SIZE " + remote)) {
        return false;
    }
    PostLog(lcReceive);
    return true;
}

bool TZpCustomFtpClient::StoreFile(const std::string& remote, const std::string& local,
                                   std::uint8_t mode) {
    static constexpr const char* kCommands[] = {"APPE ", "STOR ", "STOU "};
    if (state_ != fsIdle || !passiveMode_ || !SafeName(remote) || mode > 2) return false;
    if (!file_.OpenReading(local)) return false;
    if (!StartTransfer(fsStoring, kCommands[mode] + remote, fileType_ == ftAscii)) return false;
    data_.WatchWritable(true);
    PostLog(lcStore);
    return true;
}

bool TZpCustomFtpClient::StartTransfer(TFtpProcessState state, const std::string& command,
                                       bool ascii, const std::string& askSize) {
    if (data_.Create() != 0) {
        file_.Discard();
        return false;
    }
    // Sent in the opposite order: TYPE, SIZE when asked, PASV, then the transfer command.
    commands_.Clear();
    commands_.Push(command);
    commands_.Push("PASV");
    if (!askSize.empty()) commands_.Push(askSize);
    commands_.Push(ascii ? "TYPE A" : "TYPE I");
    transfer_ = Transfer{};
    transfer_.checkSize = !askSize.empty();
    transferred_ = 0;
    // Also for a listing: a flag left from an earlier abort would end it without a word.
    abort_ = false;
    ChangeState(state);
    SendNextPending();
    return true;
}

// ---------------------------------------------------------------- data connection events

void TZpCustomFtpClient::DataReadable() {
    if (state_ == fsListing || state_ == fsReceiving) {
        ReadBlocks();
        return;
    }
    if (state_ != fsStoring) return;
    // Nothing is due on a store's connection but the server's close.
    std::int32_t code = 0;
    const ssize_t n = data_.Receive(buffer_.data(), buffer_.size(), code);
    if (n == tcp::kFailed) {
        DataFailed(code);
    } else if (n == 0) {
        transfer_.dataClosed = true;
        data_.Close(false);
        if (!transfer_.sendDone) {
            FailTransfer(wsConnectionAborted, ErrorMessage(wsConnectionAborted), false);
        }
    }
}

void TZpCustomFtpClient::DataWritable() {
    if (state_ == fsStoring) {
        SendBlocks();
    } else {
        data_.WatchWritable(false);
    }
}

void TZpCustomFtpClient::DataFailed(std::int32_t code) {
    // One report per transfer: the first failure ends it.
    if (abort_) return;
    // A reset comes from a server that had taken the connection, also when it is the
    // connect's outcome.
    if ((data_.Connected() || code == wsConnectionReset) && state_ > fsIdle) {
        // The transfer command is out: the server answers too, and its answer is the one
        // report, or this failure is when the server takes the transfer as complete.
        FailTransfer(code, ErrorMessage(code), false);
        return;
    }
    // A data connection that never came up gets no answer worth waiting for.
    abort_ = true;
    if (state_ > fsIdle) ChangeState(fsIdle);
    PostSocketError(code);
}

// ---------------------------------------------------------------- block loops

void TZpCustomFtpClient::ReadBlocks() {
    for (int i = 0; i < kBlocksPerWake && data_.IsOpen(); ++i) {
        std::int32_t code = 0;
        const ssize_t n = data_.Receive(buffer_.data(), buffer_.size(), code);
        if (n == tcp::kWouldBlock) return;
        if (n == tcp::kFailed) {
            DataFailed(code);
            return;
        }
        if (n == 0) {
            transfer_.dataClosed = true;
            data_.Close(false);
            TryComplete();
            return;
        }
        const auto count = static_cast<std::size_t>(n);
        transferred_ += count;
        if (state_ == fsListing) {
            if (transfer_.listing.size() + count > kListingLimit) {
                FailTransfer(wsMessageTooLong, ErrorMessage(wsMessageTooLong));
                return;
            }
            transfer_.listing.append(reinterpret_cast<const char*>(buffer_.data()), count);
            continue;
        }
        if (!file_.Write(buffer_.data(), count)) {
            FailTransfer(kLocalFileError, "451 " + file_.Error());
            return;
        }
        RestartTransferTimerForBlock();
        PostStatus(scProgress);
    }
}

void TZpCustomFtpClient::SendBlocks() {
    if (!data_.IsOpen() || !file_.IsOpen() || transfer_.sendDone) return;
    std::uint64_t& position = transfer_.storePosition;
    bool atEnd = position >= file_.Size();
    for (int i = 0; i < kBlocksPerWake && !atEnd && !abort_; ++i) {
        RestartTransferTimerForBlock();
        const auto chunk =
            static_cast<std::size_t>(std::min<std::uint64_t>(kBlockSize, file_.Size() - position));
        const long got = file_.ReadAt(position, buffer_.data(), chunk);
        if (got < 0) {
            FailTransfer(kLocalFileError, "451 " + file_.Error());
            return;
        }
        if (got == 0) {  // the file shrank while it was being sent
            atEnd = true;
            break;
        }
        std::int32_t code = 0;
        const ssize_t sent = data_.Send(buffer_.data(), static_cast<std::size_t>(got), code);
        if (sent == tcp::kWouldBlock) return;
        if (sent == tcp::kFailed) {
            DataFailed(code);
            return;
        }
        position += static_cast<std::uint64_t>(sent);
        transferred_ += static_cast<std::uint64_t>(sent);
        atEnd = position >= file_.Size();
        PostStatus(scProgress);
    }
    if (!atEnd && !abort_) return;  // more at the next writable call
    // The end of data for the server; it confirms with 226 and closes its side.
    data_.ShutdownSending();
    data_.WatchWritable(false);
    transfer_.sendDone = true;
    TryComplete();
}

// ---------------------------------------------------------------- ending

void TZpCustomFtpClient::FailTransfer(std::int32_t code, const std::string& text, bool here) {
    if (transfer_.failCode != 0) return;
    transfer_.failCode = code;
    transfer_.failText = text;
    transfer_.failedHere = here;
    // The reset tells the server to give up too; its answer then ends the operation.
    CloseDataConnection(true);
    transfer_.dataClosed = true;
    TryComplete();
}

void TZpCustomFtpClient::TryComplete() {
    const bool dataDone =
        state_ == fsStoring ? transfer_.sendDone || transfer_.failCode != 0 : transfer_.dataClosed;
    if (!dataDone || !transfer_.confirmed) return;
    if (transfer_.failCode != 0) {
        const std::int32_t code = transfer_.failCode;
        const std::string text = transfer_.failText;
        ChangeState(fsIdle);
        PostError(code, text);
        return;
    }
    // An aborted transfer ends with the server's answer and without success.
    if (abort_) {
        ChangeState(fsIdle);
        return;
    }
    data_.Close(false);
    if (state_ == fsListing) {
        std::string listing = std::move(transfer_.listing);
        ChangeState(fsIdle);
        PostStatus(scDataAvail, std::move(listing));
        return;
    }
    // A server that cut the data connection short may still confirm the transfer.
    if (const std::string mismatch = SizeMismatch(); !mismatch.empty()) {
        ChangeState(fsIdle);
        PostError(kSizeMismatch, mismatch);
        return;
    }
    if (!file_.Commit()) {
        const std::string text = "451 " + file_.Error();
        ChangeState(fsIdle);
        PostError(kLocalFileError, text);
        return;
    }
    ChangeState(fsIdle);
    PostStatus(scTransferOK);
}

std::string TZpCustomFtpClient::SizeMismatch() const {
    if (state_ != fsReceiving || !transfer_.expectedSize ||
        *transfer_.expectedSize == transferred_) {
        return {};
    }
    return "Received " + std::to_string(transferred_) + " of " +
           std::to_string(*transfer_.expectedSize) + " bytes";
}

void TZpCustomFtpClient::CloseDataConnection(bool reset) {
    data_.Close(reset);
    file_.Discard();
}

}  // namespace zp
