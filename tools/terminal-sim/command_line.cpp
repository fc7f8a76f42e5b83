#include "command_line.h"

#include <charconv>
#include <functional>
#include <map>
#include <string_view>

namespace termsim {

namespace {

bool Number(std::string_view text, unsigned long long max, unsigned long long& value) {
    if (text.empty()) return false;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size() && value <= max;
}

template <typename T>
bool NumberInto(std::string_view text, unsigned long long max, T& out) {
    unsigned long long v = 0;
    if (!Number(text, max, v)) return false;
    out = static_cast<T>(v);
    return true;
}

template <typename Duration>
bool DurationInto(std::string_view text, unsigned long long max, Duration& out) {
    unsigned long long v = 0;
    if (!Number(text, max, v)) return false;
    out = Duration(v);
    return true;
}

// A frame's number, from 1, or "all" (0).
bool Ordinal(std::string_view text, unsigned& out) {
    if (text == "all") {
        out = 0;
        return true;
    }
    return NumberInto(text, 1000000, out) && out > 0;
}

bool HexByte(std::string_view text, uint8_t& out) {
    if (text.starts_with("0x") || text.starts_with("0X")) text.remove_prefix(2);
    if (text.empty() || text.size() > 2) return false;
    unsigned v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v, 16);
    if (ec != std::errc() || end != text.data() + text.size()) return false;
    out = static_cast<uint8_t>(v);
    return true;
}

// "55AA", "55 AA" or "55,AA".
bool HexBytes(std::string_view text, Bytes& out) {
    std::string digits;
    for (const char c : text) {
        if (c != ' ' && c != ',') digits += c;
    }
    if (digits.empty() || digits.size() % 2 != 0 || digits.size() > 2 * 64) return false;
    out.clear();
    for (std::size_t i = 0; i < digits.size(); i += 2) {
        uint8_t b = 0;
        if (!HexByte(std::string_view(digits).substr(i, 2), b)) return false;
        out.push_back(b);
    }
    return true;
}

std::vector<std::string_view> Split(std::string_view text) {
    std::vector<std::string_view> parts;
    for (;;) {
        const auto colon = text.find(':');
        parts.push_back(text.substr(0, colon));
        if (colon == std::string_view::npos) return parts;
        text.remove_prefix(colon + 1);
    }
}

// "N" or "N:KIND".
bool Count(std::string_view text, FrameCount& out) {
    const auto parts = Split(text);
    if (parts.size() > 2 || !NumberInto(parts[0], 1000000, out.count)) return false;
    out.kind = FrameKind::Any;
    return parts.size() == 1 ||
           (FrameKindFromName(parts[1], out.kind) && out.kind != FrameKind::Garbage);
}

// "KIND", "KIND:K" or "KIND:K:N"; K may be "all", N "always".
bool RefusalRule(std::string_view text, Refusal& out) {
    const auto parts = Split(text);
    if (parts.size() > 3 || !FrameKindFromName(parts[0], out.kind)) return false;
    if (out.kind != FrameKind::Any && !AwaitsAck(out.kind)) return false;
    out.ordinal = 1;
    out.times = 1;
    if (parts.size() > 1 && !Ordinal(parts[1], out.ordinal)) return false;
    if (parts.size() > 2 && parts[2] == "always") {
        out.times = 0;
    } else if (parts.size() > 2 && (!NumberInto(parts[2], 1000000, out.times) || out.times == 0)) {
        return false;
    }
    return true;
}

// "K" or "K:BYTE" or "K:none"; K may be "all".
bool WrongDoneRule(std::string_view text, WrongDone& out) {
    const auto parts = Split(text);
    if (parts.size() > 2 || !Ordinal(parts[0], out.ordinal)) return false;
    out.byte = 'X';
    if (parts.size() == 2) {
        if (parts[1] == "none") {
            out.byte.reset();
        } else {
            uint8_t b = 0;
            if (!HexByte(parts[1], b) || b == kDone) return false;
            out.byte = b;
        }
    }
    return true;
}

}  // namespace

