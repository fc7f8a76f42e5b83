#pragma once
// "ComPort.txt" in the program folder: the COM port the terminal was last found on.
#include <string>

namespace device {

// The remembered port clamped to 1..256; a missing or unreadable file, or text that is
// not a number, gives 1.
int ReadRememberedPort(const std::string& programDir);

// Writes `port` in decimal digits with no line end; a file error is ignored.
void SaveRememberedPort(const std::string& programDir, int port);

}  // namespace device
