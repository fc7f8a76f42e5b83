#include "terminal_model.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "name_table.h"

namespace termsim {

namespace {

constexpr std::array<std::string_view, kSimStateCount> kStateNames = {
    "loader",      "erasing", "flash-loader", "granulo-loader", "relay-wake", "relay-identify",
    "relay-start", "pages",   "pages-ending", "streaming",      "silent",     "vanished",
};

constexpr std::size_t kMaxGarbageRecord = 256;

std::size_t Index(FrameKind kind) { return static_cast<std::size_t>(kind); }

std::string Hex(uint8_t b) {
    char text[3];
    std::snprintf(text, sizeof text, "%02X", b);
    return text;
}

}  // namespace

std::string_view SimStateName(SimState state) { return NameOf(kStateNames, state); }

const std::array<TerminalModel::Handler, kSimStateCount> TerminalModel::kHandlers = {
    &TerminalModel::OnLoader,        &TerminalModel::OnErasing,   &TerminalModel::OnFlashLoader,
    &TerminalModel::OnGranuloLoader, &TerminalModel::OnRelayWake, &TerminalModel::OnRelayIdentify,
    &TerminalModel::OnRelayStart,    &TerminalModel::OnPages,     &TerminalModel::OnPagesEnding,
    &TerminalModel::OnStreaming,     &TerminalModel::OnSilent,    &TerminalModel::OnVanished,
};

TerminalModel::TerminalModel(ModelOptions options, TimePoint origin)
    : options_(std::move(options)), origin_(origin), lastByteAt_(origin) {
    refusedInRow_.assign(options_.faults.refusals.size(), 0);
    results_.hardwareCode = options_.hardwareCode;
    if (options_.mode == SimMode::Tessara) results_.pageImage.assign(kPageImageSize, 0xFF);
    if (options_.mode == SimMode::Granulo) results_.granuloImage.assign(kGranuloImageSize, 0xFF);
    if (options_.mode == SimMode::Stream) ChangeState(SimState::Streaming);
}

void TerminalModel::ChangeState(SimState next) {
    if (next == SimState::Silent && state_ != SimState::Silent) silentSet_ = CurrentSet();
    state_ = next;
    results_.state = next;
}

FrameSet TerminalModel::CurrentSet() const {
    switch (state_) {
        case SimState::Loader:
        case SimState::Streaming:
            return FrameSet::ResidentLoader;
        case SimState::FlashLoader:
            return FrameSet::FlashRecords;
        case SimState::GranuloLoader:
            return FrameSet::GranuloBlocks;
        case SimState::RelayWake:
        case SimState::RelayIdentify:
        case SimState::RelayStart:
            return FrameSet::Relay;
        case SimState::Pages:
        case SimState::PagesEnding:
            return FrameSet::Pages;
        case SimState::Silent:
            return silentSet_;
        case SimState::Erasing:
        case SimState::Vanished:
            break;
    }
    return FrameSet::RestartOnly;
}

void TerminalModel::Receive(uint8_t byte, TimePoint at, std::vector<Action>& out) {
    if (state_ == SimState::Vanished) return;
    out_ = &out;
    Advance(at);
    // The parser never waits for more than a frame holds; the second test keeps the
    // buffer bounded whatever it does.
    if (heldCount_ > 0 &&
        (at - lastByteAt_ > options_.interByteTimeout || heldCount_ == held_.size())) {
        KeepGarbage({held_.data(), heldCount_}, lastByteAt_, "incomplete frame dropped");
        heldCount_ = 0;
    }
    lastByteAt_ = at;
    held_[heldCount_++] = byte;
    Scan(at);
    out_ = nullptr;
}

void TerminalModel::Advance(TimePoint now) {
    if (state_ == SimState::Erasing && now >= readyAt_) ChangeState(afterErase_);
}

void TerminalModel::Scan(TimePoint at) {
    while (heldCount_ > 0) {
        const ParseResult r = ParseFrame(CurrentSet(), {held_.data(), heldCount_});
        std::size_t used = 1;
        if (r.status == ParseStatus::NeedMore) return;
        if (r.status == ParseStatus::Garbage) {
            KeepGarbage({held_.data(), 1}, at, nullptr);
        } else {
            used = r.frame.length;
            Dispatch(r.frame, at);
        }
        heldCount_ -= used;
        std::memmove(held_.data(), held_.data() + used, heldCount_);
    }
}

FrameRecord* TerminalModel::NewRecord(FrameKind kind, std::span<const uint8_t> raw, TimePoint at) {
    lastRecordGarbage_ = kind == FrameKind::Garbage;
    if (results_.frames.size() >= SimResults::kMaxRecords) {
        ++results_.framesNotRecorded;
        return nullptr;
    }
    FrameRecord& r = results_.frames.emplace_back();
    r.sequence = results_.frames.size();
    r.atMicros = std::chrono::duration_cast<std::chrono::microseconds>(at - origin_).count();
    r.state = state_;
    r.kind = kind;
    r.raw.assign(raw.begin(), raw.end());
    return &r;
}

void TerminalModel::KeepGarbage(std::span<const uint8_t> bytes, TimePoint at, const char* note) {
    results_.garbageBytes += bytes.size();
    FrameRecord* r = nullptr;
    if (lastRecordGarbage_ && note == nullptr && !results_.frames.empty() &&
        results_.frames.back().note.empty() &&
        results_.frames.back().raw.size() + bytes.size() <= kMaxGarbageRecord) {
        r = &results_.frames.back();
        r->raw.insert(r->raw.end(), bytes.begin(), bytes.end());
        return;
    }
    r = NewRecord(FrameKind::Garbage, bytes, at);
    if (r != nullptr) {
        r->sumOk = false;
        if (note != nullptr) r->note = note;
    }
    // A dropped fragment is closed: later garbage starts a record of its own.
    if (note != nullptr) lastRecordGarbage_ = false;
}

bool TerminalModel::CountReached(const std::optional<FrameCount>& rule, FrameKind kind) const {
    if (!rule || (rule->kind != FrameKind::Any && rule->kind != kind)) return false;
    return received_[Index(rule->kind)] > rule->count;
}

void TerminalModel::Dispatch(const ParsedFrame& frame, TimePoint at) {
    const std::span<const uint8_t> raw(held_.data(), frame.length);
    FrameRecord* record = NewRecord(frame.kind, raw, at);
    const Incoming in{frame, raw, at, record};
    if (record != nullptr) {
        record->address = frame.address;
        const auto data = in.Data();
        record->data.assign(data.begin(), data.end());
        record->sumOk = frame.sumOk;
    }
    ++received_[Index(frame.kind)];
    ++received_[Index(FrameKind::Any)];

    if (CountReached(options_.faults.vanishAfter, frame.kind)) {
        Note(in, "device unplugged (fault)");
        ChangeState(SimState::Vanished);
        out_->push_back({Action::Kind::Unplug, at, {}});
        return;
    }
    if (state_ != SimState::Silent && CountReached(options_.faults.silentAfter, frame.kind)) {
        ChangeState(SimState::Silent);
    }
    (this->*kHandlers[static_cast<std::size_t>(state_)])(in);
}

void TerminalModel::Reply(const Incoming& in, Bytes bytes, TimePoint at) {
    if (in.record != nullptr)
        in.record->reply.insert(in.record->reply.end(), bytes.begin(), bytes.end());
    out_->push_back({Action::Kind::Send, at, std::move(bytes)});
}

void TerminalModel::Note(const Incoming& in, const std::string& text) {
    if (in.record == nullptr) return;
    if (!in.record->note.empty()) in.record->note += "; ";
    in.record->note += text;
}

// --- steps the handlers share ---

void TerminalModel::AnswerIdentify(const Incoming& in) {
    const Faults& f = options_.faults;
    if (++identifyRequests_ <= f.ffAnswers) {
        Bytes answer{0xFF};
        if (f.ffSecond) answer.push_back(*f.ffSecond);
        Note(in, "FF answer (fault)");
        Reply(in, std::move(answer), in.at);
        return;
    }
    Bytes answer{options_.hardwareCode};
    answer.insert(answer.end(), f.identifyExtra.begin(), f.identifyExtra.end());
    if (!f.identifyExtra.empty()) Note(in, "extra bytes after the code (fault)");
    Reply(in, std::move(answer), in.at);
}

void TerminalModel::BeginErase(const Incoming& in, SimState afterErase) {
    results_.runInProgress = true;
    afterErase_ = afterErase;
    if (options_.faults.noFlashReady) {
        Note(in, "flash never ready (fault)");
        readyAt_ = TimePoint::max();
    } else {
        readyAt_ = in.at + options_.eraseTime;
        Reply(in, {kFlashReady}, readyAt_);
    }
    ChangeState(SimState::Erasing);
}

// An identify request outside the resident loader: the terminal was restarted in program
// mode, so whatever ran before is gone.
void TerminalModel::Restart(const Incoming& in) {
    Note(in, "restarted in program mode");
    results_.runInProgress = false;
    ChangeState(SimState::Loader);
    OnLoader(in);
}

void TerminalModel::CompleteRun(const Incoming& in) {
    Note(in, "run complete");
    ++results_.completeRuns;
    results_.runInProgress = false;
    ChangeState(SimState::Loader);
}

bool TerminalModel::RefusedByFault(FrameKind kind) {
    const auto& rules = options_.faults.refusals;
    for (std::size_t i = 0; i < rules.size(); ++i) {
        const Refusal& rule = rules[i];
        if (rule.kind != kind && rule.kind != FrameKind::Any) continue;
        const unsigned ordinal = accepted_[Index(rule.kind)] + 1;
        if (rule.ordinal != 0 && rule.ordinal != ordinal) continue;
        if (rule.times != 0 && refusedInRow_[i] >= rule.times) continue;
        ++refusedInRow_[i];
        return true;
    }
    return false;
}

bool TerminalModel::Acknowledge(const Incoming& in) {
    const FrameKind kind = in.frame.kind;
    results_.runInProgress = true;
    if (!in.frame.sumOk) {
        Note(in, "checksum wrong");
        Reply(in, {options_.refusalByte}, in.at);
        return false;
    }
    if (RefusedByFault(kind)) {
        Note(in, "refused (fault)");
        Reply(in, {options_.refusalByte}, in.at);
        return false;
    }
    ++accepted_[Index(kind)];
    ++accepted_[Index(FrameKind::Any)];
    const auto& rules = options_.faults.refusals;
    for (std::size_t i = 0; i < rules.size(); ++i) {
        if (rules[i].kind == kind || rules[i].kind == FrameKind::Any) refusedInRow_[i] = 0;
    }
    Reply(in, {kAck}, in.at);
    return true;
}

// The done byte after an accepted frame; false when the terminal reports no success.
bool TerminalModel::ReportDone(const Incoming& in) {
    ++doneFrames_;
    const auto& wrong = options_.faults.wrongDone;
    if (wrong && (wrong->ordinal == 0 || wrong->ordinal == doneFrames_)) {
        if (wrong->byte) {
            Note(in, "done byte " + Hex(*wrong->byte) + " (fault)");
            Reply(in, {*wrong->byte}, in.at);
        } else {
            Note(in, "no done byte (fault)");
        }
        return false;
    }
    Reply(in, {kDone}, in.at);
    return true;
}

void TerminalModel::Store(const Incoming& in, SparseMemory& memory) {
    if (!memory.Write(in.frame.address, in.Data())) Note(in, "memory full, not kept");
}

// A 64-byte block for one of the fixed images, kept only when it lies inside and the
// terminal reports it written.
void TerminalModel::TakeImageBlock(const Incoming& in, Bytes& image,
                                   bool (*offsetOf)(uint32_t, std::size_t&)) {
    std::size_t offset = 0;
    const bool inside = offsetOf(in.frame.address, offset);
    if (!inside) Note(in, "outside the image");
    if (Acknowledge(in) && ReportDone(in) && inside) {
        std::ranges::copy(in.Data(), image.begin() + static_cast<std::ptrdiff_t>(offset));
    }
}

// --- one handler per state ---

void TerminalModel::OnLoader(const Incoming& in) {
    switch (in.frame.kind) {
        case FrameKind::Identify:
            AnswerIdentify(in);
            break;
        case FrameKind::BlockWrite:
            if (Acknowledge(in)) Store(in, results_.blockWrites);
            break;
        case FrameKind::LoadRecord:
            if (Acknowledge(in)) Store(in, results_.ramLoader);
            break;
        case FrameKind::StartRequest:
            BeginErase(in, options_.mode == SimMode::Granulo ? SimState::GranuloLoader
                                                             : SimState::FlashLoader);
            break;
        case FrameKind::Opening:
            if (options_.mode != SimMode::Tessara) {
                Note(in, "ignored: not started for the relay path");
            } else if (!in.frame.sumOk) {
                Note(in, "checksum wrong, ignored");
            } else {
                results_.runInProgress = true;
                ChangeState(SimState::RelayWake);
            }
            break;
        default:
            break;  // the nudge after an FF answer needs nothing
    }
}

void TerminalModel::OnErasing(const Incoming& in) {
    if (in.frame.kind == FrameKind::Identify) Restart(in);
}

void TerminalModel::OnFlashLoader(const Incoming& in) {
    switch (in.frame.kind) {
        case FrameKind::Identify:
            Restart(in);
            break;
        case FrameKind::Finish:
            CompleteRun(in);
            break;
        case FrameKind::FlashRecord: {
            const bool inWindow = FlashWindowFor(options_.hardwareCode).Contains(in.frame.address);
            if (!inWindow) {
                Note(in, "outside the flash window");
                ++results_.flashOutsideWindow;
            }
            if (Acknowledge(in) && ReportDone(in)) Store(in, results_.flash);
            break;
        }
        default:
            break;
    }
}

void TerminalModel::OnGranuloLoader(const Incoming& in) {
    switch (in.frame.kind) {
        case FrameKind::Identify:
            Restart(in);
            break;
        case FrameKind::Finish:
            CompleteRun(in);
            break;
        case FrameKind::GranuloBlock: {
            TakeImageBlock(in, results_.granuloImage, GranuloImageOffset);
            break;
        }
        default:
            break;
    }
}

// The relay's first identify request is still answered by the terminal itself.
void TerminalModel::OnRelayWake(const Incoming& in) {
    if (in.frame.kind == FrameKind::Identify) {
        AnswerIdentify(in);
        ChangeState(SimState::RelayIdentify);
    } else if (in.frame.kind == FrameKind::StartRequest) {
        Note(in, "ignored: the relay is not identified");
    }
}

void TerminalModel::OnRelayIdentify(const Incoming& in) {
    switch (in.frame.kind) {
        case FrameKind::Identify: {
            const auto answer = options_.relayAnswer;
            if (!answer) {
                Note(in, "no answer (fault)");
                break;
            }
            Reply(in, {*answer}, in.at);
            if (*answer == 0xC8 || *answer == 0x01) ChangeState(SimState::RelayStart);
            break;
        }
        case FrameKind::Opening:
            ChangeState(SimState::RelayWake);
            break;
        case FrameKind::StartRequest:
            Note(in, "ignored: the relay is not identified");
            break;
        default:
            break;
    }
}

void TerminalModel::OnRelayStart(const Incoming& in) {
    switch (in.frame.kind) {
        case FrameKind::StartRequest:
            BeginErase(in, SimState::Pages);
            break;
        case FrameKind::Identify:
            Reply(in, {options_.relayAnswer.value_or(0xC8)}, in.at);
            break;
        case FrameKind::Opening:
            ChangeState(SimState::RelayWake);
            break;
        default:
            break;
    }
}

void TerminalModel::OnPages(const Incoming& in) {
    switch (in.frame.kind) {
        case FrameKind::Identify:
            Restart(in);
            break;
        case FrameKind::Finish:
            ChangeState(SimState::PagesEnding);
            break;
        case FrameKind::PageWrite: {
            TakeImageBlock(in, results_.pageImage, PageImageOffset);
            break;
        }
        default:
            break;
    }
}

void TerminalModel::OnPagesEnding(const Incoming& in) {
    switch (in.frame.kind) {
        case FrameKind::Identify:
            Restart(in);
            break;
        case FrameKind::End:
            CompleteRun(in);
            break;
        default:
            Note(in, "ignored: after the first end byte");
            break;
    }
}

void TerminalModel::OnStreaming(const Incoming& in) { Note(in, "ignored: streaming"); }

void TerminalModel::OnSilent(const Incoming& in) { Note(in, "not answered: silent (fault)"); }

void TerminalModel::OnVanished(const Incoming&) {}

// --- results ---

std::size_t SimResults::Count(FrameKind kind) const {
    return static_cast<std::size_t>(std::ranges::count_if(
        frames, [kind](const FrameRecord& r) { return kind == FrameKind::Any || r.kind == kind; }));
}

Bytes SimResults::FlashWindowImage() const {
    const FlashWindow w = FlashWindowFor(hardwareCode);
    return flash.Read(w.start, w.size);
}

}  // namespace termsim
