#pragma once
// arvex as a user starts it: the build's executable, no display, no ports folder and a
// data home of its own unless the test's environment gives them.
#include <string>
#include <vector>

namespace clitest {

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

// Runs `program` (arvex when empty) of the build to its end; standard output and standard
// error kept apart.
Outcome RunArvex(const std::vector<std::string>& args, std::vector<std::string> environment = {},
                 const std::string& program = "arvex");

// The environment RunArvex starts with, for a test that starts arvex itself.
std::vector<std::string> ArvexEnvironment(const std::string& scratch);

std::string BuildPath(const std::string& program);

bool HasControlCharacters(const std::string& text);

}  // namespace clitest
