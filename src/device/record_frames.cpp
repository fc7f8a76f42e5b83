#include "device/record_frames.h"

namespace device {

namespace {

RecordFrames Stopped(RecordFrames&& done, RecordFault fault, size_t line) {
    done.fault = LineFault{fault, line};
    return std::move(done);
}

}  // namespace

RecordFrames LoadRecordsFor(const std::vector<std::string>& lines) {
    RecordFrames out;
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::optional<char> type = RecordTypeOf(lines[i]);
        if (!type) return Stopped(std::move(out), RecordFault::NotARecord, i);
        if (*type == '0') continue;
        if (*type == '9') return out;
        if (*type != '1') return Stopped(std::move(out), RecordFault::UnacceptedType, i);
        const std::optional<SRecordLine> record = ReadSRecordLine(lines[i]);
        if (!record) return Stopped(std::move(out), RecordFault::Unreadable, i);
        out.frames.push_back(BuildLoadRecord(*record));
    }
    return Stopped(std::move(out), RecordFault::NoEndRecord, lines.size());
}

RecordFrames FlashRecordsFor(const std::vector<std::string>& lines, FlashWindow window) {
    RecordFrames out;
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::optional<char> type = RecordTypeOf(lines[i]);
        if (!type) return Stopped(std::move(out), RecordFault::NotARecord, i);
        if (*type == '0') continue;
        if (*type == '8' || *type == '9') return out;
        if (*type != '1' && *type != '2')
            return Stopped(std::move(out), RecordFault::UnacceptedType, i);
        const std::optional<SRecordLine> record = ReadSRecordLine(lines[i]);
        if (!record) return Stopped(std::move(out), RecordFault::Unreadable, i);
        if (!window.Holds(record->address)) continue;
        std::variant<Frame, RecordFault> frame = BuildFlashRecord(*record);
        if (const RecordFault* fault = std::get_if<RecordFault>(&frame))
            return Stopped(std::move(out), *fault, i);
        out.frames.push_back(std::move(std::get<Frame>(frame)));
    }
    return Stopped(std::move(out), RecordFault::NoEndRecord, lines.size());
}

}  // namespace device
