#include "platform/desktop/screensaver_inhibitor.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace tovimo::desktop {
namespace {
constexpr std::uint32_t kSessionManagerIdleFlag = 8;
constexpr int kReleaseWaitMs = 1000;

QDBusMessage screenSaverCall(const char* method) {
    return QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("/org/freedesktop/ScreenSaver"),
        QStringLiteral("org.freedesktop.ScreenSaver"), QLatin1String(method));
}
QDBusMessage sessionManagerCall(const char* method) {
    return QDBusMessage::createMethodCall(QStringLiteral("org.gnome.SessionManager"),
                                          QStringLiteral("/org/gnome/SessionManager"),
                                          QStringLiteral("org.gnome.SessionManager"), QLatin1String(method));
}
} // namespace

ScreenSaverInhibitor::ScreenSaverInhibitor(QDBusConnection bus, QObject* parent)
    : QObject(parent), bus_(std::move(bus)) {}

ScreenSaverInhibitor::~ScreenSaverInhibitor() {
    wanted_ = false;
    release(false);
}

void ScreenSaverInhibitor::setInhibited(bool inhibited) {
    wanted_ = inhibited;
    update();
}

void ScreenSaverInhibitor::releaseNow() {
    wanted_ = false;
    release(true);
}

void ScreenSaverInhibitor::update() {
    if (pending_ || !bus_.isConnected())
        return;
    if (wanted_ && !held_)
        requestInhibit(Backend::ScreenSaver);
    else if (!wanted_ && held_)
        release(false);
}

void ScreenSaverInhibitor::requestInhibit(Backend backend) {
    QDBusMessage call;
    if (backend == Backend::ScreenSaver) {
        call = screenSaverCall("Inhibit");
        call << QStringLiteral("Tovimo") << QStringLiteral("Playing video");
    } else {
        call = sessionManagerCall("Inhibit");
        call << QStringLiteral("Tovimo") << toplevelWindow_ << QStringLiteral("Playing video")
             << kSessionManagerIdleFlag;
    }
    pendingBackend_ = backend;
    pending_ = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(pending_, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* watcher) {
        watcher->deleteLater();
        if (watcher != pending_)
            return; // releaseNow() has taken the answer already
        const Backend answered = pendingBackend_;
        takeInhibitReply(*watcher);
        if (!held_ && answered == Backend::ScreenSaver && wanted_)
            return requestInhibit(Backend::SessionManager);
        update();
    });
}

void ScreenSaverInhibitor::takeInhibitReply(QDBusPendingCallWatcher& watcher) {
    pending_ = nullptr;
    const QDBusPendingReply<std::uint32_t> reply = watcher;
    if (reply.isValid())
        held_ = Held{pendingBackend_, reply.value()};
}

void ScreenSaverInhibitor::release(bool wait) {
    if (pending_ && wait) {
        // An inhibition on its way would outlive the process: take its answer now.
        QDBusPendingCallWatcher* watcher = pending_;
        watcher->waitForFinished();
        takeInhibitReply(*watcher);
    }
    if (!held_ || !bus_.isConnected())
        return;
    QDBusMessage call = held_->backend == Backend::ScreenSaver ? screenSaverCall("UnInhibit")
                                                               : sessionManagerCall("Uninhibit");
    call << held_->cookie;
    held_.reset();
    if (wait)
        bus_.call(call, QDBus::Block, kReleaseWaitMs);
    else
        bus_.asyncCall(call);
}

} // namespace tovimo::desktop
