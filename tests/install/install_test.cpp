// The installed copy: `cmake --install` into a folder of the test's and the Debian package
// built from the same tree hold the program, arvex, the engine, the launcher, the desktop
// entry, the icons and the software centre's description; the launcher runs the program
// in the user's own program folder; the package is one lintian accepts, names the runtime
// packages the program needs, and what it holds starts.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <regex>
#include <set>
#include <sstream>

#include "child_process.h"
#include "platform/files.h"
#include "temp_folder.h"

namespace fs = std::filesystem;
using testsupport::ChildProcess;
using testsupport::RunProcess;
using testsupport::RunResult;

namespace {

constexpr int kStartMs = 20000;
// Once its folders are made, the program shows its window; a program that fails at its
// start has ended by then.
constexpr int kStillRunningMs = 700;
constexpr int kIconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

std::string BuildDir() { return std::getenv("ARVEX_BUILD_DIR"); }
std::string SourceDir() { return std::getenv("ARVEX_SOURCE_DIR"); }

// Waits for `target` to exist, by the creation events of the folders on its way.
bool WaitForPath(const fs::path& target, int timeoutMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    const int fd = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    bool found = false;
    while (fd >= 0 && !(found = fs::exists(target))) {
        fs::path next = target;
        while (!fs::exists(next.parent_path())) next = next.parent_path();
        const int wd = ::inotify_add_watch(fd, next.parent_path().c_str(), IN_CREATE | IN_MOVED_TO);
        if (!fs::exists(next)) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                                  end - std::chrono::steady_clock::now())
                                  .count();
            pollfd p{fd, POLLIN, 0};
            if (left <= 0 || ::poll(&p, 1, static_cast<int>(left)) <= 0) break;
            char events[4096];
            while (::read(fd, events, sizeof events) > 0) {
            }
        }
        ::inotify_rm_watch(fd, wd);
    }
    if (fd >= 0) ::close(fd);
    return found;
}

// Width and height from a PNG file's header.
std::pair<int, int> PngSize(const std::string& path) {
    const std::string png = platform::ReadFileBytes(path).value_or("");
    if (png.size() < 24 || png.compare(1, 3, "PNG") != 0) return {0, 0};
    auto be32 = [&](size_t at) {
        int v = 0;
        for (size_t i = 0; i < 4; ++i) v = v << 8 | static_cast<uint8_t>(png[at + i]);
        return v;
    };
    return {be32(16), be32(20)};
}

// The value of `key=` in a desktop entry.
std::string DesktopValue(const std::string& entry, const std::string& key) {
    std::istringstream lines(entry);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind(key + "=", 0) == 0) return line.substr(key.size() + 1);
    return {};
}

// How one start of the launcher is set up, with "@" standing for the test's folder.
struct LauncherCase {
    const char* name;
    std::vector<std::string> environment;
    const char* expectedFolder;  // nullptr: the launcher refuses
    const char* engineBefore;    // "": none; "link": a link to a file outside
    const char* refusal = "";    // the launcher's message when it refuses
};

void PrintTo(const LauncherCase& c, std::ostream* os) { *os << c.name; }

std::string Placed(std::string text, const std::string& folder) {
    for (size_t at; (at = text.find('@')) != std::string::npos;) text.replace(at, 1, folder);
    return text;
}

