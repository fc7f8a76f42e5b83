#pragma once
// File helpers of the program: existence tests, one-level folder creation, deletion,
// whole-file reads, and text files read and written as lines.
#include <optional>
#include <string>
#include <vector>

namespace platform {

// The process's working directory with "/" appended, or nothing when it cannot be read
// (removed while in use, or a path the system will not tell); `why` then says why.
std::optional<std::string> WorkingDirectory(std::string* why = nullptr);

bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);
// Creates one folder level; false when it cannot (also when the parent is missing).
bool CreateFolder(const std::string& path);
// Deletes a file; false when it is missing or cannot be deleted.
bool DeleteFile(const std::string& path);
// True when this process may create, rename and delete files in `folder`.
bool FolderWritable(const std::string& folder);

// The whole file, or nothing when it cannot be read or is larger than `maxBytes`.
std::optional<std::string> ReadFileBytes(const std::string& path,
                                         size_t maxBytes = 64u * 1024 * 1024);

// Splits text into lines: CR LF, a lone CR and a lone LF each end a line; a final line
// without an end is kept, an empty text gives no lines.
std::vector<std::string> SplitLines(const std::string& text);

// The lines of a text file (bytes as stored), or nothing when it cannot be read.
std::optional<std::vector<std::string>> ReadTextLines(const std::string& path,
                                                      size_t maxBytes = 16u * 1024 * 1024);

enum class LineEnd { CrLf, Lf };

// Writes `lines`, each followed by the line end, through a temporary file in the same
// folder that replaces the target only when complete: a failed write leaves the old file.
bool WriteTextLines(const std::string& path, const std::vector<std::string>& lines,
                    LineEnd end = LineEnd::CrLf);

// Writes bytes the same safe way.
bool WriteFileBytes(const std::string& path, const std::string& bytes);

}  // namespace platform
