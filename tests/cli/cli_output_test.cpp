// arvex's console parts in the test's own process: the progress on a terminal and in a
// pipe, questions answered from the input or by default, the language in use, and where the
// program folder is.
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>

#include "cli/console.h"
#include "cli/language_texts.h"
#include "cli/program_folder.h"
#include "cli/progress_printer.h"
#include "cli/terminal.h"
#include "cli/terminal_message_sink.h"
#include "scoped_environment.h"
#include "temp_folder.h"

namespace {

using platform::MessageAnswer;
using platform::MessageButtons;

// A stream to write to and the far end it is read from: a pipe, or a pseudo-terminal.
struct Capture {
    explicit Capture(bool terminal) {
        int writeFd = -1;
        if (terminal) {
            ::openpty(&readFd, &writeFd, nullptr, nullptr, nullptr);
        } else {
            int fds[2];
            if (::pipe(fds) == 0) readFd = fds[0], writeFd = fds[1];
        }
        stream = ::fdopen(writeFd, "w");
    }
    ~Capture() {
        if (stream) std::fclose(stream);
        ::close(readFd);
    }
    // Everything written, once the writing side is closed; a terminal's line ends as "\n".
    std::string Read() {
        std::fclose(stream);
        stream = nullptr;
        std::string text;
        char buffer[4096];
        pollfd p{readFd, POLLIN, 0};
        // A pseudo-terminal's reader gets an error, a pipe's an end, once all is read.
        while (::poll(&p, 1, 5000) > 0) {
            const ssize_t n = ::read(readFd, buffer, sizeof buffer);
            if (n <= 0) break;
            text.append(buffer, static_cast<size_t>(n));
        }
        for (size_t at; (at = text.find("\r\n")) != std::string::npos;) text.erase(at, 1);
        return text;
    }
    int readFd = -1;
    std::FILE* stream = nullptr;
};

// 15 s a frame, known once 10 have been sent.
std::optional<std::chrono::seconds> FifteenSecondsAFrame(int done, int total) {
    if (done < 10) return std::nullopt;
    return std::chrono::seconds((total - done) * 15);
}

TEST(Progress, IsABarOnATerminalAndATenthALineElsewhere) {
    struct Case {
        bool terminal;
        std::vector<std::string> says;
        std::vector<std::string> never;
        long lineEnds;
    };
    const Case cases[] = {
        {true,
         {"\r[------------------------------]   0 %  0/50 frames",
          // A shorter line leaves no character of the longer one before it.
          "\r[######------------------------]  20 %  10/50 frames  10:00 left"
          "\r[######------------------------]  22 %  11/50 frames  9:45 left \r",
          "\r[##############################] 100 %  50/50 frames  0:00 left\nport closed\n"
          "\r[------------------------------]   0 %  0/10 frames\r[###"},
         {"\x1b"},
         3},
        {false,
         {"Progress: 0 %  0/50 frames\nProgress: 10 %  5/50 frames\n"
          "Progress: 20 %  10/50 frames  10:00 left\n",
          "Progress: 100 %  50/50 frames  0:00 left\n"},
         {"\r", "\x1b"},
         13},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.terminal ? "terminal" : "pipe");
        Capture out(c.terminal);
        ASSERT_EQ(cli::IsTerminal(out.stream), c.terminal);
        cli::Console console(out.stream, out.stream, cli::IsTerminal(out.stream));
        cli::ProgressPrinter progress(console, FifteenSecondsAFrame);
        progress.Start(50);
        for (int i = 0; i < 60; ++i) progress.Step();
        // A message while the bar is drawn starts on a line of its own; the next run's bar
        // below it.
        if (c.terminal) console.Error("port closed");
        progress.Start(10);
        progress.Step();
        progress.End();
        const std::string text = out.Read();
        for (const std::string& s : c.says) EXPECT_NE(text.find(s), std::string::npos) << s;
        for (const std::string& s : c.never) EXPECT_EQ(text.find(s), std::string::npos) << s;
        EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), c.lineEnds) << text;
    }
}

