#pragma once
// The window's fonts, at the pixel heights of the layout. The layout's buttons and labels
// were measured for a narrow sans serif: the window asks for one whose widths keep every
// shipped caption inside its control (scripts/setup installs it), then for fonts of the
// same widths, and only then for whatever sans serif the system has.
#include <QFont>

namespace app {

inline constexpr const char* kUiFontFamily = "Carlito";

enum class UiFont {
    Normal,      // height 11, the window's font
    Large,       // height 13
    Bold10,      // bold, height 13
    Bold12,      // bold, height 16
    ServiceMode  // bold, height 19
};

QFont MakeFont(UiFont kind);

}  // namespace app
