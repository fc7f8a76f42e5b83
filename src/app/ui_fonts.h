#pragma once
// The window's fonts: the platform's sans-serif at the pixel heights of the layout.
#include <QFont>

namespace app {

enum class UiFont {
    Normal,      // height 11, the window's font
    Large,       // height 13
    Bold10,      // bold, height 13
    Bold12,      // bold, height 16
    ServiceMode  // bold, height 19
};

QFont MakeFont(UiFont kind);

}  // namespace app
