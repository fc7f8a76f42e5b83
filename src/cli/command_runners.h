#pragma once
// The runner of each command; each returns the exit status.
#include "cli/context.h"

namespace cli {

int RunPorts(Context& context);
int RunIdentify(Context& context);
int RunCheck(Context& context);
int RunProgram(Context& context);

}  // namespace cli
