#include "app/ui_fonts.h"

namespace app {

QFont MakeFont(UiFont kind) {
    QFont font(QStringLiteral("Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    switch (kind) {
        case UiFont::Normal: font.setPixelSize(11); break;
        case UiFont::Large: font.setPixelSize(13); break;
        case UiFont::Bold10: font.setPixelSize(13); font.setBold(true); break;
        case UiFont::Bold12: font.setPixelSize(16); font.setBold(true); break;
        case UiFont::ServiceMode: font.setPixelSize(19); font.setBold(true); break;
    }
    return font;
}

}  // namespace app
