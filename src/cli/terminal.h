#pragma once
// What arvex asks the operating system about its standard streams.
#include <cstddef>
#include <cstdio>

#include "platform/native_handle.h"

namespace cli {

using platform::NativeHandle;

extern const NativeHandle kStandardInput;

bool IsTerminal(std::FILE* stream);
bool IsTerminal(NativeHandle fd);

// Reads what `fd` holds now into `buffer` (one that is known to be readable does not
// block); 0 at its end, -1 on an error.
long ReadSome(NativeHandle fd, char* buffer, std::size_t size);

}  // namespace cli
