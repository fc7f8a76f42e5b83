// The replies of the control connection: the multi-line rule, then one handler per
// process state (the three transfer states share theirs), and the error path.
#include "comm/ftp/passive_address.h"
#include "comm/ftp/zp_ftp_client.h"

namespace zp {

void TZpCustomFtpClient::HandleReplyLine(const std::string& line) {
    std::optional<TFtpReply> reply = assembler_.Feed(line);
    if (!reply) return;
    HandleReply(reply->code, reply->text);
    if (onFtpReply_ && !destroying_) {
        TFtpReplyEvent call = onFtpReply_;
        call(*this, reply->code, reply->text);
    }
}

void TZpCustomFtpClient::HandleReply(int code, const std::string& text) {
    switch (state_) {
        case fsLoggingIn:
            ReplyWhileLoggingIn(code, text);
            break;
        case fsListing:
        case fsReceiving:
        case fsStoring:
            ReplyWhileTransferring(code, text);
            break;
        case fsCommand:
            ReplyToCommand(code, text);
            break;
        case fsClosed:
        case fsIdle:
            ReplyWhileIdle(code, text);
            break;
    }
}

void TZpCustomFtpClient::ReplyWhileLoggingIn(int code, const std::string& text) {
    switch (code) {
        case 202:  // the command was superfluous: the dialogue goes on
            break;
        case 220:
            PostStatus(scOpen, TextAfterCode(text));
            SendCommand("USER " + userName_);
            break;
        case 230:
            ChangeState(fsIdle);
            loggedIn_ = true;
            PostStatus(scLogin);
            break;
        case 331:
            SendCommand("PASS " + password_);
            break;
        case 332:
            SendCommand("ACCT " + account_);
            break;
        default:
            ErrorPath(code, text);
            break;
    }
}

void TZpCustomFtpClient::ReplyWhileTransferring(int code, const std::string& text) {
    if (code < 200) {  // 125, 150 and lines without a code
        if (transfer_.checkSize && code != 0) {
            if (const auto announced = AnnouncedSize(text)) {
                transfer_.announced = announced;
                announcesSize_ = true;
            }
        }
        return;
    }
    // A closing server ends the transfer whatever it was asked.
    const bool closing = code == 221 || code == 421;
    if (transfer_.sizeAsked && !closing) {
        // A server without SIZE, or that will not tell, still serves the file.
        transfer_.sizeAsked = false;
        if (code == 213) transfer_.sizeReplied = SizeReplyValue(text);
        // A partial as long as the file, or longer, is nothing a restart could finish.
        if (restartOffset_ > 0 && transfer_.sizeReplied &&
            restartOffset_ >= *transfer_.sizeReplied) {
            StartFromZero();
        }
        SendNextPending();
        return;
    }
    if (transfer_.restAsked && !closing) {
        // A server that will not restart sends the whole file.
        transfer_.restAsked = false;
        if (code != 350) StartFromZero();
        SendNextPending();
        return;
    }
    switch (code) {
        case 200:
            // TYPE is the one command answered with 200 here.
            type_ = typeSent_;
            typeSent_ = 0;
            SendNextPending();
            break;
        case 350:
            SendNextPending();
            break;
        case 227:
            PassiveReply(text);
            break;
        case 226:
        case 250:
            transfer_.confirmed = true;
            TryComplete();
            break;
        default:
            // A failure found on this side is what the user hears of, not the server's
            // answer to the reset data connection; a closing connection says it itself.
            if (transfer_.failCode != 0 && transfer_.failedHere && code != 221 && code != 421) {
                const std::int32_t failCode = transfer_.failCode;
                const std::string failText = transfer_.failText;
                const TFtpFailureKind failKind = transfer_.failKind;
                ChangeState(fsIdle);
                PostError(failCode, failText, failKind);
                return;
            }
            ErrorPath(code, text);
            break;
    }
}

void TZpCustomFtpClient::ReplyToCommand(int code, const std::string& text) {
    if (code >= 211 && code <= 215) {
        ChangeState(fsIdle);
        PostStatus(scDataAvail, TextAfterCode(text));
    } else if (code == 225 || code == 226) {
        // The late end of an aborted transfer: the command's own answer is still to come.
    } else if (code == 250) {
        ChangeState(fsIdle);
        PostStatus(scComplete);
    } else if (code == 257) {
        ChangeState(fsIdle);
        PostStatus(scCurrentDir, QuotedText(text));
    } else {
        ErrorPath(code, text);
    }
}

void TZpCustomFtpClient::ReplyWhileIdle(int code, const std::string& text) {
    switch (code) {
        case 125:
        case 150:
            break;
        case 226:
            CloseDataConnection(true);
            break;
        default:
            ErrorPath(code, text);  // so 221 after QUIT closes the connection
            break;
    }
}

void TZpCustomFtpClient::ErrorPath(int code, const std::string& text) {
    commands_.Clear();
    const bool operationEnds = state_ > fsIdle;
    if (code == 221 || code == 421) {
        ChangeState(fsClosed);
    } else if (operationEnds) {
        ChangeState(fsIdle);
    }
    if (code == 202 || code >= 300) {
        PostError(code, text);
    } else if (operationEnds) {
        // Whoever waits for the operation must hear that it ended.
        PostError(kUnexpectedReply, text);
    }
}

void TZpCustomFtpClient::PassiveReply(const std::string& text) {
    const std::optional<TPassiveAddress> offered = ParsePassiveReply(text);
    if (!offered) {
        // No usable address: say so now instead of connecting to garbage.
        ChangeState(fsIdle);
        PostError(wsAddressNotAvailable, text);
        return;
    }
    const std::uint32_t host = ChooseDataHost(offered->host, PeerAddress());
    if (const std::int32_t code = data_.Connect(host, offered->port); code != 0) {
        DataFailed(code);
        return;
    }
    SendNextPending();
}

}  // namespace zp