bool ParseCommandLine(const std::vector<std::string>& args, const std::string& portsDefault,
                      CommandLine& out, std::string& error) {
    out = CommandLine{};
    out.sim.portsFolder = portsDefault;
    SimOptions& s = out.sim;
    ModelOptions& m = s.model;
    Faults& f = m.faults;

    using Setter = std::function<bool(std::string_view)>;
    const std::map<std::string_view, Setter> withValue = {
        {"--ports",
         [&](std::string_view v) {
             s.portsFolder = v;
             return !v.empty();
         }},
        {"--com",
         [&](std::string_view v) { return NumberInto(v, 256, s.comNumber) && s.comNumber >= 1; }},
        {"--mode", [&](std::string_view v) { return SimModeFromName(v, m.mode); }},
        {"--code", [&](std::string_view v) { return NumberInto(v, 255, m.hardwareCode); }},
        {"--baud",
         [&](std::string_view v) {
             return NumberInto(v, 4000000, s.paceBaud) && (s.paceBaud == 0 || s.paceBaud >= 50);
         }},
        {"--erase-ms", [&](std::string_view v) { return DurationInto(v, 600000, m.eraseTime); }},
        {"--out",
         [&](std::string_view v) {
             s.outputFolder = v;
             return !v.empty();
         }},
        {"--idle-timeout",
         [&](std::string_view v) {
             std::chrono::seconds seconds{};
             if (!DurationInto(v, 86400, seconds)) return false;
             s.idleTimeout = seconds;
             return true;
         }},
        {"--relay-answer",
         [&](std::string_view v) {
             if (v == "none") {
                 m.relayAnswer.reset();
                 return true;
             }
             uint8_t b = 0;
             if (!HexByte(v, b)) return false;
             m.relayAnswer = b;
             return true;
         }},
        {"--refusal-byte",
         [&](std::string_view v) { return HexByte(v, m.refusalByte) && m.refusalByte != kAck; }},
        {"--refuse", [&](std::string_view v) { return RefusalRule(v, f.refusals.emplace_back()); }},
        {"--silent-after", [&](std::string_view v) { return Count(v, f.silentAfter.emplace()); }},
        {"--vanish-after", [&](std::string_view v) { return Count(v, f.vanishAfter.emplace()); }},
        {"--identify-extra", [&](std::string_view v) { return HexBytes(v, f.identifyExtra); }},
        {"--answer-ff", [&](std::string_view v) { return NumberInto(v, 1000000, f.ffAnswers); }},
        {"--ff-second", [&](std::string_view v) { return HexByte(v, f.ffSecond.emplace()); }},
        {"--wrong-done",
         [&](std::string_view v) { return WrongDoneRule(v, f.wrongDone.emplace()); }},
    };
    const std::map<std::string_view, std::function<void()>> flags = {
        {"--help", [&] { out.help = true; }},
        {"-h", [&] { out.help = true; }},
        {"--exit-after-run", [&] { s.exitAfterRun = true; }},
        {"--exit-with-parent", [&] { out.exitWithParent = true; }},
        {"--hold", [&] { s.holdPort = true; }},
        {"--no-flash-ready", [&] { f.noFlashReady = true; }},
    };

    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string_view arg = args[i];
        std::string_view value;
        bool inlineValue = false;
        if (const auto eq = arg.find('='); arg.starts_with("--") && eq != std::string_view::npos) {
            value = arg.substr(eq + 1);
            arg = arg.substr(0, eq);
            inlineValue = true;
        }
        if (const auto flag = flags.find(arg); flag != flags.end() && !inlineValue) {
            flag->second();
            continue;
        }
        const auto option = withValue.find(arg);
        if (option == withValue.end()) {
            error = "unknown option " + std::string(args[i]);
            return false;
        }
        if (!inlineValue) {
            if (i + 1 >= args.size()) {
                error = std::string(arg) + " needs a value";
                return false;
            }
            value = args[++i];
        }
        if (!option->second(value)) {
            error = "bad value for " + std::string(arg) + ": " + std::string(value);
            return false;
        }
    }
    if (!out.help && s.portsFolder.empty()) {
        error = "no ports folder: give --ports or set ARVEX_COM_PORTS";
        return false;
    }
    return true;
}

std::string HelpText() {
    return R"(Usage: arvex-terminal-sim [options]

Simulates a Plantrix terminal in program mode on a pseudo-terminal, published as
<ports folder>/COM<n> for ArvexUpdate (which reads the folder from ARVEX_COM_PORTS).
Prints the port's path on the first line of its output, then runs until it is
stopped (SIGTERM or SIGINT remove the port cleanly) or, with --exit-after-run,
until the first run ends.

Line:
  --ports DIR          ports folder (default: $ARVEX_COM_PORTS); created if missing
  --com N              COM number, 1..256 (default 1)
  --baud N             pace the line at N baud, 8N1, both ways (default 0: unpaced)
  --hold               keep the port open and locked: it reads as held by another program

Terminal:
  --mode MODE          plantrix (default): resident loader, RAM bootloader, flash records
                       tessara: the relay path (opening, identification, page writes)
                       granulo: the Granulo RAM bootloader's 64-byte block flash writes
                       stream: a device in normal operation, sending data all the time
  --code N             hardware code answered to the identify request (default 1)
  --erase-ms N         time from the start request to the flash-ready "E" (default 200)
  --relay-answer HEX   answer to the relay's second identification: C8 (default), 01,
                       02, ... or none
  --refusal-byte HEX   byte sent instead of CC for a refused frame (default EE)

Faults (KIND: identify nudge block load start flash finish opening page end granulo,
or any):
  --refuse KIND[:K[:N]]   refuse the K-th frame of KIND (default 1) N times in a row
                          (default 1) before accepting it; K may be "all", N "always".
                          Repeats of a refused frame keep its number. Repeatable.
  --silent-after N[:KIND] answer nothing from the (N+1)-th frame of KIND (default any) on
  --vanish-after N[:KIND] on the (N+1)-th frame of KIND the device is unplugged: the
                          line goes away and the port's link is removed
  --identify-extra HEX    send these bytes (e.g. 55AA) right after the hardware code
  --answer-ff N           answer the first N identify requests with FF ...
  --ff-second HEX         ... followed by this byte
  --no-flash-ready        never send the "E" after the start request
  --wrong-done K[:HEX]    after the K-th written flash record, page or block (or "all"),
                          send HEX (default 58, "X") instead of "E", or nothing with
                          "none"

Results:
  --out DIR            write frames.log, summary.txt, flash.bin / tessara.bin /
                       granulo.bin, blocks-<address>.bin and ramloader-<address>.bin
                       into DIR after every complete run and at the end

Ending:
  --exit-after-run     end after the first run: status 0 when it completed, 1 when the
                       port was closed during it or it went idle
  --idle-timeout S     with --exit-after-run: end after S seconds without a byte
  --exit-with-parent   end when the process that started the simulator ends
  -h, --help           this text

Exit status: 0 done, 1 the run did not complete (--exit-after-run), 2 bad arguments or
the port could not be set up.
)";
}

}  // namespace termsim
