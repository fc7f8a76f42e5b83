#include "comm/ftp/socket_watch.h"

#include <QCoreApplication>
#include <QSocketNotifier>

namespace zp {

// What the notifiers' connections hold: the calls, and how deep inside them we are, so
// that a watch destroyed from one of its own calls leaves its notifiers to be deleted
// once that call has returned.
struct TSocketWatch::Shared {
    std::function<void()> onReadable;
    std::function<void()> onWritable;
    QSocketNotifier* reader = nullptr;
    QSocketNotifier* writer = nullptr;
    int depth = 0;
    bool attached = false;
    bool gone = false;

    static void Run(const std::shared_ptr<Shared>& self, bool readable) {
        if (self->gone) return;
        std::shared_ptr<Shared> keep = self;
        ++keep->depth;
        // A copy runs: the owner may replace the watch from inside the call.
        std::function<void()> call = readable ? keep->onReadable : keep->onWritable;
        if (call) call();
        --keep->depth;
    }
};

namespace {
QSocketNotifier* MakeNotifier(QSocketNotifier::Type type) {
    // Owned by the application, so a notifier handed to deleteLater is freed at the latest
    // when the application ends.
    auto* n = new QSocketNotifier(type, QCoreApplication::instance());
    n->setEnabled(false);
    return n;
}

void Release(QSocketNotifier* n, bool later) {
    if (n == nullptr) return;
    n->setEnabled(false);
    if (later) {
        n->deleteLater();
    } else {
        delete n;
    }
}
}  // namespace

TSocketWatch::TSocketWatch(std::function<void()> onReadable, std::function<void()> onWritable)
    : shared_(std::make_shared<Shared>()) {
    shared_->onReadable = std::move(onReadable);
    shared_->onWritable = std::move(onWritable);
}

TSocketWatch::~TSocketWatch() {
    shared_->gone = true;
    const bool inside = shared_->depth > 0;
    Release(shared_->reader, inside);
    Release(shared_->writer, inside);
}

void TSocketWatch::Attach(platform::NativeHandle fd) {
    Detach();
    std::weak_ptr<Shared> weak = shared_;
    if (shared_->reader == nullptr) {
        shared_->reader = MakeNotifier(QSocketNotifier::Read);
        QObject::connect(shared_->reader, &QSocketNotifier::activated, [weak] {
            if (auto s = weak.lock()) Shared::Run(s, true);
        });
        shared_->writer = MakeNotifier(QSocketNotifier::Write);
        QObject::connect(shared_->writer, &QSocketNotifier::activated, [weak] {
            if (auto s = weak.lock()) Shared::Run(s, false);
        });
    }
    shared_->reader->setSocket(fd);
    shared_->writer->setSocket(fd);
    shared_->attached = true;
    shared_->reader->setEnabled(true);
}

void TSocketWatch::Detach() {
    shared_->attached = false;
    if (shared_->reader == nullptr) return;
    shared_->reader->setEnabled(false);
    shared_->writer->setEnabled(false);
}

void TSocketWatch::WatchWritable(bool on) {
    if (shared_->attached) shared_->writer->setEnabled(on);
}

void TSocketWatch::WatchReadable(bool on) {
    if (shared_->attached) shared_->reader->setEnabled(on);
}

}  // namespace zp
