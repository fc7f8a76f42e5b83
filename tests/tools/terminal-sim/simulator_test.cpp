// The simulator on a pseudo-terminal, driven from the program's end of the line.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <memory>

#include "program_side.h"
#include "temp_folder.h"
#include "terminal-sim/terminal_simulator.h"

using namespace termsim;
using namespace simtest;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

class SimulatorTest : public ::testing::Test {
  protected:
    std::unique_ptr<TerminalSimulator> Start(unsigned com,
                                             const std::function<void(SimOptions&)>& adjust = {}) {
        SimOptions o;
        o.portsFolder = folder.Path() + "ports";
        o.comNumber = com;
        o.model.eraseTime = 10ms;
        o.onActivity = activity.Callback();
        if (adjust) adjust(o);
        auto sim = std::make_unique<TerminalSimulator>(o);
        std::string error;
        EXPECT_TRUE(sim->Start(error)) << error;
        return sim;
    }
    std::string Port(unsigned com) const {
        return folder.Path() + "ports/COM" + std::to_string(com);
    }

    testsupport::TempFolder folder;
    Activity activity;
};

// The frames of a small Plantrix run after the identification; the replies they need.
std::size_t PlayRun(ProgramSide& port, std::size_t flashRecords) {
    std::size_t bytes = 0;
    const auto exchange = [&](const Bytes& frame, const Bytes& reply) {
        EXPECT_EQ(port.Exchange(frame, reply.size()), reply);
        bytes += frame.size() + reply.size();
    };
    exchange(BlockWrite(0x1000, Pattern(64, 1)), {0xCC});
    exchange(BlockWrite(0x1040, Pattern(2, 65)), {0xCC});
    exchange(BlockWrite(0x40, Pattern(20, 2)), {0xCC});
    exchange(LoadRecord(0, Pattern(16, 3)), {0xCC});
    exchange(kStart, {'E'});
    for (std::size_t i = 0; i < flashRecords; ++i) {
        exchange(FlashRecord(0x100 + 32 * i, Pattern(32, uint8_t(i))), {0xCC, 'E'});
    }
    port.Write({0x35});
    return bytes + 1;
}

}  // namespace

TEST_F(SimulatorTest, WholeRunAfterTheProgramReopenedThePortManyTimes) {
    auto sim = Start(3, [&](SimOptions& o) { o.outputFolder = folder.Path() + "out"; });
    EXPECT_EQ(fs::read_symlink(Port(3)).string(), sim->DevicePath());
    // Port search passes open, probe and close the port again and again.
    for (int i = 0; i < 20; ++i) {
        ProgramSide probe(Port(3));
        ASSERT_TRUE(probe.IsOpen()) << i;
        ASSERT_EQ(probe.Exchange(kIdentify, 1), Bytes{1}) << i;
    }
    // Programmed twice, as a user who repeats a run does.
    for (unsigned run = 1; run <= 2; ++run) {
        ProgramSide port(Port(3));
        ASSERT_EQ(port.Exchange(kIdentify, 1), Bytes{1});
        PlayRun(port, 4);
        ASSERT_TRUE(sim->WaitForRunComplete(5s, run));
    }
    const SimResults r = sim->Results();
    EXPECT_EQ(r.completeRuns, 2u);
    EXPECT_EQ(r.blockWrites.Read(0x1000, 66), Cat(Pattern(64, 1), Pattern(2, 65)));
    EXPECT_EQ(r.blockWrites.Read(0x40, 20), Pattern(20, 2));
    EXPECT_EQ(r.ramLoader.Read(0, 16), Pattern(16, 3));
    EXPECT_EQ(r.flash.Read(0x160, 32), Pattern(32, 3));
    EXPECT_EQ(r.Count(FrameKind::Identify), 22u);

    // The files hold the same, and are there when the run is reported complete.
    const testsupport::TempFolder& f = folder;
    const std::string flash = f.Read("out/flash.bin");
    ASSERT_EQ(flash.size(), 0x1E000u);
    EXPECT_EQ(Bytes(flash.begin() + 0x160, flash.begin() + 0x180), Pattern(32, 3));
    const std::string vtf = f.Read("out/blocks-00000040.bin");
    EXPECT_EQ(Bytes(vtf.begin(), vtf.end()), Pattern(20, 2));
    EXPECT_NE(f.Read("out/frames.log").find("finish reply=none (run complete)"), std::string::npos);
    EXPECT_NE(f.Read("out/summary.txt").find("complete runs: 2"), std::string::npos);

    sim->Stop();
    EXPECT_FALSE(fs::exists(fs::symlink_status(Port(3))));
}