// Starts the launcher of the tree under `prefix` as the case says and checks what it did.
void CheckLauncher(const std::string& prefix, const LauncherCase& c) {
    SCOPED_TRACE(c.name);
    testsupport::TempFolder user;
    const std::string base = user.Path().substr(0, user.Path().size() - 1);
    user.Write("home/file", "");
    std::vector<std::string> environment = {"QT_QPA_PLATFORM=offscreen"};
    for (const auto& e : c.environment) environment.push_back(Placed(e, base));
    const std::string installed = prefix + "/" ARVEX_PROGRAM_DIR "/";
    const fs::path folder = c.expectedFolder ? Placed(c.expectedFolder, base) : "";
    if (c.expectedFolder && std::string(c.engineBefore) == "link") {
        user.Write("outside.so", "outside");
        fs::create_directories(folder);
        fs::create_symlink(base + "/outside.so", folder / "ZipEngine.so");
    } else if (c.expectedFolder && *c.engineBefore != '\0') {
        fs::create_directories(folder);
        user.Write(fs::relative(folder / "ZipEngine.so", base), c.engineBefore);
    }

    // Started in the test's folder, so that a relative path it wrongly took lands there.
    ChildProcess launcher({prefix + "/bin/arvexupdate", "/S", "two words"}, environment, base);
    if (!c.expectedFolder) {
        EXPECT_EQ(launcher.Wait(kStartMs), 1);
        EXPECT_NE(launcher.Output().find(c.refusal), std::string::npos) << launcher.Output();
        return;
    }
    ASSERT_TRUE(WaitForPath(folder / "Language", kStartMs)) << launcher.Output();
    EXPECT_FALSE(launcher.Wait(kStillRunningMs)) << launcher.Output();
    EXPECT_TRUE(fs::is_directory(folder / "Data"));
    EXPECT_FALSE(user.Exists("relative"));
    EXPECT_FALSE(fs::is_symlink(folder / "ZipEngine.so"));
    EXPECT_EQ(platform::ReadFileBytes(folder / "ZipEngine.so"),
              platform::ReadFileBytes(installed + "ZipEngine.so"));
    if (std::string(c.engineBefore) == "link") {
        EXPECT_EQ(user.Read("outside.so"), "outside");
    }

    // The launcher has become the program, in the folder, with the arguments.
    const fs::path proc = "/proc/" + std::to_string(launcher.Pid());
    EXPECT_EQ(fs::read_symlink(proc / "exe"), fs::canonical(installed + "ArvexUpdate"));
    EXPECT_EQ(fs::read_symlink(proc / "cwd"), fs::canonical(folder));
    const std::string cmdline = platform::ReadFileBytes(proc / "cmdline").value_or("");
    EXPECT_NE(cmdline.find(std::string("\0/S\0two words\0", 14)), std::string::npos);
    // It loads the package's engine and never fetches one.
    const std::string seen = platform::ReadFileBytes(proc / "environ").value_or("");
    EXPECT_NE(seen.find("ARVEX_PACKAGE_DIR=" + fs::canonical(installed).string() + '\0'),
              std::string::npos);
    launcher.Signal(SIGTERM);
    EXPECT_TRUE(launcher.Wait(kStartMs));
}

// bin/arvex, from wherever the tree lies, answers without a display.
void CheckCommandStarts(const std::string& prefix) {
    const RunResult version = RunProcess({prefix + "/bin/arvex", "--version"},
                                         {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"});
    EXPECT_EQ(version.status, 0) << version.output;
    EXPECT_EQ(version.output, "arvex 1.05\n");
}

const LauncherCase kXdgDataHome{
    "XdgDataHome", {"XDG_DATA_HOME=@/xdg", "HOME=@/home"}, "@/xdg/ArvexUpdate", ""};

const LauncherCase kLauncherCases[] = {
    kXdgDataHome,
    {"HomeWhenXdgUnset", {"XDG_DATA_HOME", "HOME=@/home"}, "@/home/.local/share/ArvexUpdate", ""},
    {"RelativeXdgIgnored",
     {"XDG_DATA_HOME=relative/xdg", "HOME=@/home"},
     "@/home/.local/share/ArvexUpdate",
     ""},
    {"OldEngineRenewed",
     {"XDG_DATA_HOME=@/xdg", "HOME=@/home"},
     "@/xdg/ArvexUpdate",
     "an older engine"},
    {"LinkedEngineReplacedNotFollowed",
     {"XDG_DATA_HOME=@/xdg", "HOME=@/home"},
     "@/xdg/ArvexUpdate",
     "link"},
    {"NoFolderToWorkIn", {"XDG_DATA_HOME", "HOME"}, nullptr, "", "neither XDG_DATA_HOME nor HOME"},
    {"FolderCannotBeMade",
     {"XDG_DATA_HOME=@/home/file/x", "HOME=@/home"},
     nullptr,
     "",
     "cannot make"},
};

class InstalledTree : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        folder_ = std::make_unique<testsupport::TempFolder>();
        const RunResult installed = RunProcess(
            {ARVEX_CMAKE_COMMAND, "--install", BuildDir(), "--prefix", Prefix(), "--strip"});
        ASSERT_EQ(installed.status, 0) << installed.output;
    }
    static void TearDownTestSuite() { folder_.reset(); }
    static std::string Prefix() { return folder_->Path() + "prefix"; }

    static std::unique_ptr<testsupport::TempFolder> folder_;
};

