#pragma once
// A fresh folder under the system's temporary folder, removed with everything in it when
// the test ends. Tests that need a program folder make one of these and work inside it.
#include <string>

namespace testsupport {

class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The folder's path with a trailing "/".
    const std::string& Path() const { return path_; }
    // Writes a file (bytes as given) below the folder, creating sub-folders as needed.
    void Write(const std::string& relative, const std::string& bytes) const;
    std::string Read(const std::string& relative) const;
    bool Exists(const std::string& relative) const;

private:
    std::string path_;
};

// Makes the working directory `path` for the scope of the object, since the program
// resolves every file against its working directory.
class WorkingDirectory {
public:
    explicit WorkingDirectory(const std::string& path);
    ~WorkingDirectory();
    WorkingDirectory(const WorkingDirectory&) = delete;
    WorkingDirectory& operator=(const WorkingDirectory&) = delete;

private:
    std::string previous_;
};

}  // namespace testsupport
