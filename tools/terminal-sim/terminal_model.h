#pragma once
// The terminal in program mode as a state machine over received bytes. It knows nothing of
// the line: it is given each byte with the time it arrived and answers with actions (bytes
// to send from a given time on, or unplugging the device), so that it can be driven by the
// pseudo-terminal loop and by tests alike.
#include <array>
#include <chrono>
#include <cstdint>
#include <span>
#include <vector>

#include "frames.h"
#include "sim_options.h"
#include "sim_results.h"

namespace termsim {

using Clock = std::chrono::steady_clock;
using TimePoint = Clock::time_point;

struct Action {
    enum class Kind : uint8_t { Send, Unplug };
    Kind kind = Kind::Send;
    TimePoint at;  // not before this time
    Bytes bytes;
};

class TerminalModel {
  public:
    TerminalModel(ModelOptions options, TimePoint origin);

    // One received byte; what the terminal does about it is appended to `out`.
    void Receive(uint8_t byte, TimePoint at, std::vector<Action>& out);
    // What time alone changes: the erase ends and the RAM bootloader takes over.
    void Advance(TimePoint now);

    SimState State() const { return state_; }
    const SimResults& Results() const { return results_; }

  private:
    struct Incoming {
        const ParsedFrame& frame;
        std::span<const uint8_t> raw;
        TimePoint at;
        FrameRecord* record;  // null beyond the record limit
        std::span<const uint8_t> Data() const {
            return raw.subspan(frame.dataOffset, frame.dataLength);
        }
    };
    using Handler = void (TerminalModel::*)(const Incoming&);

    void ChangeState(SimState next);
    FrameSet CurrentSet() const;
    void Scan(TimePoint at);
    void Dispatch(const ParsedFrame& frame, TimePoint at);
    void KeepGarbage(std::span<const uint8_t> bytes, TimePoint at, const char* note);
    FrameRecord* NewRecord(FrameKind kind, std::span<const uint8_t> raw, TimePoint at);

    // One handler per state.
    void OnLoader(const Incoming& in);
    void OnErasing(const Incoming& in);
    void OnFlashLoader(const Incoming& in);
    void OnGranuloLoader(const Incoming& in);
    void OnRelayWake(const Incoming& in);
    void OnRelayIdentify(const Incoming& in);
    void OnRelayStart(const Incoming& in);
    void OnPages(const Incoming& in);
    void OnPagesEnding(const Incoming& in);
    void OnStreaming(const Incoming& in);
    void OnSilent(const Incoming& in);
    void OnVanished(const Incoming& in);
    static const std::array<Handler, kSimStateCount> kHandlers;

    // Steps the handlers share.
    void AnswerIdentify(const Incoming& in);
    void BeginErase(const Incoming& in, SimState afterErase);
    void Restart(const Incoming& in);
    void CompleteRun(const Incoming& in);
    bool Acknowledge(const Incoming& in);
    bool ReportDone(const Incoming& in);
    void Store(const Incoming& in, SparseMemory& memory);
    void TakeImageBlock(const Incoming& in, Bytes& image, bool (*offsetOf)(uint32_t, std::size_t&));
    bool RefusedByFault(FrameKind kind);
    bool CountReached(const std::optional<FrameCount>& rule, FrameKind kind) const;
    void Reply(const Incoming& in, Bytes bytes, TimePoint at);
    static void Note(const Incoming& in, const std::string& text);

    ModelOptions options_;
    TimePoint origin_;
    SimState state_ = SimState::Loader;
    SimState afterErase_ = SimState::FlashLoader;
    FrameSet silentSet_ = FrameSet::ResidentLoader;
    TimePoint readyAt_{};
    std::vector<Action>* out_ = nullptr;

    std::array<uint8_t, kMaxFrameBytes> held_{};
    std::size_t heldCount_ = 0;
    TimePoint lastByteAt_{};
    bool lastRecordGarbage_ = false;

    std::array<unsigned, kFrameKindCount> received_{};
    std::array<unsigned, kFrameKindCount> accepted_{};
    std::vector<unsigned> refusedInRow_;
    unsigned identifyRequests_ = 0;
    unsigned doneFrames_ = 0;

    SimResults results_;
};

}  // namespace termsim
