#pragma once
// Where the engine library was loaded from, so that the reader can name the file it uses.
#include <string>

namespace zipengine {

// The engine library's file as the system loaded it; empty when the system does not tell.
std::string LibraryPath();

}  // namespace zipengine
