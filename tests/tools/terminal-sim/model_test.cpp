// The terminal's state machine: frames in, reply bytes and rebuilt memories out.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "sent_frames.h"
#include "temp_folder.h"
#include "terminal-sim/result_files.h"
#include "terminal-sim/terminal_model.h"

using namespace termsim;
using namespace simtest;
using namespace std::chrono_literals;

namespace {

// Feeds whole frames to a model, one millisecond apart, and collects what it answers.
class Terminal {
  public:
    explicit Terminal(ModelOptions options = {}) : model_(std::move(options), start_) {}

    Bytes Send(const Bytes& frame) {
        now_ += 1ms;
        std::vector<Action> actions;
        for (const uint8_t b : frame) model_.Receive(b, now_, actions);
        Bytes reply;
        for (const Action& a : actions) {
            if (a.kind == Action::Kind::Unplug) unplugged_ = true;
            reply.insert(reply.end(), a.bytes.begin(), a.bytes.end());
            lastReplyAt_ = a.at;
        }
        return reply;
    }
    void Wait(std::chrono::milliseconds d) { now_ += d; }
    // Plays the steps up to the flash records: identify, the two members, the loader, start.
    void ToFlashLoader() {
        EXPECT_EQ(Send(kIdentify), Bytes{model_.Results().hardwareCode});
        EXPECT_EQ(Send(LoadRecord(0, Pattern(16, 9))), Bytes{0xCC});
        EXPECT_EQ(Send(kStart), Bytes{'E'});
        Wait(1s);
    }

    const SimResults& Results() const { return model_.Results(); }
    SimState State() const { return model_.State(); }
    bool Unplugged() const { return unplugged_; }
    std::chrono::milliseconds LastReplyDelay() const {
        return std::chrono::duration_cast<std::chrono::milliseconds>(lastReplyAt_ - now_);
    }

  private:
    TimePoint start_ = Clock::now();
    TimePoint now_ = start_;
    TimePoint lastReplyAt_{};
    TerminalModel model_;
    bool unplugged_ = false;
};

ModelOptions Mode(SimMode mode, uint8_t code = 1) {
    ModelOptions o;
    o.mode = mode;
    o.hardwareCode = code;
    return o;
}

}  // namespace

TEST(TerminalModelTest, PlantrixRunIsAnsweredAndRebuiltFrameByFrame) {
    ModelOptions options = Mode(SimMode::Plantrix, 2);
    options.eraseTime = 300ms;
    Terminal t(options);
    const Bytes vgf = Pattern(130, 1), vtf = Pattern(40, 2), loader = Pattern(16, 3);

    EXPECT_EQ(t.Send(kIdentify), Bytes{2});
    EXPECT_EQ(t.Send({0x00}), Bytes{});  // the nudge
    for (std::size_t at = 0; at < vgf.size(); at += 64) {
        const Bytes part(vgf.begin() + at, vgf.begin() + std::min(at + 64, vgf.size()));
        EXPECT_EQ(t.Send(BlockWrite(0x1000 + at, part)), Bytes{0xCC});
    }
    EXPECT_EQ(t.Send(BlockWrite(0x40, vtf)), Bytes{0xCC});
    EXPECT_EQ(t.Send(LoadRecord(0x0000, loader)), Bytes{0xCC});
    EXPECT_EQ(t.Send(LoadRecord(0x0010, loader)), Bytes{0xCC});
    EXPECT_EQ(t.Send(kStart), Bytes{'E'});
    EXPECT_EQ(t.LastReplyDelay(), 300ms);  // the erase time
    t.Wait(300ms);
    EXPECT_EQ(t.Send(FlashRecord(0x000100, {0xAA, 0x55})), (Bytes{0xCC, 'E'}));
    EXPECT_EQ(t.Send(FlashRecord(0x01DFFE, {1, 2})), (Bytes{0xCC, 'E'}));
    EXPECT_EQ(t.Send(FlashRecord(0x020000, {3})), (Bytes{0xCC, 'E'}));  // outside: noted
    EXPECT_EQ(t.Send({0x35}), Bytes{});

    const SimResults& r = t.Results();
    EXPECT_EQ(r.completeRuns, 1u);
    EXPECT_EQ(t.State(), SimState::Loader);
    EXPECT_EQ(r.blockWrites.Read(0x1000, vgf.size()), vgf);
    EXPECT_EQ(r.blockWrites.Read(0x40, vtf.size()), vtf);
    EXPECT_EQ(r.ramLoader.Read(0, 32), Cat(loader, loader));
    const Bytes flash = r.FlashWindowImage();
    ASSERT_EQ(flash.size(), 0x1E000u);
    EXPECT_EQ(flash[0x100], 0xAA);
    EXPECT_EQ(flash[0x1DFFF], 2);
    EXPECT_EQ(r.flashOutsideWindow, 1u);
    EXPECT_EQ(r.Count(FrameKind::BlockWrite), 4u);
    EXPECT_EQ(r.frames.back().note, "run complete");
}

