#pragma once
// A program folder for one test: the working directory, the engine copied in, message
// boxes recorded, and a reader whose OnMessage calls are kept.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive/zip_reader.h"
#include "platform/dialog_message_sink.h"
#include "message_recorder.h"
#include "temp_folder.h"
#include "zip_builder.h"

class ReaderTest : public ::testing::Test {
protected:
    ReaderTest();

    // Copies a library of the build folder into the program folder as "ZipEngine.so"
    // (or into `subfolder`).
    void InstallEngine(const std::string& builtName = "ZipEngine.so", const std::string& subfolder = "");
    void RemoveEngine();
    // Writes `bytes` as a file of the program folder and returns its path.
    std::string WriteArchive(const std::string& name, const std::string& bytes);
    // Sets the reader's file name to a new archive built from `zip`.
    void Open(const ziptest::ZipBuilder& zip, const std::string& name = "package.vbf");

    std::vector<std::string> EntryNames() const;
    std::vector<int> MessageCodes() const;

    testsupport::TempFolder program;
    testsupport::WorkingDirectory cwd{program.Path()};
    testsupport::MessageRecorder boxes;
    // The reader tells the user through the window's dialogs, which the recorder answers.
    platform::DialogMessageSink dialogs;
    ziparchive::TZipReader reader;
    struct Heard {
        int code;
        std::string text;
    };
    std::vector<Heard> heard;
};

std::string BuildDir();
std::string Repeat(const std::string& piece, size_t times);
