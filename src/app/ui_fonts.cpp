#include "app/ui_fonts.h"

#include <QStringList>

namespace app {

QFont MakeFont(UiFont kind) {
    QFont font;
    // Calibri has the same widths as the first choice; the narrow faces after it are
    // narrower still, so captions fit with any of them.
    font.setFamilies({QLatin1String(kUiFontFamily), QStringLiteral("Calibri"),
                      QStringLiteral("Liberation Sans Narrow"), QStringLiteral("Arial Narrow"),
                      QStringLiteral("DejaVu Sans Condensed")});
    font.setStyleHint(QFont::SansSerif);
    switch (kind) {
        case UiFont::Normal:
            font.setPixelSize(11);
            break;
        case UiFont::Large:
            font.setPixelSize(13);
            break;
        case UiFont::Bold10:
            font.setPixelSize(13);
            font.setBold(true);
            break;
        case UiFont::Bold12:
            font.setPixelSize(16);
            font.setBold(true);
            break;
        case UiFont::ServiceMode:
            font.setPixelSize(19);
            font.setBold(true);
            break;
    }
    return font;
}

}  // namespace app
