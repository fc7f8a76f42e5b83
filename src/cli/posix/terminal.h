#pragma once
// What arvex asks the operating system about its standard streams.
#include <cstddef>
#include <cstdio>

namespace cli {

inline constexpr int kStandardInput = 0;

bool IsTerminal(std::FILE* stream);
bool IsTerminal(int fd);

// Reads what `fd` holds now into `buffer` (a file descriptor that is known to be
// readable does not block); 0 at its end, -1 on an error.
long ReadSome(int fd, char* buffer, std::size_t size);

}  // namespace cli
