#include "platform/busy_cursor.h"

#include <QCursor>
#include <QGuiApplication>

namespace platform {

namespace {
int g_depth = 0;
}

BusyCursor::BusyCursor() {
    ++g_depth;
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr) {
        QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
        shown_ = true;
    }
}

BusyCursor::~BusyCursor() {
    --g_depth;
    if (shown_) QGuiApplication::restoreOverrideCursor();
}

bool BusyCursor::Active() { return g_depth > 0; }

}  // namespace platform
