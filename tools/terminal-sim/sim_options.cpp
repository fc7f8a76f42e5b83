#include "sim_options.h"

#include <array>

#include "name_table.h"

namespace termsim {

namespace {
constexpr std::array<std::string_view, 4> kModeNames = {"plantrix", "tessara", "granulo", "stream"};
}

std::string_view SimModeName(SimMode mode) { return NameOf(kModeNames, mode); }

bool SimModeFromName(std::string_view name, SimMode& mode) {
    return ValueOf(kModeNames, name, mode);
}

}  // namespace termsim
