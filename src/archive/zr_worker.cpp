#include "archive/zr_worker.h"

#include <memory>

#include "archive/format/byte_source.h"
#include "archive/format/central_directory.h"
#include "archive/format/crc32.h"
#include "archive/zip_messages.h"
#include "platform/text_codec.h"

namespace ziparchive {

namespace {

constexpr int kMaxPasswordRequests = 15;

// A self-extracting program whose own directory does not describe the archive in it keeps
// that archive beside itself under the same name with ".zip".
std::string ArchiveToRead(const std::string& path) {
    FileSource file;
    if (!file.Open(path)) return path;
    uint8_t magic[2];
    if (file.ReadAt(0, magic, 2) != 2 || magic[0] != 'M' || magic[1] != 'Z') return path;
    const EndRecordSearch end = FindEndRecord(file);
    if (!end.found || end.position + kEndRecordSize + end.record.commentLength != file.Size()) return path;
    const uint64_t directoryEnd = end.DirectoryEnd();
    const uint64_t centralStart =
        directoryEnd >= end.record.centralSize ? directoryEnd - end.record.centralSize : 0;
    uint8_t header[kCentralHeaderSize];
    if (file.ReadAt(centralStart, header, sizeof header) != sizeof header || Get32(header) != kCentralSignature)
        return path;
    uint8_t local[4];
    if (file.ReadAt(Get32(header + 42), local, 4) == 4 && Get32(local) == kLocalSignature) return path;
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    const std::string stem = (dot != std::string::npos && (slash == std::string::npos || dot > slash))
                                 ? path.substr(0, dot) : path;
    return stem + ".zip";
}

int MapEngineResult(int32_t result) {
    switch (result) {
        case ZE_ErrCancelled: return zipid::kDllCancelled;
        case ZE_ErrAborted: return zipid::kDllAborting;
        case ZE_ErrHandler: return zipid::kDllHandlerException;
        case ZE_ErrMemory: return zipid::kDllNoMemory;
        case ZE_ErrStructure: return zipid::kDllStructure;
        default: return zipid::kDllCritical;
    }
}

ZE_Slot Flag(bool on) { return on ? kZE_True : kZE_False; }

}  // namespace

void TZRWorker::List() {
    entries.clear();
    zipComment.clear();
    sfxOffset = 0;
    dirOnlyCount = 0;
    ClearError();
    platform::BusyScope hourglass(*user);
    listedPath_ = ArchiveToRead(zipFileName);
    try {
        ReadDirectory(listedPath_);
    } catch (...) {
        entries.clear();
        throw;
    }
}

void TZRWorker::ReadDirectory(const std::string& path) {
    FileSource file;
    if (!file.Open(path)) {
        // A missing package is the caller's to report.
        if (file.Missing()) return;
        throw EZipReader(zipid::kCannotOpen, ZipMessageText(zipid::kCannotOpen));
    }
    const CentralDirectory dir = ReadCentralDirectory(file, [this] { return cancel; });
    if (dir.errorId == zipid::kNotAZip) throw EZipReader(dir.errorId, ZipMessageText(dir.errorId));
    if (dir.garbageAfterEnd) WarnOnce(path, zipid::kGarbageWarning);
    if (dir.structureWarning) WarnOnce(path, zipid::kStructureWarning);
    if (dir.errorId != 0) {
        zipFileName.clear();
        throw EZipReader(dir.errorId, ZipMessageText(dir.errorId));
    }
    zipComment = platform::DecodeText(dir.comment);
    sfxOffset = dir.archiveOffset;
    entries.reserve(dir.headers.size());
    for (const CentralHeader& header : dir.headers) {
        ZipDirEntry entry = MakeDirEntry(header, settings.codePage);
        if (HasFilePart(entry.fileName) || settings.useDirOnlyEntries) {
            entries.push_back(std::move(entry));
        } else {
            ++dirOnlyCount;
        }
    }
}

void TZRWorker::WarnOnce(const std::string& path, int id) {
    // The members of one package are read one after the other, each reading its
    // directory again: the user hears of the archive's form once.
    if (warned_.emplace(path, id).second) ReportWarning(id, ZipMessageText(id));
}

bool TZRWorker::ExtractToMemory(const std::string& name, TZipStream& stream) {
    stream.Clear();
    if (name.empty()) {
        ReportWarning(zipid::kNothingToDo, ZipMessageText(zipid::kNothingToDo));
        return false;
    }
    if (zipFileName.empty()) throw EZipReader(zipid::kNoZipFile, ZipMessageText(zipid::kNoZipFile));
    if (entries.empty()) {
        List();
        if (entries.empty()) {
            if (ErrorCode() != 0) return false;
            throw EZipReader(zipid::kCannotOpen, ZipMessageText(zipid::kCannotOpen));
        }
    }

    LoadEngine(EngineLoadReason::Operation);
    struct Unload {
        TZRWorker& w;
        ~Unload() { w.UnloadEngine(EngineLoadReason::Operation); }
    } unloadWhenDone{*this};

    const ZipDirEntry* member = nullptr;
    for (const ZipDirEntry& e : entries) {
        if (SameMemberName(e.fileName, name)) {
            member = &e;
            break;
        }
    }
    if (member == nullptr) return false;
    if (member->uncompressedSize > kMaxMemberSize) {
        throw EZipReader(zipid::kMemberTooLarge, ZipMessage(zipid::kMemberTooLarge, member->fileName));
    }
    if (!stream.SetSize(member->uncompressedSize)) {
        throw EZipReader(zipid::kNoMemory, ZipMessageText(zipid::kNoMemory));
    }

    // The engine finds the member by its stored name, so that both sides agree on which
    // member is meant whatever the names' code page; and it reads the file whose directory
    // gave the entry.
    const std::string archiveName = listedPath_;
    const std::string password = settings.password;
    ZE_NameItem item{};
    item.name = member->rawName.c_str();

    ZE_ExtractParams p{};
    p.window = 0;
    p.context = this;
    p.interfaceVersion = kZE_InterfaceVersion;
    p.callback = &TZRWorker::EngineCallback;
    p.trace = Flag(settings.trace);
    p.password = password.c_str();
    p.testOnly = Flag(settings.extrOptions & ExtrTest);
    p.minusOne = -1;
    p.verbose = Flag(settings.verbose || settings.trace);
    const bool update = settings.extrOptions & ExtrUpdate;
    p.update = Flag(update);
    p.freshen = Flag((settings.extrOptions & ExtrFreshen) && !update);
    p.directoryNames = Flag(settings.extrOptions & ExtrDirNames);
    p.overwrite = Flag(settings.extrOptions & ExtrOverWrite);
    p.nameCount = 1;
    p.archiveName = archiveName.c_str();
    p.names = &item;
    p.memoryOutput = kZE_True;
    p.outputBlock = stream.Memory();
    p.outputSize = static_cast<ZE_Slot>(stream.Size());
    p.passwordRequests = settings.passwordReqCount < kMaxPasswordRequests ? settings.passwordReqCount
                                                                          : kMaxPasswordRequests;
    p.baseFolder = nullptr;
    p.endMark = kZE_RecordEndMark;

    output_ = &stream;
    const int32_t result = CallExtract(p);
    output_ = nullptr;
    if (result < 0) {
        stream.Clear();
        if (result == ZE_ErrUnsupported) {
            // The engine's number alone tells the user nothing: say what the member is.
            if (member->encrypted)
                throw EZipReader(zipid::kMemberEncrypted, ZipMessage(zipid::kMemberEncrypted, member->fileName));
            throw EZipReader(zipid::kMethodUnsupported,
                             ZipMessage(zipid::kMethodUnsupported, static_cast<long long>(member->method)));
        }
        const int id = MapEngineResult(result);
        throw EZipReader(id, id == zipid::kDllCritical ? ZipMessage(id, result) : ZipMessageText(id));
    }
    if (result != 1) {
        stream.Clear();
        return false;
    }
    // Whatever the engine did, only the bytes of the entry that was asked for pass.
    if (stream.Size() != member->uncompressedSize || Crc32(stream.View()) != member->crc32) {
        stream.Clear();
        throw EZipReader(zipid::kDllStructure, ZipMessageText(zipid::kDllStructure));
    }
    stream.SetPosition(0);
    return true;
}

int32_t TZRWorker::EngineCallback(void* context, ZE_CallbackRecord* record) {
    if (context == nullptr || record == nullptr) return 1;
    auto* worker = static_cast<TZRWorker*>(context);
    try {
        return worker->HandleCallback(*record);
    } catch (...) {
        return zipid::kHandlerError;
    }
}

int32_t TZRWorker::HandleCallback(ZE_CallbackRecord& record) {
    const int reportedBefore = reportedCount_;
    switch (record.action & 0x3F) {
        case ZE_ActResizeOutput:
            if (output_ != nullptr && record.answerSize <= kMaxMemberSize &&
                output_->SetSize(record.answerSize)) {
                record.address = output_->Memory();
                record.action = kZE_Accepted;
            } else {
                record.answerSize = 0;
                record.action = kZE_Refused;
            }
            break;
        case ZE_ActPassword:
            // Packages are never encrypted and there is no password prompt: refuse, and
            // say why.
            if (record.number > kMaxPasswordRequests) record.number = kMaxPasswordRequests;
            ReportError(EZipReader(zipid::kNoPassword, ZipMessageText(zipid::kNoPassword)));
            record.action = kZE_Refused;
            break;
        default:
            // Progress: the program assigns no progress events.
            break;
    }
    if (reportedCount_ != reportedBefore) return zipid::kHandlerError;
    return cancel ? 1 : 0;
}

}  // namespace ziparchive
