#include "result_files.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string_view>
#include <system_error>

namespace termsim {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kHexPerLine = 32;

std::string Format(const char* format, auto... values) {
    char text[128];
    std::snprintf(text, sizeof text, format, values...);
    return text;
}

std::string HexBytes(const Bytes& bytes, std::size_t from, std::size_t to) {
    std::string out;
    for (std::size_t i = from; i < to && i < bytes.size(); ++i) {
        if (i > from) out += ' ';
        out += Format("%02X", bytes[i]);
    }
    return out;
}

std::string SegmentList(const SparseMemory& memory) {
    if (memory.Empty()) return "nothing";
    std::string out;
    for (const auto& [address, bytes] : memory.Segments()) {
        if (!out.empty()) out += ", ";
        out +=
            Format("0x%08llX (%zu bytes)", static_cast<unsigned long long>(address), bytes.size());
    }
    return out;
}

// Written beside the target and renamed over it, so a reader never sees half a file.
bool WriteFile(const fs::path& path, std::string_view bytes, std::string& error) {
    const fs::path temporary = path.string() + ".part";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out) {
            error = "cannot write " + temporary.string();
            return false;
        }
    }
    std::error_code ec;
    fs::rename(temporary, path, ec);
    if (ec) error = "cannot write " + path.string() + ": " + ec.message();
    return !ec;
}

bool WriteBytes(const fs::path& path, const Bytes& bytes, std::string& error) {
    return WriteFile(path, {reinterpret_cast<const char*>(bytes.data()), bytes.size()}, error);
}

bool WriteSegments(const fs::path& folder, const std::string& prefix, const SparseMemory& memory,
                   std::string& error) {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with(prefix + "-") && name.ends_with(".bin")) fs::remove(entry.path(), ec);
    }
    for (const auto& [address, bytes] : memory.Segments()) {
        const auto name = prefix + Format("-%08llX.bin", static_cast<unsigned long long>(address));
        if (!WriteBytes(folder / name, bytes, error)) return false;
    }
    return true;
}

}  // namespace

std::string FormatFrameLog(const SimResults& results) {
    std::string log;
    for (const FrameRecord& r : results.frames) {
        log += Format("#%llu +%.3f ms %s %s", static_cast<unsigned long long>(r.sequence),
                      static_cast<double>(r.atMicros) / 1000.0, SimStateName(r.state).data(),
                      FrameKindName(r.kind).data());
        switch (r.kind) {
            case FrameKind::BlockWrite:
            case FrameKind::LoadRecord:
                log += Format(" address=0x%08X", r.address);
                break;
            case FrameKind::FlashRecord:
                log += Format(" address=0x%06X", r.address);
                break;
            case FrameKind::PageWrite:
                log += Format(" page=0x%02X window=0x%04X", r.address >> 16, r.address & 0xFFFF);
                break;
            case FrameKind::GranuloBlock:
                log += Format(" address=0x%04X", r.address);
                break;
            default:
                break;
        }
        if (r.kind != FrameKind::Garbage && !r.data.empty())
            log += Format(" data=%zu", r.data.size());
        if (AwaitsAck(r.kind) || r.kind == FrameKind::Opening)
            log += r.sumOk ? " sum=ok" : " sum=WRONG";
        log += " reply=" +
               (r.reply.empty() ? std::string("none") : HexBytes(r.reply, 0, r.reply.size()));
        if (!r.note.empty()) log += " (" + r.note + ")";
        log += '\n';
        for (std::size_t i = 0; i < r.raw.size(); i += kHexPerLine) {
            log += "    " + HexBytes(r.raw, i, i + kHexPerLine) + '\n';
        }
    }
    if (results.framesNotRecorded > 0) {
        log += Format("... %llu more frames not recorded\n",
                      static_cast<unsigned long long>(results.framesNotRecorded));
    }
    return log;
}

std::string FormatSummary(const SimResults& results, SimMode mode) {
    std::map<std::string_view, std::size_t> counts;
    for (const FrameRecord& r : results.frames) ++counts[FrameKindName(r.kind)];
    std::string kinds;
    for (const auto& [name, n] : counts) kinds += Format(" %s=%zu", name.data(), n);

    std::string s;
    s += "mode: " + std::string(SimModeName(mode)) + '\n';
    s += Format("hardware code: %u\n", results.hardwareCode);
    s += Format("complete runs: %u\n", results.completeRuns);
    s += "state: " + std::string(SimStateName(results.state)) + '\n';
    s += Format("frames: %zu", results.frames.size()) + kinds + '\n';
    s += Format("garbage bytes: %llu\n", static_cast<unsigned long long>(results.garbageBytes));
    s += "block writes: " + SegmentList(results.blockWrites) + '\n';
    s += "RAM loader: " + SegmentList(results.ramLoader) + '\n';
    s += "flash: " + SegmentList(results.flash) + '\n';
    s += Format("flash records outside the window: %u\n", results.flashOutsideWindow);
    if (!results.pageImage.empty()) {
        s += std::string("tessara image checksum stored: ") +
             (PageImageChecksumStored(results.pageImage) ? "yes" : "no") + '\n';
    }
    if (!results.granuloImage.empty()) {
        s += std::string("granulo image checksum stored: ") +
             (GranuloImageChecksumStored(results.granuloImage) ? "yes" : "no") + '\n';
    }
    return s;
}

bool WriteResultFiles(const std::string& folder, const SimResults& results, SimMode mode,
                      std::string& error) {
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) {
        error = "cannot create " + folder + ": " + ec.message();
        return false;
    }
    const fs::path dir(folder);
    if (!WriteFile(dir / "frames.log", FormatFrameLog(results), error)) return false;
    if (!WriteFile(dir / "summary.txt", FormatSummary(results, mode), error)) return false;
    if (!WriteSegments(dir, "blocks", results.blockWrites, error)) return false;
    if (!WriteSegments(dir, "ramloader", results.ramLoader, error)) return false;
    // A terminal on the relay path still takes a Plantrix run, so its flash is kept too.
    if (mode == SimMode::Plantrix || !results.flash.Empty()) {
        if (!WriteBytes(dir / "flash.bin", results.FlashWindowImage(), error)) return false;
    }
    if (!results.pageImage.empty() && !WriteBytes(dir / "tessara.bin", results.pageImage, error))
        return false;
    if (!results.granuloImage.empty() &&
        !WriteBytes(dir / "granulo.bin", results.granuloImage, error))
        return false;
    return true;
}

}  // namespace termsim
