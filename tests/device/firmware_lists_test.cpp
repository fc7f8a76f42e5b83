// Choosing firmware from the files of a real data folder.
#include <gtest/gtest.h>

#include <initializer_list>

#include "device/firmware_lists.h"
#include "temp_folder.h"

using namespace device;
using Names = std::vector<std::string>;

class FirmwareListTest : public ::testing::Test {
protected:
    void Files(std::initializer_list<const char*> names) {
        for (const char* n : names) data.Write(n, "package");
    }
    testsupport::TempFolder data;
    const std::string& dir() const { return data.Path(); }
};

TEST_F(FirmwareListTest, ReleasesOfOneMachineTypeForEachHardware) {
    Files({"KX_R0103.vbf", "KX_R0105.vbf", "KX_T0106.vbf", "KX_R0105_s12.vbf", "readme.txt"});

    const MachineTypeChoice types = FillMachineTypes(dir(), false, false);
    EXPECT_EQ(types.machineTypes, Names{"KX"});
    EXPECT_EQ(types.selected, 0);
    EXPECT_EQ(FindNewestFirmware(dir(), "KX", "*.vbf", false), "KX_R0105.vbf");
    EXPECT_EQ(FindNewestFirmware(dir(), "KX", "*.vbf", true), "KX_R0105_s12.vbf");

    // Test releases are listed (the service-mode list), in listing order, last preselected.
    const ReleaseChoice releases = FillReleases(dir(), "KX", "*.vbf", false);
    EXPECT_EQ(releases.releases, (Names{"R0103", "R0105", "T0106"}));
    EXPECT_EQ(releases.fileNames, (Names{"KX_R0103.vbf", "KX_R0105.vbf", "KX_T0106.vbf"}));
    EXPECT_EQ(releases.selected, 2);
    const ReleaseChoice s12 = FillReleases(dir(), "KX", "*.vbf", true);
    EXPECT_EQ(s12.fileNames, Names{"KX_R0105_s12.vbf"});
    EXPECT_EQ(s12.selected, 0);
}

TEST_F(FirmwareListTest, TestReleasesCountOnlyInServiceMode) {
    Files({"KX_T0106.vbf", "QB_R0001_s12.vbf"});
    EXPECT_TRUE(FillMachineTypes(dir(), false, false).machineTypes.empty());
    EXPECT_EQ(FillMachineTypes(dir(), false, false).selected, -1);
    EXPECT_EQ(FillMachineTypes(dir(), true, false).machineTypes, Names{"KX"});
    EXPECT_EQ(FillMachineTypes(dir(), false, true).machineTypes, Names{"QB"});
    // A test release has no release number, so it is never the newest.
    EXPECT_EQ(FindNewestFirmware(dir(), "KX", "*.vbf", false), "");
}

TEST_F(FirmwareListTest, MachineTypesAreListedOnceWhateverTheirCase) {
    Files({"kx_R0101.vbf", "KX_R0102.vbf", "AB_R0001.vbf", "NOUNDERSCORE.vbf"});
    EXPECT_EQ(FillMachineTypes(dir(), false, false).machineTypes, (Names{"AB", "kx"}));
}

TEST_F(FirmwareListTest, PrefixMachineTypeAlsoMatchesTheLongerOnesFiles) {
    Files({"KX_R0105.vbf", "KXB_R0200.vbf"});
    EXPECT_EQ(FillReleases(dir(), "KX", "*.vbf", false).fileNames, (Names{"KXB_R0200.vbf", "KX_R0105.vbf"}));
    EXPECT_EQ(FindNewestFirmware(dir(), "KX", "*.vbf", false), "KXB_R0200.vbf");
    EXPECT_EQ(FindNewestFirmware(dir(), "KXB", "*.vbf", false), "KXB_R0200.vbf");
}

TEST_F(FirmwareListTest, ReleaseThatIsNoNumberIsSkippedForTheNewestButStillListed) {
    Files({"KX_R01_04.vbf", "KX_R0103.vbf", "KX_RX.vbf"});
    EXPECT_EQ(FindNewestFirmware(dir(), "KX", "*.vbf", false), "KX_R0103.vbf");
    EXPECT_EQ(FillReleases(dir(), "KX", "*.vbf", false).releases, (Names{"R0103", "R01_04", "RX"}));
}

TEST_F(FirmwareListTest, AmongEqualReleaseNumbersTheFirstListedWins) {
    Files({"KX_R105.vbf", "KX_R0105.vbf", "KX_R0099.vbf"});
    EXPECT_EQ(FindNewestFirmware(dir(), "KX", "*.vbf", false), "KX_R0105.vbf");
}

TEST_F(FirmwareListTest, NameWithoutUnderscoreIsAReleaseButNoMachineType) {
    Files({"FIRMWARE.vbf"});
    EXPECT_TRUE(FillMachineTypes(dir(), true, false).machineTypes.empty());
    const ReleaseChoice all = FillReleases(dir(), "", "*.vbf", false);
    EXPECT_EQ(all.releases, Names{"FIRMWARE"});
}

TEST_F(FirmwareListTest, TessaraFilesAndAnEmptyOrMissingFolder) {
    Files({"Tessara_R0100.b12", "TessaraX_R0102.b12", "KX_R0200.vbf"});
    EXPECT_EQ(FindNewestFirmware(dir(), "Tessara", "*.b12", false), "TessaraX_R0102.b12");
    const std::string missing = dir() + "nothing/";
    EXPECT_EQ(FindNewestFirmware(missing, "KX", "*.vbf", false), "");
    EXPECT_EQ(FillReleases(missing, "KX", "*.vbf", false).selected, -1);
    EXPECT_TRUE(FillMachineTypes(missing, true, false).machineTypes.empty());
}
