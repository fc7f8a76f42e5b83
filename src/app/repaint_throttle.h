#pragma once
// Holds back a widget's repaints while its contents change faster than anyone can read:
// at most one repaint per period, the last state always shown. What the widget holds
// changes at once; only the drawing waits. A check of a thousand small files would
// otherwise spend its time drawing page 2 once per file.
#include <QElapsedTimer>
#include <QTimer>

class QWidget;

namespace app {

class RepaintThrottle {
  public:
    RepaintThrottle(QWidget& widget, int periodMs);
    RepaintThrottle(const RepaintThrottle&) = delete;
    RepaintThrottle& operator=(const RepaintThrottle&) = delete;

    // The widget's contents have changed.
    void Changed();

  private:
    QWidget& widget_;
    int periodMs_;
    QElapsedTimer sincePaint_;
    QTimer release_;
};

}  // namespace app
