// The Plantrix wizard's steps through the window: the search for the terminal, the
// firmware choice with service mode off and on, the endings, and what the buttons allow
// while a search or run is going.
#include <gtest/gtest.h>

#include <QTimer>
#include <set>

#include "programming_fixture.h"

namespace {

using app::WizardStep;
using termsim::FrameKind;
using termsim::SimOptions;

const std::string kNotFound =
    "Plantrix not found on any COM port,\n"
    "make sure it is connected and in program mode (started with B button)";

class PlantrixWizard : public testsupport::ProgrammingTest {
  protected:
    // Runs `action` once, `ms` after the next click has started its step.
    static void During(int ms, std::function<void()> action) {
        QTimer::singleShot(ms, std::move(action));
    }
    void ExpectFinishedWith(const std::string& info) {
        EXPECT_EQ(Caption("Label_P3_Info"), info);
        EXPECT_FALSE(Shown("But_P3_Next"));
        EXPECT_EQ(Caption("But_P3_Cancel"), "Finish");
        EXPECT_TRUE(Find("But_P3_Cancel")->isEnabled());
    }
    size_t Identifies(unsigned com) {
        return terminals.At(com).Results().Count(FrameKind::Identify);
    }
    // A package to offer once the terminal is found, for tests about the search.
    void OfferFirmware() { folder.Write("Data/KX_R0104.vbf", ""); }
};

TEST_F(PlantrixWizard, ServiceModeOffConfirmsTheNewestReleaseAndProgramsIt) {
    terminals.Start(2);
    folder.Write("Data/KX_R0103.vbf", "not a package");
    WritePackage("KX_R0105.vbf", progtest::FirmwareFor(1));
    folder.Write("Data/KX_T0106.vbf", "not a package");
    ToSearchResult();
    EXPECT_EQ(form->Step(), WizardStep::PlantrixMachineType);
    EXPECT_EQ(Caption("Label_P3_Info"), "Select machine type:");
    EXPECT_EQ(Choices(), std::vector<std::string>{"KX"});
    EXPECT_TRUE(Shown("ComboBox_P3"));
    EXPECT_EQ(Find("ComboBox_P3")->y(), 120);
    EXPECT_TRUE(form->ComPort.Open()) << "the port stays open after the search";
    const std::string found = "Found on COM2 (" + PortPath(2) + ")";
    EXPECT_EQ(Caption("Label_P3_Port"), found);
    EXPECT_TRUE(Shown("Label_P3_Port"));

    Click("But_P3_Next");
    EXPECT_EQ(form->Step(), WizardStep::PlantrixConfirmation);
    EXPECT_FALSE(Shown("ComboBox_P3"));
    EXPECT_EQ(Caption("Label_P3_Headline2"), "Selected firmware: KX, R0105");
    EXPECT_EQ(Caption("Label_P3_Info"), "Press Next to start download!");
    EXPECT_EQ(RunResult(), "Download success!");
    EXPECT_EQ(Caption("Label_P3_Port"), found);
    // The line belongs to this wizard: leaving it takes the line away.
    Click("But_P3_Cancel");
    Click("But_P1_UpdatePlantrix");
    EXPECT_FALSE(Shown("Label_P3_Port"));
}

TEST_F(PlantrixWizard, ServiceModeListsEveryReleaseAndProgramsTheChosenOne) {
    terminals.Start(2);
    WritePackage("KX_R0103.vbf", progtest::FirmwareFor(1));
    folder.Write("Data/KX_R0105.vbf", "not a package");
    folder.Write("Data/KX_T0106.vbf", "not a package");
    ToSearchResult({"/S"});
    Click("But_P3_Next");
    EXPECT_EQ(form->Step(), WizardStep::PlantrixRelease);
    EXPECT_EQ(Caption("Label_P3_Headline2"), "Selected firmware: KX");
    EXPECT_EQ(Caption("Label_P3_Info"), "Select release version:");
    EXPECT_EQ(Choices(), (std::vector<std::string>{"R0103", "R0105", "T0106"}));
    EXPECT_EQ(Find<QComboBox>("ComboBox_P3")->currentIndex(), 2);

    Choose(0);
    Click("But_P3_Next");
    EXPECT_EQ(form->Step(), WizardStep::PlantrixConfirmation);
    EXPECT_EQ(Caption("Label_P3_Headline2"), "Selected firmware: KX, R0103");
    EXPECT_EQ(RunResult(), "Download success!");
}

TEST_F(PlantrixWizard, HardwareCode3OffersOnlyS12Packages) {
    terminals.Start(2, [](SimOptions& o) { o.model.hardwareCode = 3; });
    for (const char* name : {"AB_R0104_s12.vbf", "CD_R0107.vbf", "KX_R0103_s12.vbf", "KX_R0109.vbf",
                             "KX_R0102_s12.vbf"})
        folder.Write(std::string("Data/") + name, "");
    ToSearchResult();
    EXPECT_EQ(Choices(), (std::vector<std::string>{"AB", "KX"}));
    Choose(1);
    Click("But_P3_Next");
    EXPECT_EQ(Caption("Label_P3_Headline2"), "Selected firmware: KX, R0103");
}

struct NoFirmwareCase {
    const char* name;
    std::vector<const char*> files;
    WizardStep endsAfter;  // the step whose Next found nothing
    friend void PrintTo(const NoFirmwareCase& c, std::ostream* os) { *os << c.name; }
};

class NoFirmware : public PlantrixWizard, public ::testing::WithParamInterface<NoFirmwareCase> {};

TEST_P(NoFirmware, EndsWithNoBootFiles) {
    terminals.Start(2);
    for (const char* name : GetParam().files) folder.Write(std::string("Data/") + name, "");
    ToSearchResult();
    if (GetParam().endsAfter == WizardStep::PlantrixMachineType) Click("But_P3_Next");
    EXPECT_EQ(form->Step(), WizardStep::NoFirmwareFound);
    ExpectFinishedWith("No boot files were found!");
    EXPECT_EQ(Caption("Label_P3_Headline2"), "");
    EXPECT_FALSE(Shown("ComboBox_P3"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NoFirmware,
    ::testing::Values(
        NoFirmwareCase{"NoPackageAtAll", {}, WizardStep::PlantrixPortSearch},
        NoFirmwareCase{"OnlyOtherHardware", {"KX_R0104_s12.vbf"}, WizardStep::PlantrixPortSearch},
        NoFirmwareCase{
            "OnlyReleasesWithoutNumber", {"KX_B0104.vbf"}, WizardStep::PlantrixMachineType}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PlantrixWizard, WithoutAnyPortTheSearchEndsAfterOneEmptyPass) {
    ToSearchResult();
    EXPECT_EQ(form->Step(), WizardStep::PlantrixPortSearch);
    ExpectFinishedWith(kNotFound);
    EXPECT_FALSE(form->Link().SearchRetryRunning());
    EXPECT_FALSE(form->ComPort.Open());
}

// Ports that exist but answer wrongly are probed, rejected and closed.
struct ProbeCase {
    const char* name;
    std::function<void(SimOptions&)> answers;
    bool found;
    std::optional<size_t> identifies;  // nothing: a device that talks first may be closed
    size_t nudges;                     // before the request is out
    friend void PrintTo(const ProbeCase& c, std::ostream* os) { *os << c.name; }
};

class Probe : public PlantrixWizard, public ::testing::WithParamInterface<ProbeCase> {};

TEST_P(Probe, AnswersDecideThePort) {
    const ProbeCase& c = GetParam();
    OfferFirmware();
    terminals.Start(4, c.answers);
    ToSearchResult();
    if (c.found) {
        EXPECT_EQ(form->Step(), WizardStep::PlantrixMachineType);
        EXPECT_TRUE(form->ComPort.Open());
        EXPECT_EQ(folder.Read("ComPort.txt"), "4");
    } else {
        ExpectFinishedWith(kNotFound);
        EXPECT_FALSE(form->ComPort.Open());
        EXPECT_FALSE(folder.Exists("ComPort.txt"));
    }
    const termsim::SimResults r = terminals.At(4).Results();
    if (c.identifies) {
        EXPECT_EQ(r.Count(FrameKind::Identify), *c.identifies);
    }
    EXPECT_EQ(r.Count(FrameKind::Nudge), c.nudges);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, Probe,
    ::testing::Values(ProbeCase{"CodeThenSilence", {}, true, 1, 0},
                      ProbeCase{"CodeThenMoreBytes",
                                [](SimOptions& o) { o.model.faults.identifyExtra = {0x41}; }, false,
                                1, 0},
                      ProbeCase{"NotReadyThenSilenceIsNudgedAndAskedAgain",
                                [](SimOptions& o) { o.model.faults.ffAnswers = 1; }, true, 2, 1},
                      ProbeCase{"NotReadyWithACodeIsAskedOnceMore",
                                [](SimOptions& o) {
                                    o.model.faults.ffAnswers = 1;
                                    o.model.faults.ffSecond = 0x02;
                                },
                                true, 2, 0},
                      ProbeCase{"NotReadyWithAnythingElseIsRejected",
                                [](SimOptions& o) {
                                    o.model.faults.ffAnswers = 1;
                                    o.model.faults.ffSecond = 0x07;
                                },
                                false, 1, 0},
                      ProbeCase{"DeviceInNormalOperation",
                                [](SimOptions& o) { o.model.mode = termsim::SimMode::Stream; },
                                false, std::nullopt, 0}),
    [](const auto& info) { return std::string(info.param.name); });

// Devices that answer the identification wrongly (and are rejected at once) on COM3, COM7
// and COM256, the terminal on COM5: the order in which they were asked shows where the search
// started.
struct OrderCase {
    const char* name;
    const char* remembered;  // "ComPort.txt", or nullptr for none
    std::vector<unsigned> asked;
    friend void PrintTo(const OrderCase& c, std::ostream* os) { *os << c.name; }
};

class SearchOrder : public PlantrixWizard, public ::testing::WithParamInterface<OrderCase> {};

TEST_P(SearchOrder, StartsAtTheRememberedPort) {
    const OrderCase& c = GetParam();
    OfferFirmware();
    if (c.remembered != nullptr) folder.Write("ComPort.txt", c.remembered);
    for (unsigned com : {3u, 7u, 256u}) {
        terminals.Start(com, [](SimOptions& o) {
            o.model.faults.ffAnswers = 1000;
            o.model.faults.ffSecond = 0x07;
        });
    }
    terminals.Start(5);
    ToSearchResult();
    EXPECT_EQ(form->Step(), WizardStep::PlantrixMachineType);
    EXPECT_EQ(terminals.FirstContactOrder(), c.asked);
    EXPECT_EQ(folder.Read("ComPort.txt"), "5");
}

INSTANTIATE_TEST_SUITE_P(Remembered, SearchOrder,
                         ::testing::Values(OrderCase{"None", nullptr, {3, 5}},
                                           OrderCase{"OnTheTerminal", "5", {5}},
                                           OrderCase{"WrapsAround", "6", {7, 256, 3, 5}},
                                           OrderCase{"AboveTheLastIsTheLast", "300", {256, 3, 5}},
                                           OrderCase{"ZeroNegativeOrTextIsTheFirst", "-4", {3, 5}},
                                           OrderCase{"TextIsTheFirst", "COM7", {3, 5}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(PlantrixWizard, AHeldPortIsRetriedUntilItIsFree) {
    OfferFirmware();
    terminals.Start(2);
    progtest::PortHolder other(PortPath(2));
    ASSERT_TRUE(other.Holding());
    bool retryTimerRan = false;
    During(600, [&] {
        retryTimerRan = form->Link().SearchRetryRunning();
        other.Release();
    });
    ToSearchResult();
    EXPECT_TRUE(retryTimerRan);
    EXPECT_EQ(form->Step(), WizardStep::PlantrixMachineType);
    EXPECT_EQ(folder.Read("ComPort.txt"), "2");
    // A retry time left running would forget the port when it ends.
    EXPECT_FALSE(form->Link().SearchRetryRunning());
}

TEST_F(PlantrixWizard, AHeldPortIsGivenUpWhenTheRetryTimeEnds) {
    terminals.Start(2);
    folder.Write("ComPort.txt", "2");
    progtest::PortHolder other(PortPath(2));
    ASSERT_TRUE(other.Holding());
    // Ten seconds after the first pass: the timer's tick, given at once.
    During(300, [&] { form->Link().TimerComSearchTimer(); });
    ToSearchResult();
    ExpectFinishedWith(kNotFound + "\n\nCOM2 (" + PortPath(2) +
                       ") is in use by another program; close that program and try again.");
    EXPECT_FALSE(Shown("Label_P3_Port"));
    EXPECT_EQ(folder.Read("ComPort.txt"), "0");
    EXPECT_EQ(Identifies(2), 0u);
}

TEST_F(PlantrixWizard, APortTheUserMayNotOpenIsNamedBelowTheTexts) {
    if (!progtest::PlaceForbiddenPort(PortPath(4))) GTEST_SKIP() << "nothing to forbid";
    ToSearchResult();
    ExpectFinishedWith(kNotFound + "\n\nCOM4 (" + PortPath(4) +
                       ") exists, but this user may not open it. Access to it is needed, for "
                       "example membership of the group \"dialout\" (log in again after "
                       "joining it).");
    EXPECT_FALSE(form->Link().SearchRetryRunning());

    // With a terminal elsewhere the forbidden port is passed by.
    OfferFirmware();
    terminals.Start(6);
    Click("But_P3_Cancel");
    Click("But_P1_UpdatePlantrix");
    Click("But_P3_Next");
    Click("But_P3_Next");
    EXPECT_EQ(form->Step(), WizardStep::PlantrixMachineType);
}

TEST_F(PlantrixWizard, CancelDuringTheSearchEndsIt) {
    folder.Write("ComPort.txt", "2");
    terminals.Start(2, [](SimOptions& o) {
        o.model.faults.silentAfter = termsim::FrameCount{FrameKind::Any, 0};
    });
    terminals.Start(3);
    During(300, [&] { Click("But_P3_Cancel"); });
    ToSearchResult();
    EXPECT_EQ(form->VisiblePage(), 1);
    EXPECT_EQ(form->Step(), WizardStep::StartPage);
    EXPECT_FALSE(form->ComPort.Open());
    EXPECT_FALSE(form->Link().SearchRetryRunning());
    EXPECT_EQ(Identifies(3), 0u) << "the search went on after Cancel";
}

TEST_F(PlantrixWizard, NextPressedAgainDuringTheSearchIsIgnored) {
    OfferFirmware();
    terminals.Start(2);
    During(300, [&] { Click("But_P3_Next"); });
    ToSearchResult();
    EXPECT_EQ(form->Step(), WizardStep::PlantrixMachineType);
    EXPECT_EQ(Identifies(2), 1u);
}

TEST_F(PlantrixWizard, CancelAfterTheSearchClosesThePort) {
    OfferFirmware();
    terminals.Start(2);
    ToSearchResult();
    ASSERT_TRUE(form->ComPort.Open());
    Click("But_P3_Cancel");
    EXPECT_FALSE(form->ComPort.Open());
    EXPECT_EQ(form->VisiblePage(), 1);
}

// What the page shows while the run goes, looked at every few milliseconds.
TEST_F(PlantrixWizard, DuringTheRunNoButtonTakesInput) {
    terminals.Start(2, [](SimOptions& o) { o.paceBaud = 19200; });
    WritePackage("KX_R0104.vbf", progtest::FirmwareFor(1));
    ToConfirmation();
    bool searching = false, downloading = false, nextShown = false, cancelEnabled = false;
    std::set<std::string> shares;
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, [&] {
        const std::string info = Caption("Label_P3_Info");
        searching |= info.rfind("Searching for Plantrix", 0) == 0;
        downloading |= info == "Downloading new firmware to Plantrix..." && Shown("ProgressBar1");
        nextShown |= Shown("But_P3_Next");
        cancelEnabled |= Find("But_P3_Cancel")->isEnabled();
        if (Shown("Label_P3_Progress")) shares.insert(Caption("Label_P3_Progress"));
    });
    look.start(20);
    EXPECT_EQ(RunResult(), "Download success!");
    look.stop();
    EXPECT_TRUE(searching);
    EXPECT_TRUE(downloading);
    // The share moves on while the frames go out, and ends full.
    EXPECT_GE(shares.size(), 2u);
    EXPECT_EQ(Caption("Label_P3_Progress"), "100 %");
    EXPECT_TRUE(Shown("Label_P3_Progress"));
    EXPECT_FALSE(nextShown);
    EXPECT_FALSE(cancelEnabled);
    EXPECT_EQ(Caption("Label_P3_Headline2"), "Selected firmware: KX, R0104");
}

}  // namespace
