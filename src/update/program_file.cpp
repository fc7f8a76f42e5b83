#include "update/program_file.h"

#include "platform/files.h"
#include "platform/process.h"

namespace update {

ProgramFile ProgramFileAt(const std::string& path) {
    ProgramFile file{path, false};
    if (path.empty() || path.front() != '/' || path.back() == '/') return file;
    const std::string folder = path.substr(0, path.rfind('/') + 1);
    file.replaceable = platform::FolderWritable(folder);
    return file;
}

ProgramFile RunningProgramFile() { return ProgramFileAt(platform::RunningExecutablePath()); }

std::string NotFetchedForPackageManagerLine(const std::string& installer) {
    return "Skipped installer \"" + installer +
           "\": this copy of the program is updated by the package manager";
}

std::string UpdatedByPackageManagerText(const std::string& installer, const ProgramFile& program) {
    const std::string folder =
        program.path.empty() ? std::string() : program.path.substr(0, program.path.rfind('/'));
    return "A newer version of this program is on the server (" + installer +
           ").\nThis copy cannot replace its own file" +
           (folder.empty() ? std::string() : " in " + folder) + ": the package manager updates it.";
}

}  // namespace update