std::unique_ptr<testsupport::TempFolder> InstalledTree::folder_;

TEST_F(InstalledTree, HoldsTheProgramTheLauncherAValidDesktopEntryAndEveryIcon) {
    for (const char* program : {"bin/arvexupdate", ARVEX_PROGRAM_DIR "/ArvexUpdate", "bin/arvex",
                                ARVEX_PROGRAM_DIR "/arvex"}) {
        const fs::perms p = fs::status(Prefix() + "/" + program).permissions();
        EXPECT_NE(p & fs::perms::others_exec, fs::perms::none) << program;
    }
    CheckCommandStarts(Prefix());
    EXPECT_TRUE(fs::is_regular_file(Prefix() + "/" ARVEX_PROGRAM_DIR "/ZipEngine.so"));

    const std::string desktop = Prefix() + "/share/applications/arvexupdate.desktop";
    const RunResult valid = RunProcess({"desktop-file-validate", desktop});
    EXPECT_EQ(valid.status, 0) << valid.output;
    EXPECT_EQ(valid.output, "");
    const std::string entry = platform::ReadFileBytes(desktop).value_or("");
    EXPECT_EQ(DesktopValue(entry, "Exec"), "arvexupdate");
    for (const char* german : {"Name[de]", "Comment[de]"})
        EXPECT_NE(DesktopValue(entry, german), "") << german;
    const std::string icon = DesktopValue(entry, "Icon");
    const std::string drawing =
        platform::ReadFileBytes(Prefix() + "/share/icons/hicolor/scalable/apps/" + icon + ".svg")
            .value_or("");
    EXPECT_NE(drawing.find("<svg"), std::string::npos) << "no scalable icon";
    for (const int size : kIconSizes) {
        const std::string path = Prefix() + "/share/icons/hicolor/" + std::to_string(size) + "x" +
                                 std::to_string(size) + "/apps/" + icon + ".png";
        EXPECT_EQ(PngSize(path), std::make_pair(size, size)) << path;
    }
}

// What software centres list: a description that appstream accepts, launching the desktop
// entry, with the README's pictures as its screenshots.
TEST_F(InstalledTree, DescribesTheProgramForSoftwareCentres) {
    std::vector<std::string> files;
    for (const auto& e : fs::directory_iterator(Prefix() + "/share/metainfo"))
        files.push_back(e.path());
    ASSERT_EQ(files.size(), 1u);
    const RunResult valid = RunProcess({"appstreamcli", "validate", "--no-net", files[0]});
    EXPECT_EQ(valid.status, 0) << valid.output;

    const std::string xml = platform::ReadFileBytes(files[0]).value_or("");
    std::smatch launchable;
    ASSERT_TRUE(std::regex_search(xml, launchable, std::regex("<launchable[^>]*>([^<]+)<")));
    EXPECT_TRUE(fs::is_regular_file(Prefix() + "/share/applications/" + launchable[1].str()))
        << launchable[1];

    std::set<std::string> shown, pictures;
    const std::regex image("<image>[^<]*/([^/<]+)</image>");
    for (std::sregex_iterator i(xml.begin(), xml.end(), image), end; i != end; ++i)
        shown.insert((*i)[1]);
    for (const auto& e : fs::directory_iterator(SourceDir() + "/docs"))
        if (e.path().extension() == ".png") pictures.insert(e.path().filename());
    EXPECT_EQ(shown, pictures);
}

class Launcher : public InstalledTree, public ::testing::WithParamInterface<LauncherCase> {};

TEST_P(Launcher, RunsTheProgramInTheUsersOwnFolder) { CheckLauncher(Prefix(), GetParam()); }

