#include "reader_fixture.h"

#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;

std::string BuildDir() {
    const char* dir = std::getenv("ARVEX_BUILD_DIR");
    if (dir != nullptr && *dir != '\0') return dir;
    // Test executables are written to the build folder root, beside the engine.
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string(".") : self.parent_path().string();
}

std::string Repeat(const std::string& piece, size_t times) {
    std::string s;
    s.reserve(piece.size() * times);
    for (size_t i = 0; i < times; ++i) s += piece;
    return s;
}

ReaderTest::ReaderTest() {
    reader.SetMessageSink(&dialogs);
    reader.OnMessage = [this](ziparchive::TCustomZipReader&, int code, const std::string& text) {
        heard.push_back({code, text});
    };
    InstallEngine();
}

void ReaderTest::InstallEngine(const std::string& builtName, const std::string& subfolder) {
    const fs::path folder = fs::path(program.Path()) / subfolder;
    fs::create_directories(folder);
    fs::copy_file(fs::path(BuildDir()) / builtName, folder / "ZipEngine.so",
                  fs::copy_options::overwrite_existing);
}

void ReaderTest::RemoveEngine() { fs::remove(fs::path(program.Path()) / "ZipEngine.so"); }

std::string ReaderTest::WriteArchive(const std::string& name, const std::string& bytes) {
    program.Write(name, bytes);
    return program.Path() + name;
}

void ReaderTest::Open(const ziptest::ZipBuilder& zip, const std::string& name) {
    reader.SetZipFileName(WriteArchive(name, zip.Build()));
}

std::vector<std::string> ReaderTest::EntryNames() const {
    std::vector<std::string> names;
    for (const auto& e : reader.Entries()) names.push_back(e.fileName);
    return names;
}

std::vector<int> ReaderTest::MessageCodes() const {
    std::vector<int> codes;
    for (const auto& h : heard) codes.push_back(h.code);
    return codes;
}
