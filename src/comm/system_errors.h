#pragma once
// The operating system's own error numbers (errno here) in the components' terms.
#include <cstdint>
#include <string>

namespace zp {

// Translates a system error number into the system-style codes of zp_errors.h, so that
// callers test one set of codes: a missing device is -2, a held one -5, and so on.
// Numbers with no counterpart pass through negated, and their text is the system's own.
std::int32_t SystemErrorCode(int systemError);

// The system's own text for an error number, on one line: what ErrorMessage gives for a
// number the code table lacks.
std::string SystemErrorText(std::int32_t number);

}  // namespace zp