TEST_F(SimulatorTest, WhatTheClosedPortDidNotReadIsGoneWhenItIsReopened) {
    auto sim = Start(7, [](SimOptions& o) { o.model.faults.identifyExtra = {0x55, 0xAA}; });
    for (int i = 0; i < 2; ++i) {
        ProgramSide port(Port(7));
        ASSERT_TRUE(activity.WaitFor([&] { return sim->PortHeld(); }));
        port.Write(kIdentify);
        // The code and the extra bytes leave in one write; only the code is read.
        ASSERT_EQ(port.Read(1), Bytes{1}) << i;
        port.Close();
        ASSERT_TRUE(activity.WaitFor([&] { return !sim->PortHeld(); }));
    }
    ProgramSide port(Port(7));
    EXPECT_EQ(port.Exchange(kIdentify, 3), (Bytes{1, 0x55, 0xAA}));
}

TEST_F(SimulatorTest, SeveralPortsInOneFolderEachBehaveAsAsked) {
    auto terminal = Start(1, [](SimOptions& o) { o.model.hardwareCode = 2; });
    auto silent = Start(2, [](SimOptions& o) {
        o.model.faults.silentAfter = FrameCount{FrameKind::Any, 0};
    });
    auto stream = Start(3, [](SimOptions& o) { o.model.mode = SimMode::Stream; });
    auto held = Start(4, [](SimOptions& o) { o.holdPort = true; });

    ProgramSide one(Port(1));
    EXPECT_EQ(one.Exchange(kIdentify, 1), Bytes{2});
    EXPECT_EQ(one.Exchange(kStart, 1), Bytes{'E'});
    // The flash is ready once it said so, whether or not anything came after.
    EXPECT_EQ(terminal->Results().state, SimState::FlashLoader);

    ProgramSide two(Port(2));
    two.Write(kIdentify);
    ASSERT_TRUE(activity.WaitFor([&] { return silent->FramesReceived() == 1; }));
    EXPECT_TRUE(silent->Results().frames[0].reply.empty());

    ProgramSide three(Port(3));
    const Bytes data = three.Read(40);  // without asking
    ASSERT_EQ(data.size(), 40u);
    EXPECT_EQ(std::string(data.begin(), data.begin() + 5), "T1 00");

    ProgramSide four(Port(4));
    // Refused by the exclusive flag, or (for root, whom that flag does not stop) the lock.
    EXPECT_FALSE(four.IsOpen());
    EXPECT_TRUE(four.OpenError() == EBUSY || four.OpenError() == EWOULDBLOCK) << four.OpenError();
}

TEST_F(SimulatorTest, UnpluggedDeviceHangsUpTheLineAndTakesItsPortAway) {
    auto sim = Start(5, [](SimOptions& o) {
        o.model.faults.vanishAfter = FrameCount{FrameKind::BlockWrite, 1};
    });
    ProgramSide port(Port(5));
    EXPECT_EQ(port.Exchange(kIdentify, 1), Bytes{1});
    EXPECT_EQ(port.Exchange(BlockWrite(0x40, {1}), 1), Bytes{0xCC});
    port.Write(BlockWrite(0x41, {2}));
    EXPECT_TRUE(port.WaitForHangUp());
    ASSERT_TRUE(activity.WaitFor([&] { return sim->Ended(); }));
    EXPECT_FALSE(fs::exists(fs::symlink_status(Port(5))));
    EXPECT_EQ(sim->Results().state, SimState::Vanished);
}

TEST_F(SimulatorTest, PacedLineCompletesTheRunNoFasterThanTheWire) {
    // At 19200 baud a byte takes 10/19200 s each way; only the lower bound is certain.
    auto sim = Start(6, [](SimOptions& o) { o.paceBaud = 19200; });
    ProgramSide port(Port(6));
    const auto began = std::chrono::steady_clock::now();
    ASSERT_EQ(port.Exchange(kIdentify, 1), Bytes{1});
    const std::size_t bytes = 9 + PlayRun(port, 8) - 1;  // the finish byte counts when read
    ASSERT_TRUE(sim->WaitForRunComplete(10s));
    const auto took = std::chrono::steady_clock::now() - began;
    EXPECT_GE(took, std::chrono::microseconds(bytes * 10'000'000 / 19200) + 10ms);
}
