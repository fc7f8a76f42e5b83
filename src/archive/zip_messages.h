#pragma once
// Message ids of the archive reader and their texts (the built-in English table).
#include <string>

namespace ziparchive {

namespace zipid {
constexpr int kNoZipFile = 10102;
constexpr int kNoMemory = 10103;
constexpr int kHandlerError = 10106;
constexpr int kDllAborting = 10118;
constexpr int kDllCancelled = 10120;
constexpr int kDllNoMemory = 10121;
constexpr int kDllStructure = 10122;
constexpr int kDllHandlerException = 10123;
constexpr int kDllCritical = 10124;
constexpr int kMemberTooLarge = 10125;
constexpr int kMemberEncrypted = 10126;
constexpr int kMethodUnsupported = 10127;
constexpr int kNoPassword = 10151;
constexpr int kListError = 10202;
constexpr int kNothingToDo = 10301;
constexpr int kLoadFailed = 10650;
constexpr int kOldOrCorrupt = 10651;
constexpr int kLoaded = 10652;
constexpr int kUnloaded = 10653;
constexpr int kCannotOpen = 11002;
constexpr int kLoadingDirectory = 11409;
}  // namespace zipid

// The text of `id` with line feeds turned into CR LF; "Resource missing for <id>" for an
// id without a text.
std::string ZipMessageText(int id);

// ZipMessageText with its one "%s" or "%d" placeholder filled in.
std::string ZipMessage(int id, const std::string& argument);
std::string ZipMessage(int id, long long argument);

}  // namespace ziparchive
