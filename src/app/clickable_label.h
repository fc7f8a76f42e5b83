#pragma once
// A label that reports double-clicks, for the version label's hidden login.
#include <QLabel>
#include <functional>

namespace app {

class ClickableLabel : public QLabel {
public:
    using QLabel::QLabel;
    std::function<void()> OnDblClick;

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override {
        if (OnDblClick) OnDblClick();
        QLabel::mouseDoubleClickEvent(event);
    }
};

}  // namespace app
