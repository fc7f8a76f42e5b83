#include "comm/ftp/ftp_reply.h"

#include <algorithm>

namespace zp {

namespace {
// More digits than this could not fit in 64 bits.
constexpr std::size_t kMaxSizeDigits = 19;

std::optional<std::uint64_t> Digits(std::string_view text) {
    if (text.empty() || text.size() > kMaxSizeDigits) return std::nullopt;
    std::uint64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return value;
}
}  // namespace

void TReplyLineCutter::Feed(const std::uint8_t* bytes, std::size_t count,
                            std::vector<std::string>& lines) {
    for (std::size_t i = 0; i < count; ++i) {
        const char c = static_cast<char>(bytes[i]);
        if (line_.size() < kMaxReplyBytes) {
            line_.push_back(c);
        } else {
            truncated_ = true;
        }
        if (c == '\n' && lastWasCr_) {
            if (truncated_) {
                line_.resize(kMaxReplyBytes - 2);
                line_ += "\r\n";
            }
            lines.push_back(std::move(line_));
            line_.clear();
            truncated_ = false;
        }
        lastWasCr_ = c == '\r';
    }
}

void TReplyLineCutter::Reset() {
    line_.clear();
    truncated_ = false;
    lastWasCr_ = false;
}

int ReplyCode(std::string_view line) {
    if (line.size() < 3) return 0;
    int code = 0;
    for (std::size_t i = 0; i < 3; ++i) {
        if (line[i] < '0' || line[i] > '9') return 0;
        code = code * 10 + (line[i] - '0');
    }
    return code;
}

std::optional<TFtpReply> TReplyAssembler::Feed(const std::string& line) {
    if (multiLine_) {
        if (line.compare(0, terminator_.size(), terminator_) != 0) {
            const std::size_t room = kMaxReplyBytes - std::min(kMaxReplyBytes, text_.size());
            text_.append(line, 0, std::min(room, line.size()));
            return std::nullopt;
        }
        multiLine_ = false;
        return TFtpReply{ReplyCode(line), std::move(text_)};
    }
    text_.assign(line, 0, std::min(kMaxReplyBytes, line.size()));
    if (line.size() > 3 && line[3] == '-') {
        multiLine_ = true;
        terminator_ = line.substr(0, 3) + " ";
        return std::nullopt;
    }
    return TFtpReply{ReplyCode(line), std::move(text_)};
}

void TReplyAssembler::Reset() {
    text_.clear();
    terminator_.clear();
    multiLine_ = false;
}

std::string QuotedText(std::string_view text) {
    const std::size_t open = text.find('"');
    if (open == std::string_view::npos) return {};
    const std::size_t close = text.find('"', open + 1);
    if (close == std::string_view::npos) return {};
    return std::string(text.substr(open + 1, close - open - 1));
}

std::string TextAfterCode(std::string_view text) {
    return text.size() > 4 ? std::string(text.substr(4)) : std::string();
}

std::optional<std::uint64_t> AnnouncedSize(std::string_view reply) {
    const std::size_t unit = reply.rfind(" bytes)");
    if (unit == std::string_view::npos) return std::nullopt;
    const std::size_t open = reply.rfind('(', unit);
    if (open == std::string_view::npos) return std::nullopt;
    return Digits(reply.substr(open + 1, unit - open - 1));
}

std::optional<std::uint64_t> SizeReplyValue(std::string_view reply) {
    if (reply.size() <= 4) return std::nullopt;
    std::string_view number = reply.substr(4);
    const std::size_t end = number.find_first_not_of("0123456789");
    return Digits(number.substr(0, end));
}

}  // namespace zp
