#pragma once
// What a session on the update server hears of its FTP connection: one reaction per event
// of the client. The window's two FTP handlers turn each event into one of these calls on
// the session that opened the connection (the update check or the sign-up).
#include <cstdint>
#include <string>

namespace update {

class FtpSessionEvents {
  public:
    virtual ~FtpSessionEvents() = default;

    virtual void LoggedIn() = 0;                                          // scLogin
    virtual void FolderChanged() = 0;                                     // scComplete
    virtual void ListingReceived(const std::string& listing) = 0;         // scDataAvail, whole
    virtual void BlockMoved(std::uint64_t transferredBytes) = 0;          // scProgress
    virtual void TransferDone() = 0;                                      // scTransferOK
    virtual void TimedOut() = 0;                                          // scTimeout
    virtual void LoggedOut() = 0;                                         // scLogout
    virtual void Closed() = 0;                                            // scClose, before login
    virtual void Failed(std::int32_t code, const std::string& text) = 0;  // OnFtpError
};

// The box for an FTP failure the session has no words of its own for.
std::string FtpErrorMessage(std::int32_t code, const std::string& text);

// The box for a status event no session expects.
std::string FtpStatusMessage(int code, const std::string& info);

}  // namespace update
