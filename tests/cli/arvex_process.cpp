#include "arvex_process.h"

#include <cstdlib>

#include "child_process.h"
#include "temp_folder.h"

namespace clitest {

std::string BuildPath(const std::string& program) {
    return std::string(std::getenv("ARVEX_BUILD_DIR")) + "/" + program;
}

std::vector<std::string> ArvexEnvironment(const std::string& scratch) {
    return {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "ARVEX_COM_PORTS",
            "XDG_DATA_HOME=" + scratch + "xdg"};
}

Outcome RunArvex(const std::vector<std::string>& args, std::vector<std::string> environment,
                 const std::string& program) {
    testsupport::TempFolder scratch;
    std::vector<std::string> argv = {"/bin/sh", "-c", "exec \"$@\" 2>\"$0\"",
                                     scratch.Path() + "err", BuildPath(program)};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<std::string> env = ArvexEnvironment(scratch.Path());
    env.insert(env.end(), environment.begin(), environment.end());
    const testsupport::RunResult run = testsupport::RunProcess(argv, env, 60000);
    return {run.status, run.output, scratch.Read("err")};
}

bool HasControlCharacters(const std::string& text) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) < 0x20 && c != '\n') return true;
    return false;
}

}  // namespace clitest