INSTANTIATE_TEST_SUITE_P(Starts, Launcher, ::testing::ValuesIn(kLauncherCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The packages by name from a field such as "Depends:" of the package's control data.
std::set<std::string> DependedOn(const std::string& info, const std::string& field) {
    std::set<std::string> names;
    const std::string key = " " + field + ": ";
    const size_t at = info.find(key);
    if (at == std::string::npos) return names;
    const size_t from = at + key.size();
    std::istringstream list(info.substr(from, info.find('\n', from) - from));
    for (std::string item; std::getline(list, item, ',');) {
        std::istringstream words(item);
        std::string name;
        words >> name;
        names.insert(name);
    }
    return names;
}

TEST(DebianPackage, HoldsTheInstalledTreeNamesItsRuntimePackagesAndStarts) {
    testsupport::TempFolder folder;
    const RunResult built = RunProcess({ARVEX_CPACK_COMMAND, "-G", "DEB", "-B", folder.Path(),
                                        "--config", BuildDir() + "/CPackConfig.cmake"});
    ASSERT_EQ(built.status, 0) << built.output;
    std::string deb;
    for (const auto& e : fs::directory_iterator(folder.Path()))
        if (e.path().extension() == ".deb") deb = e.path();
    ASSERT_NE(deb, "") << built.output;

    const RunResult info = RunProcess({"dpkg-deb", "--info", deb});
    ASSERT_EQ(info.status, 0) << info.output;
    EXPECT_NE(info.output.find("Package: arvexupdate\n"), std::string::npos) << info.output;
    const std::set<std::string> depends = DependedOn(info.output, "Depends");
    for (const char* needed : {"libqt6core6", "libqt6gui6", "libqt6widgets6", "libjpeg62-turbo",
                               "qt6-qpa-plugins", "fonts-crosextra-carlito"})
        EXPECT_EQ(depends.count(needed), 1u) << needed << " in " << info.output;
    for (const std::string& name : depends) {
        EXPECT_FALSE(name.ends_with("-dev")) << name;
        EXPECT_EQ(name.find("python"), std::string::npos) << name;
    }
    EXPECT_EQ(DependedOn(info.output, "Recommends").count("qt6-translations-l10n"), 1u)
        << info.output;

    // What a Debian packager is told: no error and no warning, and no hardening flag
    // missing, which lintian reports as information. The engine copies only buffers whose
    // size is known at run time, where fortification has nothing to check.
    const RunResult lint = RunProcess({"lintian", "--display-info", deb});
    EXPECT_EQ(lint.status, 0) << lint.output;
    std::istringstream tags(lint.output);
    for (std::string tag; std::getline(tags, tag);) {
        const bool engineUnfortified =
            tag.find("hardening-no-fortify-functions") != std::string::npos &&
            tag.ends_with("/ZipEngine.so]");
        EXPECT_FALSE(tag.starts_with("E: ") || tag.starts_with("W: ") ||
                     (tag.find(" hardening-") != std::string::npos && !engineUnfortified))
            << tag;
    }

    const RunResult contents = RunProcess({"dpkg-deb", "--contents", deb});
    ASSERT_EQ(contents.status, 0) << contents.output;
    for (const char* path :
         {"-rwxr-xr-x root/root .* ./usr/bin/arvexupdate\n",
          "-rwxr-xr-x root/root .* ./usr/" ARVEX_PROGRAM_DIR "/ArvexUpdate\n",
          "-rw-r--r-- root/root .* ./usr/" ARVEX_PROGRAM_DIR "/ZipEngine.so\n",
          "-rw-r--r-- root/root .* ./usr/share/man/man1/arvexupdate.1.gz\n",
          "-rwxr-xr-x root/root .* ./usr/" ARVEX_PROGRAM_DIR "/arvex\n",
          "lrwxrwxrwx root/root .* ./usr/bin/arvex -> \\.\\./" ARVEX_PROGRAM_DIR "/arvex\n",
          "-rw-r--r-- root/root .* ./usr/share/man/man1/arvex.1.gz\n",
          "-rw-r--r-- root/root .* ./usr/share/applications/arvexupdate.desktop\n",
          "-rw-r--r-- root/root .* ./usr/share/metainfo/.*\\.metainfo\\.xml\n",
          "-rw-r--r-- root/root .* ./usr/share/icons/hicolor/48x48/apps/arvexupdate.png\n",
          "-rw-r--r-- root/root .* ./usr/share/icons/hicolor/scalable/apps/arvexupdate.svg\n"})
        EXPECT_TRUE(std::regex_search(contents.output, std::regex(path))) << path;

    // What the package holds starts, from wherever it was unpacked.
    ASSERT_EQ(RunProcess({"dpkg-deb", "-x", deb, folder.Path() + "root"}).status, 0);
    CheckLauncher(folder.Path() + "root/usr", kXdgDataHome);
    CheckCommandStarts(folder.Path() + "root/usr");
}

}  // namespace
