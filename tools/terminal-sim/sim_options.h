#pragma once
// What a simulated terminal is: the path it runs, how it answers, the faults it shows on
// request, and the line it sits on.
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "frames.h"

namespace termsim {

enum class SimMode : uint8_t {
    Plantrix,  // the terminal itself: block writes, RAM loader, flash records
    Tessara,   // started with the C button: the relay path and page writes
    Granulo,   // the Granulo RAM bootloader's 64-byte block flash writes
    Stream,    // a device in normal operation: sends data all the time, answers nothing
};
std::string_view SimModeName(SimMode mode);
bool SimModeFromName(std::string_view name, SimMode& mode);

// Frames are counted per kind (Any: every frame that is not garbage).
struct FrameCount {
    FrameKind kind = FrameKind::Any;
    unsigned count = 0;
};

// Refuses frames of `kind` (Any: every frame that awaits an ack) with the refusal byte.
// `ordinal` picks the frame by the number of frames of that kind accepted before it, plus
// one, so the repeats of a refused frame keep its ordinal; 0 picks every frame. Each picked
// frame is refused `times` times in a row, then accepted; 0 refuses it for ever.
struct Refusal {
    FrameKind kind = FrameKind::Any;
    unsigned ordinal = 1;
    unsigned times = 1;
};

// A done byte other than "E" (or none) after the `ordinal`-th accepted frame that awaits
// one (0: every such frame).
struct WrongDone {
    unsigned ordinal = 1;
    std::optional<uint8_t> byte = 'X';
};

struct Faults {
    std::vector<Refusal> refusals;
    // After this many frames of the kind, nothing more is answered.
    std::optional<FrameCount> silentAfter;
    // After this many frames of the kind, the next one unplugs the device: the line goes
    // away and its link is removed.
    std::optional<FrameCount> vanishAfter;
    // Sent right after the hardware code, as a device that does not stop talking.
    Bytes identifyExtra;
    // The first this-many identify requests are answered FF, followed by `ffSecond` if set.
    unsigned ffAnswers = 0;
    std::optional<uint8_t> ffSecond;
    // The start request is taken but the flash never reports ready.
    bool noFlashReady = false;
    std::optional<WrongDone> wrongDone;
};

// How the terminal answers; everything the state machine needs.
struct ModelOptions {
    SimMode mode = SimMode::Plantrix;
    uint8_t hardwareCode = 1;
    // The answer to the relay path's second identify request; none: no answer at all.
    std::optional<uint8_t> relayAnswer = 0xC8;
    uint8_t refusalByte = 0xEE;
    std::chrono::milliseconds eraseTime{200};
    // A frame left incomplete for this long is dropped, so a later frame is read afresh.
    std::chrono::milliseconds interByteTimeout{1000};
    Faults faults;
};

struct SimOptions {
    ModelOptions model;
    // The folder the program reads from ARVEX_COM_PORTS; it gets the link COM<comNumber>.
    std::string portsFolder;
    unsigned comNumber = 1;
    // 0: unpaced. Otherwise bytes are taken and sent no faster than 8N1 at this baud rate.
    unsigned paceBaud = 0;
    // Keep the line open and locked, as another program holding the port would.
    bool holdPort = false;
    // When not empty: the rebuilt images and the frame log are written here after every
    // complete run and when the simulator ends.
    std::string outputFolder;
    // Ends the simulator after the first run: when it completes, when the port is closed
    // after the run began, or when nothing arrived for `idleTimeout` (if not zero).
    bool exitAfterRun = false;
    std::chrono::milliseconds idleTimeout{0};
    // Called on the simulator's thread whenever frames were handled or the simulator ended,
    // for a waiting test to re-check what it waits for.
    std::function<void()> onActivity;
};

}  // namespace termsim
