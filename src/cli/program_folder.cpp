#include "cli/program_folder.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace cli {

namespace {

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

}  // namespace

std::optional<std::string> ProgramFolder(const std::optional<std::string>& given,
                                         std::string& error) {
    std::filesystem::path folder;
    if (given) {
        folder = *given;
    } else {
        // A relative XDG_DATA_HOME is not a valid setting and is ignored.
        const std::string dataHome = Environment("XDG_DATA_HOME");
        const std::string home = Environment("HOME");
        if (dataHome.starts_with("/")) {
            folder = std::filesystem::path(dataHome) / "ArvexUpdate";
        } else if (!home.empty()) {
            folder = std::filesystem::path(home) / ".local/share/ArvexUpdate";
        } else {
            error = "neither XDG_DATA_HOME nor HOME is set; name the program folder with --folder";
            return std::nullopt;
        }
    }
    std::error_code failed;
    const std::filesystem::path absolute = std::filesystem::absolute(folder, failed);
    if (failed) {
        error = "cannot find the folder " + folder.string() + ": " + failed.message();
        return std::nullopt;
    }
    std::string path = absolute.lexically_normal().string();
    if (!path.ends_with("/")) path += "/";
    return path;
}

}  // namespace cli
