#include "app/repaint_throttle.h"

#include <QWidget>

namespace app {

RepaintThrottle::RepaintThrottle(QWidget& widget, int periodMs)
    : widget_(widget), periodMs_(periodMs) {
    release_.setSingleShot(true);
    QObject::connect(&release_, &QTimer::timeout, [this] {
        sincePaint_.start();
        widget_.setUpdatesEnabled(true);  // repaints what changed meanwhile
    });
}

void RepaintThrottle::Changed() {
    if (release_.isActive()) return;
    if (!sincePaint_.isValid() || sincePaint_.elapsed() >= periodMs_) {
        sincePaint_.start();
        return;
    }
    widget_.setUpdatesEnabled(false);
    release_.start(periodMs_ - static_cast<int>(sincePaint_.elapsed()));
}

}  // namespace app