TEST(Questions, AreAskedOnATerminalAndAnsweredNoWithoutOne) {
    struct Case {
        const char* name;
        bool interactive;
        const char* input;
        MessageButtons buttons;
        MessageAnswer answer;
        const char* says;
    };
    const Case cases[] = {
        {"NoTerminal", false, "y\n", MessageButtons::YesNo, MessageAnswer::No, "Answered No"},
        {"NoTerminalOkCancel", false, "y\n", MessageButtons::OkCancel, MessageAnswer::Cancel,
         "Cancelled"},
        {"Yes", true, "y\n", MessageButtons::YesNo, MessageAnswer::Yes, "[y/N]"},
        {"YesInCapitals", true, " YES \n", MessageButtons::YesNo, MessageAnswer::Yes, ""},
        {"EmptyLineIsNo", true, "\nyes\n", MessageButtons::YesNo, MessageAnswer::No, ""},
        {"AskedAgain", true, "maybe\nyes\n", MessageButtons::YesNo, MessageAnswer::Yes, ""},
        {"ThreeTriesAtMost", true, "a\nb\nc\nyes\n", MessageButtons::YesNo, MessageAnswer::No, ""},
        {"EndOfInput", true, "", MessageButtons::YesNo, MessageAnswer::No, ""},
        {"LastLineWithoutEnd", true, "y", MessageButtons::YesNo, MessageAnswer::Yes, ""},
        {"OkCancelAccepted", true, "yes\n", MessageButtons::OkCancel, MessageAnswer::Ok, ""},
        {"PlainMessageReadsNothing", true, "", MessageButtons::Ok, MessageAnswer::Ok, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        int input[2];
        ASSERT_EQ(::pipe(input), 0);
        ASSERT_EQ(::write(input[1], c.input, std::strlen(c.input)),
                  static_cast<ssize_t>(std::strlen(c.input)));
        ::close(input[1]);
        Capture err(false);
        cli::Console console(stdout, err.stream, false);
        cli::TerminalMessageSink sink(console, input[0], c.interactive);
        EXPECT_EQ(sink.Show("New driver\x1b[2J found", c.buttons, "caption"), c.answer);
        ::close(input[0]);
        const std::string said = err.Read();
        EXPECT_EQ(said.find("New driver?[2J found\n"), 0u) << said;
        EXPECT_NE(said.find(c.says), std::string::npos) << said;
    }
}

TEST(Texts, AreTheLanguageInUseOverTheEnglishOnes) {
    struct Case {
        const char* name;
        const char* file;  // "default.lan"; nullptr: none
        const char* downloadSuccess;
        bool warned;
    };
    const Case cases[] = {
        {"NoFile", nullptr, "Download success!", false},
        {"German", "Language=Deutsch\r\nVersion=3\r\n30=Erfolgreich!\r\n", "Erfolgreich!", false},
        {"NoLanguageLine", "Deutsch\r\nVersion=3\r\n30=Erfolgreich!\r\n", "Download success!",
         true},
        {"BadVersion", "Language=Deutsch\r\nVersion=x\r\n30=Erfolgreich!\r\n", "Download success!",
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testsupport::TempFolder folder;
        if (c.file) folder.Write("default.lan", c.file);
        i18n::TextTable texts;
        texts.Set(72, "left from before");
        const std::string warning = cli::LoadLanguageInUse(folder.Path(), texts);
        EXPECT_EQ(texts[i18n::TextId::DownloadSuccess], c.downloadSuccess);
        EXPECT_EQ(texts[i18n::TextId::Exit], "Exit");
        EXPECT_EQ(texts[72], "");
        EXPECT_EQ(!warning.empty(), c.warned) << warning;
    }
}

TEST(ProgramFolder, IsTheOneGivenElseTheInstalledWindowsFolder) {
    struct Case {
        std::optional<std::string> given;
        const char* dataHome;
        const char* home;
        const char* folder;  // nullptr: none
    };
    const std::string here = std::filesystem::current_path().string();
    const Case cases[] = {
        {"/data/x/../y", "/xdg", "/home/u", "/data/y/"},
        {"relative", "/xdg", "/home/u", "relative"},
        {std::nullopt, "/xdg", "/home/u", "/xdg/ArvexUpdate/"},
        {std::nullopt, "xdg", "/home/u", "/home/u/.local/share/ArvexUpdate/"},
        {std::nullopt, "", "/home/u", "/home/u/.local/share/ArvexUpdate/"},
        {std::nullopt, "", "", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.given.value_or("") + "|" + c.dataHome + "|" + c.home);
        testsupport::ScopedEnvironment dataHome("XDG_DATA_HOME", c.dataHome);
        testsupport::ScopedEnvironment home("HOME", c.home);
        std::string error;
        const auto folder = cli::ProgramFolder(c.given, error);
        if (!c.folder) {
            EXPECT_FALSE(folder);
            EXPECT_NE(error, "");
        } else if (std::string(c.folder) == "relative") {
            EXPECT_EQ(folder, here + "/relative/");
        } else {
            EXPECT_EQ(folder, c.folder);
        }
    }
}

}  // namespace
