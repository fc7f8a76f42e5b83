#pragma once
// The control connection's replies as pure units: cutting the received bytes into lines,
// reading a line's reply code, and putting multi-line replies together. No sockets: the
// client feeds them, and the tests and the fuzz target drive them directly.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zp {

// A reply holds at most this many bytes; so does a line.
constexpr std::size_t kMaxReplyBytes = 32768;

// Cuts bytes into lines ending in CR LF, the CR LF kept. A line longer than the bound keeps
// its first bytes and its CR LF; what lies between is dropped, so a server that never
// ends a line cannot make the client hold more than one bound's worth.
class TReplyLineCutter {
  public:
    // Appends the complete lines found in `bytes` to `lines`.
    void Feed(const std::uint8_t* bytes, std::size_t count, std::vector<std::string>& lines);
    void Reset();

  private:
    std::string line_;
    bool truncated_ = false;
    bool lastWasCr_ = false;
};

// The integer of the line's first three characters, 0 when they are not three digits.
int ReplyCode(std::string_view line);

struct TFtpReply {
    int code = 0;
    // The first line and, for a multi-line reply, its continuation lines (the final line
    // is not part of it), CR LF included, at most kMaxReplyBytes.
    std::string text;
};

// The multi-line rule: a first line with "-" after its code opens a reply that ends at the
// first line beginning with the same code and a blank.
class TReplyAssembler {
  public:
    // The complete reply this line ends, if it ends one.
    std::optional<TFtpReply> Feed(const std::string& line);
    void Reset();
    bool InMultiLine() const { return multiLine_; }

  private:
    std::string text_;
    std::string terminator_;
    bool multiLine_ = false;
};

// The text between the first two double quotes (a 257 reply's path), empty without them.
std::string QuotedText(std::string_view text);

// The reply text from its fifth character on, as status events carry it.
std::string TextAfterCode(std::string_view text);

// The size a retrieve's 150 reply announces as "(N bytes)". The file's name comes before
// it and may hold anything, so only the last such group counts.
std::optional<std::uint64_t> AnnouncedSize(std::string_view reply);

// The number a 213 reply to SIZE carries; nothing when it holds none.
std::optional<std::uint64_t> SizeReplyValue(std::string_view reply);

}  // namespace zp
