// Listings, retrieves and stores over the passive data connection: starting them, the
// block loops, and the rule that ends them.
#include <algorithm>

#include "comm/ftp/tcp_socket.h"
#include "comm/ftp/zp_ftp_client.h"

namespace zp {

namespace {
// What one readiness call moves at most: enough to keep up with a fast link, little enough
// that the window's own events still get their turn.
constexpr int kBlocksPerWake = 16;
constexpr std::size_t kBytesPerWake = 4u * 1024 * 1024;
// What the data connection may still hand over once the server has given up on a restart
// retrieve: what was under way, not a stream that would hold the window.
constexpr std::size_t kKeepAfterFailure = 4u * 1024 * 1024;

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
                                      std::uint8_t mode, const std::string& partial) {
    if (state_ != fsIdle || !passiveMode_ || !SafeName(remote) || local.empty()) return false;
    const bool ascii = fileType_ == ftAscii;
    bool opened = false;
    switch (mode) {
        case kRetrieveAppend:
            opened = partial.empty() && file_.OpenAppending(local);
            break;
        case kRetrieveReplace:
            opened = partial.empty() && file_.CreateReplacing(local);
            break;
        case kRetrieveRestart:
            // An ASCII transfer's offsets are not the local file's.
            opened = !ascii && !partial.empty() && partial != local &&
                     file_.OpenResuming(partial, local);
            break;
        default:
            break;
    }
    if (!opened) return false;
    const std::uint64_t offset = file_.Resuming() ? file_.Size() : 0;
    // An ASCII transfer may change the byte count on the way: its size says nothing. A
    // server whose 150 replies announce the size needs no SIZE, but a restart must know
    // the size before it asks for one.
    const bool askSize = !ascii && (!announcesSize_ || file_.Resuming());
    if (!StartTransfer(fsReceiving, "RETR " + remote, ascii, askSize ? "SIZE " + remote : "",
                       offset)) {
        return false;
    }
    transfer_.checkSize = !ascii;
    restartOffset_ = partialBytes_ = offset;
    PostLog(offset > 0 ? lcRestart : lcReceive);
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
                                       bool ascii, const std::string& askSize,
                                       std::uint64_t restartAt) {
    if (data_.Create() != 0) {
        DiscardLocalFile();
        return false;
    }
    // Sent in the opposite order: TYPE when the server is not there yet, SIZE when asked,
    // PASV, REST for a restart, then the transfer command.
    commands_.Clear();
    commands_.Push(command);
    if (restartAt > 0) commands_.Push("REST " + std::to_string(restartAt));
    commands_.Push("PASV");
    if (!askSize.empty()) commands_.Push(askSize);
    if (const std::string type = TypeCommand(ascii); !type.empty()) commands_.Push(type);
    transfer_ = Transfer{};
    transferred_ = 0;
    restartOffset_ = partialBytes_ = 0;
    typeSent_ = 0;
    // Also for a listing: a flag left from an earlier abort would end it without a word.
    abort_ = false;
    userAborted_ = false;
    lastFailure_ = TFtpFailureKind::None;
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
    // One progress event per call, before whatever ends the transfer: its handler reads
    // the count, and a handler per block would cost more than the block.
    bool wrote = false;
    auto progress = [this, &wrote] {
        if (!wrote) return;
        RestartTransferTimerForBlock();
        PostStatus(scProgress);
    };
    std::size_t budget = kBytesPerWake;
    while (data_.IsOpen()) {
        std::int32_t code = 0;
        const ssize_t n = data_.Receive(buffer_.data(), buffer_.size(), code);
        if (n == tcp::kWouldBlock) break;
        if (n == tcp::kFailed) {
            progress();
            DataFailed(code);
            return;
        }
        if (n == 0) {
            progress();
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
        } else if (WriteReceivedOrFail(buffer_.data(), count)) {
            wrote = true;
        } else {
            return;
        }
        if (count >= budget) break;
        budget -= count;
    }
    progress();
}

bool TZpCustomFtpClient::WriteReceived(const std::uint8_t* bytes, std::size_t count) {
    const bool written = (!transfer_.fromZero || file_.StartOver()) && file_.Write(bytes, count);
    transfer_.fromZero = false;
    return written;
}

bool TZpCustomFtpClient::WriteReceivedOrFail(const std::uint8_t* bytes, std::size_t count) {
    if (WriteReceived(bytes, count)) return true;
    FailTransfer(kLocalFileError, "451 " + file_.Error(), true, TFtpFailureKind::Local);
    return false;
}

void TZpCustomFtpClient::StartFromZero() {
    transfer_.fromZero = true;
    restartOffset_ = 0;
}

void TZpCustomFtpClient::KeepWhatArrived() {
    std::size_t left = kKeepAfterFailure;
    while (data_.IsOpen() && left > 0) {
        std::int32_t code = 0;
        const ssize_t n = data_.Receive(buffer_.data(), std::min(buffer_.size(), left), code);
        if (n <= 0) return;
        const auto count = static_cast<std::size_t>(n);
        if (!WriteReceived(buffer_.data(), count)) return;
        transferred_ += count;
        left -= count;
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

void TZpCustomFtpClient::FailTransfer(std::int32_t code, const std::string& text, bool here,
                                      TFtpFailureKind kind) {
    if (transfer_.failCode != 0) return;
    transfer_.failCode = code;
    transfer_.failText = text;
    transfer_.failedHere = here;
    transfer_.failKind = kind;
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
        const TFtpFailureKind kind = transfer_.failKind;
        ChangeState(fsIdle);
        PostError(code, text, kind);
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
    if (const SizeCheck check = CheckSize(); !check.mismatch.empty()) {
        // What came beyond the file's end is no beginning of it to continue from.
        if (check.tooLong) {
            file_.DiscardPartial();
            partialBytes_ = 0;
        }
        ChangeState(fsIdle);
        PostError(kSizeMismatch, check.mismatch);
        return;
    }
    const bool resuming = file_.Resuming();
    // An empty file from a server that would not restart: the partial must not stay.
    const bool emptied = !transfer_.fromZero || file_.StartOver();
    const std::uint64_t size = file_.Size();
    if (!emptied || !file_.Commit()) {
        const std::string text = "451 " + file_.Error();
        if (resuming) partialBytes_ = size;
        ChangeState(fsIdle);
        PostError(kLocalFileError, text, TFtpFailureKind::Local);
        return;
    }
    if (resuming) partialBytes_ = 0;
    ChangeState(fsIdle);
    PostStatus(scTransferOK);
}

TZpCustomFtpClient::SizeCheck TZpCustomFtpClient::CheckSize() const {
    if (state_ != fsReceiving) return {};
    const std::uint64_t total = restartOffset_ + transferred_;
    std::optional<std::uint64_t> expected =
        transfer_.announced ? transfer_.announced : transfer_.sizeReplied;
    if (restartOffset_ > 0) {
        // After REST a 150 reply may count the file or what is left of it; SIZE says
        // which file size holds.
        if (transfer_.sizeReplied) {
            expected = transfer_.sizeReplied;
        } else if (expected && *expected == transferred_) {
            return {};
        }
    }
    if (!expected || *expected == total) return {};
    // Without SIZE a resumed retrieve is long only when it is so either way.
    const std::uint64_t counted =
        restartOffset_ > 0 && !transfer_.sizeReplied ? transferred_ : total;
    return {"Received " + std::to_string(total) + " of " + std::to_string(*expected) + " bytes",
            counted > *expected};
}

void TZpCustomFtpClient::CloseDataConnection(bool reset) {
    if (state_ == fsReceiving && file_.Resuming() && !abort_ && transfer_.failCode == 0) {
        KeepWhatArrived();
    }
    data_.Close(reset);
    DiscardLocalFile();
}

void TZpCustomFtpClient::DiscardLocalFile() {
    if (file_.Resuming()) partialBytes_ = file_.Size();
    file_.Discard();
}

}  // namespace zp
