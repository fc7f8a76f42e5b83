// What a firmware file name says about machine type, release, test release and hardware.
#include <gtest/gtest.h>

#include "device/firmware_names.h"

using namespace device;

struct NameCase {
    const char* name;
    const char* machineType;
    const char* release;
    std::optional<long> number;
    bool test;
    bool s12;
};

class FirmwareNameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(FirmwareNameTest, IsTakenApartByTheNamingRules) {
    const NameCase& c = GetParam();
    EXPECT_EQ(MachineTypeOf(c.name), c.machineType);
    EXPECT_EQ(ReleaseTextOf(c.name), c.release);
    EXPECT_EQ(ReleaseNumberOf(c.name), c.number);
    EXPECT_EQ(IsTestRelease(c.name), c.test);
    EXPECT_EQ(IsS12File(c.name), c.s12);
}

INSTANTIATE_TEST_SUITE_P(
    Names, FirmwareNameTest,
    ::testing::Values(
        NameCase{"KX_R0104.vbf", "KX", "R0104", 104, false, false},
        NameCase{"KX_R0104_s12.vbf", "KX", "R0104", 104, false, true},
        NameCase{"KX_T0106.vbf", "KX", "T0106", 0, true, false},
        // "_s12" but not "_s12.vbf": not an s12 file, and the release loses 4 characters.
        NameCase{"AB_R0104_s12_x.vbf", "AB", "R0104_s", std::nullopt, false, false},
        NameCase{"FIRMWARE.vbf", "", "FIRMWARE", 0, false, false},
        NameCase{"KX_R01_04.vbf", "KX", "R01_04", std::nullopt, false, false},
        NameCase{"KX_R.vbf", "KX", "R", std::nullopt, false, false},
        NameCase{"KX_R99999999999999999999.vbf", "KX", "R99999999999999999999", std::nullopt, false, false},
        NameCase{"KX_r0104_S12.vbf", "KX", "r0104_S12", 0, false, false},  // case as written
        NameCase{"Tessara2_R0200.b12", "Tessara2", "R0200", 200, false, false},
        NameCase{"KX_.vbf", "KX", "", 0, false, false},
        NameCase{"A_b", "A", "", 0, false, false}),
    [](const auto& info) {
        std::string n = info.param.name;
        for (char& c : n)
            if (!isalnum(static_cast<unsigned char>(c))) c = '_';
        return n;
    });
