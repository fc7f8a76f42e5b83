#pragma once
// What the demo's tests share: where the scripts and the build are, and the generator run
// on a folder of the test's.
#include <cstdlib>
#include <string>

#include "child_process.h"

namespace demotest {

inline std::string SourceDir() { return std::getenv("ARVEX_SOURCE_DIR"); }
inline std::string BuildDir() { return std::getenv("ARVEX_BUILD_DIR"); }
inline std::string DemoScript(const std::string& name) {
    return SourceDir() + "/tools/demo/" + name;
}
// Debian's interpreter, which has python3-pyftpdlib; another python3 on the PATH may not.
inline constexpr const char* kPython = "/usr/bin/python3";

inline testsupport::RunResult MakeTree(const std::string& tree) {
    return testsupport::RunProcess(
        {kPython, DemoScript("demo_tree.py"), "--build", BuildDir(), tree});
}

}  // namespace demotest
