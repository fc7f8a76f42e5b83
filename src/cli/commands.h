#pragma once
// The commands of arvex and their options: one table that the parser, the help texts and
// the dispatch all read.
//
// Growing arvex:
// - A command is a row in kCommands (commands.cpp): its name, texts, options and runner.
//   A runner is `int Run...(Context&)` (command_runners.h); it returns the exit status.
// - An option is an Option value, a row in kOptions, its field in Invocation and its case
//   in StoreOption (arguments.cpp); rules between options go in CheckCombination.
// - A runner works on the Qt event loop that main has set up: it prints results on
//   context.console (standard output; errors on standard error), tells the user through
//   context.sink (questions asked on the terminal, or answered No), takes the user's texts
//   from context.texts, and draws a run's progress with a ProgressPrinter, to which the
//   run's own time-left estimate is handed (Start/Step/End fit a run's progress view).
// - Operating-system calls go in posix/. A job that waits on the event loop stops on
//   Ctrl+C through an InterruptWatch (interrupt.h), whose stop it is handed.
// - Installed or built, the zip engine lies beside the arvex executable and is loaded from
//   there (serial_job.h), as the launcher has the window load the package's engine.
#include <span>
#include <string_view>

#include "cli/context.h"
#include "cli/invocation.h"

namespace cli {

enum class Option { Port, Machine, Release, Folder, Service, Tessara };

struct OptionInfo {
    Option option;
    const char* name;   // with its "--"
    const char* value;  // the value's placeholder; nullptr for a switch
    const char* help;
};

using Runner = int (*)(Context&);

struct CommandInfo {
    Command command;
    const char* name;
    const char* summary;      // one line for the list of commands
    const char* description;  // the paragraph of its help text, lines of at most 78
    std::span<const Option> options;
    Runner run;
};

std::span<const CommandInfo> Commands();
const CommandInfo* FindCommand(std::string_view name);
const CommandInfo& InfoOf(Command command);

const OptionInfo* FindOption(std::string_view name);
const OptionInfo& InfoOf(Option option);

}  // namespace cli
