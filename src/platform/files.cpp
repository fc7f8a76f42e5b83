#include "platform/files.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace platform {

namespace fs = std::filesystem;

std::optional<std::string> WorkingDirectory(std::string* why) {
    std::error_code ec;
    std::string dir = fs::current_path(ec).string();
    if (ec || dir.empty() || dir.front() != '/') {
        if (why != nullptr) *why = ec ? ec.message() : "the system gave no absolute path";
        return std::nullopt;
    }
    if (dir.back() != '/') dir += '/';
    return dir;
}

bool FileExists(const std::string& path) {
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

bool DirectoryExists(const std::string& path) {
    std::error_code ec;
    return fs::is_directory(path, ec);
}

bool CreateFolder(const std::string& path) {
    std::error_code ec;
    return fs::create_directory(path, ec) || DirectoryExists(path);
}

bool DeleteFile(const std::string& path) {
    std::error_code ec;
    return FileExists(path) && fs::remove(path, ec);
}

std::optional<std::string> ReadFileBytes(const std::string& path, size_t maxBytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::string data;
    char buffer[65536];
    while (in) {
        in.read(buffer, sizeof buffer);
        const std::streamsize got = in.gcount();
        if (got <= 0) break;
        if (data.size() + static_cast<size_t>(got) > maxBytes) return std::nullopt;
        data.append(buffer, static_cast<size_t>(got));
    }
    if (in.bad()) return std::nullopt;
    return data;
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string current;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(std::move(current));
            current.clear();
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            current.push_back(c);
        }
    }
    if (!current.empty()) lines.push_back(std::move(current));
    return lines;
}

std::optional<std::vector<std::string>> ReadTextLines(const std::string& path, size_t maxBytes) {
    auto bytes = ReadFileBytes(path, maxBytes);
    if (!bytes) return std::nullopt;
    return SplitLines(*bytes);
}

bool WriteFileBytes(const std::string& path, const std::string& bytes) {
    const std::string temp = path + ".part";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.flush();
        if (!out) {
            out.close();
            std::remove(temp.c_str());
            return false;
        }
    }
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

bool WriteTextLines(const std::string& path, const std::vector<std::string>& lines, LineEnd end) {
    const char* eol = end == LineEnd::CrLf ? "\r\n" : "\n";
    std::string text;
    for (const auto& line : lines) {
        text += line;
        text += eol;
    }
    return WriteFileBytes(path, text);
}

}  // namespace platform
