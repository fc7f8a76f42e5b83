// Fuzz target for what a server sends on the control connection: the bytes pass the
// telnet filter in pieces of varying size, the data is cut into lines, the lines are put
// together into replies, and each reply goes to the 227 parser, the size readers and the
// text helpers.
// Besides crashes it checks the bounds the client relies on.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "comm/ftp/ftp_reply.h"
#include "comm/ftp/passive_address.h"
#include "comm/ftp/telnet_filter.h"

namespace {
void Check(bool ok) {
    if (!ok) __builtin_trap();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    // The first byte sets the read size, as the socket's reads would cut the stream.
    const std::size_t piece = 1 + data[0] % 64;
    zp::TTelnetFilter telnet;
    zp::TReplyLineCutter cutter;
    zp::TReplyAssembler assembler;
    std::vector<std::string> lines;
    for (std::size_t at = 1; at < size; at += piece) {
        const std::size_t n = std::min(piece, size - at);
        std::string bytes, answers;
        telnet.Filter(data + at, n, bytes, answers);
        Check(bytes.size() <= n && answers.size() <= 16 * n);
        lines.clear();
        cutter.Feed(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), lines);
        for (const std::string& line : lines) {
            Check(line.size() >= 2 && line.size() <= zp::kMaxReplyBytes);
            Check(line.compare(line.size() - 2, 2, "\r\n") == 0);
            const auto reply = assembler.Feed(line);
            if (!reply) continue;
            Check(reply->text.size() <= zp::kMaxReplyBytes);
            Check(reply->code >= 0 && reply->code <= 999);
            if (const auto address = zp::ParsePassiveReply(reply->text)) Check(address->port != 0);
            zp::QuotedText(reply->text);
            zp::TextAfterCode(reply->text);
            zp::AnnouncedSize(reply->text);
            zp::SizeReplyValue(reply->text);
            zp::ChooseDataHost(static_cast<std::uint32_t>(reply->text.size()), 0x7F000001);
        }
    }
    return 0;
}