TEST(TerminalModelTest, EachFaultChangesTheAnswersAsAsked) {
    const Bytes block = BlockWrite(0x40, {1, 2, 3});
    const Bytes flash = FlashRecord(0x100, {1});
    Bytes wrongFlash = flash;
    wrongFlash.back() ^= 0xFF;
    struct Case {
        const char* what;
        std::function<void(Faults&)> fault;
        bool toFlashLoader;                          // play identify, loader and start first
        std::vector<std::pair<Bytes, Bytes>> steps;  // frame → reply
    };
    const Case cases[] = {
        {"block 2 refused three times",
         [](Faults& f) {
             f.refusals.push_back({FrameKind::BlockWrite, 2, 3});
         },
         false,
         {{block, {0xCC}},
          {block, {0xEE}},
          {block, {0xEE}},
          {block, {0xEE}},
          {block, {0xCC}},
          {block, {0xCC}}}},
        {"every frame refused for ever",
         [](Faults& f) {
             f.refusals.push_back({FrameKind::Any, 0, 0});
         },
         false,
         {{block, {0xEE}}, {block, {0xEE}}, {LoadRecord(0, {1}), {0xEE}}, {kIdentify, {1}}}},
        {"every flash record refused once",
         [](Faults& f) {
             f.refusals.push_back({FrameKind::FlashRecord, 0, 1});
         },
         true,
         {{flash, {0xEE}}, {flash, {0xCC, 'E'}}, {flash, {0xEE}}, {flash, {0xCC, 'E'}}}},
        {"a wrong checksum is refused",
         [](Faults&) {},
         true,
         {{wrongFlash, {0xEE}}, {flash, {0xCC, 'E'}}}},
        {"silent after one block",
         [](Faults& f) {
             f.silentAfter = FrameCount{FrameKind::BlockWrite, 1};
         },
         false,
         {{kIdentify, {1}}, {block, {0xCC}}, {block, {}}, {kIdentify, {}}}},
        {"code and then garbage",
         [](Faults& f) {
             f.identifyExtra = {0x55, 0xAA};
         },
         false,
         {{kIdentify, {1, 0x55, 0xAA}}}},
        {"FF with a second byte, twice",
         [](Faults& f) {
             f.ffAnswers = 2;
             f.ffSecond = 0x01;
         },
         false,
         {{kIdentify, {0xFF, 0x01}}, {kIdentify, {0xFF, 0x01}}, {kIdentify, {1}}}},
        {"FF alone",
         [](Faults& f) { f.ffAnswers = 1; },
         false,
         {{kIdentify, {0xFF}}, {{0x00}, {}}, {kIdentify, {1}}}},
        {"no flash ready",
         [](Faults& f) { f.noFlashReady = true; },
         false,
         {{kStart, {}}, {flash, {}}, {kIdentify, {1}}}},
        {"wrong done byte after the second record",
         [](Faults& f) {
             f.wrongDone = WrongDone{2, uint8_t(0x58)};
         },
         true,
         {{flash, {0xCC, 'E'}}, {flash, {0xCC, 0x58}}, {flash, {0xCC, 'E'}}}},
        {"no done byte at all",
         [](Faults& f) {
             f.wrongDone = WrongDone{0, std::nullopt};
         },
         true,
         {{flash, {0xCC}}, {flash, {0xCC}}}},
        {"unplugged at the second flash record",
         [](Faults& f) {
             f.vanishAfter = FrameCount{FrameKind::FlashRecord, 1};
         },
         true,
         {{flash, {0xCC, 'E'}}, {flash, {}}, {kIdentify, {}}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ModelOptions options;
        c.fault(options.faults);
        Terminal t(options);
        if (c.toFlashLoader) t.ToFlashLoader();
        for (std::size_t i = 0; i < c.steps.size(); ++i) {
            EXPECT_EQ(t.Send(c.steps[i].first), c.steps[i].second) << "step " << i;
        }
    }
    // A record the terminal reports not written is not in its flash.
    ModelOptions notWritten;
    notWritten.faults.wrongDone = WrongDone{1, uint8_t(0x58)};
    Terminal w(notWritten);
    w.ToFlashLoader();
    EXPECT_EQ(w.Send(FlashRecord(0x200, {1})), (Bytes{0xCC, 0x58}));
    EXPECT_TRUE(w.Results().flash.Empty());

    // Twenty refusals of the loader leave the twenty-first try accepted.
    ModelOptions twenty;
    twenty.faults.refusals.push_back({FrameKind::LoadRecord, 1, 20});
    Terminal t(twenty);
    for (int i = 0; i < 20; ++i) ASSERT_EQ(t.Send(LoadRecord(0, {1})), Bytes{0xEE}) << i;
    EXPECT_EQ(t.Send(LoadRecord(0, {1})), Bytes{0xCC});
    EXPECT_EQ(t.Results().ramLoader.Read(0, 1), Bytes{1});
}

TEST(TerminalModelTest, RelayPathGoesOnOnlyForItsTwoAnswers) {
    struct Case {
        std::optional<uint8_t> answer;
        bool proceeds;
    };
    for (const Case c :
         {Case{0xC8, true}, Case{0x01, true}, Case{0x02, false}, Case{std::nullopt, false}}) {
        SCOPED_TRACE(c.answer ? int(*c.answer) : -1);
        ModelOptions options = Mode(SimMode::Tessara, 3);
        options.relayAnswer = c.answer;
        Terminal t(options);
        EXPECT_EQ(t.Send(kIdentify), Bytes{3});  // the search still finds the terminal
        EXPECT_EQ(t.Send(kOpening), Bytes{});
        EXPECT_EQ(t.Send(kIdentify), Bytes{3});  // answered before the relay is up
        EXPECT_EQ(t.Send(kIdentify), c.answer ? Bytes{*c.answer} : Bytes{});
        EXPECT_EQ(t.Send(kStart), c.proceeds ? Bytes{'E'} : Bytes{});
        if (!c.proceeds) continue;
        t.Wait(1s);
        const Bytes data = Pattern(64, 5);
        EXPECT_EQ(t.Send(PageWrite(0x3E, 0x8000, data)), (Bytes{0xCC, 'E'}));
        EXPECT_EQ(t.Send(PageWrite(0x3F, 0xA000, data)), (Bytes{0xCC, 'E'}));  // outside: not kept
        Bytes wrong = PageWrite(0x30, 0x8000, data);
        wrong.back() ^= 1;
        EXPECT_EQ(t.Send(wrong), Bytes{0xEE});
        EXPECT_EQ(t.Send({0x35}), Bytes{});
        EXPECT_EQ(t.Results().completeRuns, 0u);
        EXPECT_EQ(t.Send({0xAF}), Bytes{});
        EXPECT_EQ(t.Results().completeRuns, 1u);
        const Bytes& image = t.Results().pageImage;
        EXPECT_EQ(Bytes(image.begin() + 0x38000, image.begin() + 0x38040), data);
        const auto written = [](const Bytes& b) {
            return std::ranges::count_if(b, [](uint8_t x) { return x != 0xFF; });
        };
        EXPECT_EQ(written(image), written(data));  // nothing else was kept
    }
    // An opening with a wrong sum leaves the terminal where it was.
    Terminal t(Mode(SimMode::Tessara));
    Bytes opening = kOpening;
    opening[13] = 0;
    t.Send(opening);
    EXPECT_EQ(t.Send(kIdentify), Bytes{1});
    EXPECT_EQ(t.Send(kIdentify), Bytes{1});
}

TEST(TerminalModelTest, GranuloRunFillsItsImage) {
    Terminal t(Mode(SimMode::Granulo));
    t.ToFlashLoader();
    const Bytes first = Pattern(64, 7), last = Pattern(64, 8);
    EXPECT_EQ(t.Send(GranuloBlock(0x0580, first)), (Bytes{0xCC, 'E'}));
    EXPECT_EQ(t.Send(GranuloBlock(0xF5C0, last)), (Bytes{0xCC, 'E'}));
    EXPECT_EQ(t.Send(GranuloBlock(0x0500, last)), (Bytes{0xCC, 'E'}));  // below the image: not kept
    EXPECT_EQ(t.Send({0x35}), Bytes{});
    const Bytes& image = t.Results().granuloImage;
    EXPECT_EQ(Bytes(image.begin(), image.begin() + 64), first);
    EXPECT_EQ(Bytes(image.begin() + 0xF040, image.end()), last);
    EXPECT_EQ(t.Results().completeRuns, 1u);
}

TEST(TerminalModelTest, GarbageIsSkippedStaleFragmentsDroppedAndRestartsAnswered) {
    Terminal t;
    EXPECT_EQ(t.Send(Cat({0x12, 0xAC, 0x01, 0xBB, 1, 2, 3, 4, 200}, kIdentify)), Bytes{1});
    EXPECT_EQ(t.Results().frames.front().kind, FrameKind::Garbage);
    EXPECT_EQ(t.Results().garbageBytes, 9u);

    // Half a block write, then silence: the next frame is read afresh.
    EXPECT_EQ(t.Send({0xBB, 0, 0}), Bytes{});
    t.Wait(2s);
    EXPECT_EQ(t.Send(kIdentify), Bytes{1});

    // The terminal restarted in program mode while its RAM bootloader ran.
    t.ToFlashLoader();
    EXPECT_EQ(t.Send(FlashRecord(0x100, {1})), (Bytes{0xCC, 'E'}));
    EXPECT_EQ(t.Send(kIdentify), Bytes{1});
    EXPECT_EQ(t.State(), SimState::Loader);
}

TEST(ResultFilesTest, HoldEveryMemoryTheRunsRebuilt) {
    // A terminal started for the relay path still takes a Plantrix run first.
    Terminal t(Mode(SimMode::Tessara));
    t.ToFlashLoader();
    EXPECT_EQ(t.Send(FlashRecord(0x100, {0xAA, 0x55})), (Bytes{0xCC, 'E'}));
    t.Send({0x35});
    t.Send(kIdentify);
    t.Send(kOpening);
    t.Send(kIdentify);
    EXPECT_EQ(t.Send(kIdentify), Bytes{0xC8});
    t.Send(kStart);
    t.Wait(1s);
    const Bytes data = Pattern(64, 4);
    EXPECT_EQ(t.Send(PageWrite(0x3E, 0x8000, data)), (Bytes{0xCC, 'E'}));
    t.Send({0x35});
    t.Send({0xAF});

    testsupport::TempFolder folder;
    std::string error;
    ASSERT_TRUE(WriteResultFiles(folder.Path() + "out", t.Results(), SimMode::Tessara, error))
        << error;
    EXPECT_EQ(folder.Read("out/flash.bin").substr(0x100, 2), "\xAA\x55");
    const std::string pages = folder.Read("out/tessara.bin");
    ASSERT_EQ(pages.size(), kPageImageSize);
    EXPECT_EQ(Bytes(pages.begin() + 0x38000, pages.begin() + 0x38040), data);
    EXPECT_FALSE(folder.Exists("out/granulo.bin"));
    EXPECT_NE(folder.Read("out/summary.txt").find("complete runs: 2"), std::string::npos);
}
