#pragma once
// An open file, device or socket as the operating system names it, for the interfaces
// between portable code and its posix/ part: a file descriptor here. A Windows build
// would widen it to hold a HANDLE or a SOCKET. Negative means none, so portable code tests
// it without knowing which it is.
namespace platform {

using NativeHandle = int;
inline constexpr NativeHandle kNoHandle = -1;

}  // namespace platform
