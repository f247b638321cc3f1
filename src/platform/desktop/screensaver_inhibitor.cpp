// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/desktop/screensaver_inhibitor.h"

#include <QDBusError>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDeadlineTimer>
#include <QThread>
#include <QVariantMap>
#include <algorithm>
#include <utility>

namespace tovimo::desktop {
namespace {
// The idle flag of both the session manager's and the portal's Inhibit.
constexpr std::uint32_t kIdleFlag = 8;
// How often releaseNow() looks for an answer: the reply is taken in by the
// bus's own thread, so no event loop needs to run for it.
constexpr int kAnswerPollMs = 5;

using Service = ScreenSaverInhibitor::Service;

struct Address {
    const char* name;
    const char* path;
    const char* interface;
};
constexpr Address kScreenSaver{"org.freedesktop.ScreenSaver", "/org/freedesktop/ScreenSaver",
                               "org.freedesktop.ScreenSaver"};
constexpr Address kSessionManager{"org.gnome.SessionManager", "/org/gnome/SessionManager",
                                  "org.gnome.SessionManager"};
constexpr Address kPortal{"org.freedesktop.portal.Desktop", "/org/freedesktop/portal/desktop",
                          "org.freedesktop.portal.Inhibit"};

const Address& addressOf(Service service) {
    switch (service) {
    case Service::SessionManager:
        return kSessionManager;
    case Service::Portal:
        return kPortal;
    case Service::ScreenSaver:
        break;
    }
    return kScreenSaver;
}

QDBusMessage callOf(const Address& address, const char* method) {
    return QDBusMessage::createMethodCall(QLatin1String(address.name), QLatin1String(address.path),
                                          QLatin1String(address.interface), QLatin1String(method));
}

const QString kApplication = QStringLiteral("Tovimo");
const QString kReason = QStringLiteral("Playing video");
} // namespace

ScreenSaverInhibitor::ScreenSaverInhibitor(QDBusConnection bus, QObject* parent)
    : QObject(parent), bus_(std::move(bus)) {
    if (!bus_.isConnected())
        return;
    watcher_.setConnection(bus_);
    watcher_.setWatchMode(QDBusServiceWatcher::WatchForOwnerChange);
    for (const Address* address : {&kScreenSaver, &kSessionManager, &kPortal})
        watcher_.addWatchedService(QLatin1String(address->name));
    connect(&watcher_, &QDBusServiceWatcher::serviceRegistered, this, &ScreenSaverInhibitor::serviceAppeared);
    connect(&watcher_, &QDBusServiceWatcher::serviceUnregistered, this,
            &ScreenSaverInhibitor::serviceVanished);
}

ScreenSaverInhibitor::~ScreenSaverInhibitor() {
    if (held_)
        release(*held_, 0);
}

void ScreenSaverInhibitor::setInhibited(bool inhibited) {
    if (inhibited == wanted_)
        return;
    wanted_ = inhibited;
    if (!bus_.isConnected())
        return;
    if (inhibited) {
        askedInWish_ = {};
        absentWhenAsked_ = {};
        if (state_ == State::Asking)
            askedInWish_[static_cast<std::size_t>(pendingService_)] = true; // its answer serves this wish
        else
            askNext();
        return;
    }
    switch (state_) {
    case State::Holding:
        release(*std::exchange(held_, std::nullopt), 0);
        state_ = State::Idle;
        break;
    case State::Unavailable:
        state_ = State::Idle;
        break;
    case State::Asking: // the answer is released when it comes
    case State::Idle:
        break;
    }
}

void ScreenSaverInhibitor::askNext() {
    for (std::size_t i = 0; i < askedInWish_.size(); ++i) {
        if (!askedInWish_[i]) {
            askedInWish_[i] = true;
            return ask(static_cast<Service>(i));
        }
    }
    state_ = State::Unavailable;
}

void ScreenSaverInhibitor::ask(Service service) {
    QDBusMessage call = callOf(addressOf(service), "Inhibit");
    switch (service) {
    case Service::ScreenSaver:
        call << kApplication << kReason;
        break;
    case Service::SessionManager:
        call << kApplication << toplevelWindow_ << kReason << kIdleFlag;
        break;
    case Service::Portal:
        call << (toplevelWindow_ ? QStringLiteral("x11:") + QString::number(toplevelWindow_, 16) : QString())
             << kIdleFlag << QVariantMap{{QStringLiteral("reason"), kReason}};
        break;
    }
    state_ = State::Asking;
    pendingService_ = service;
    pending_ = new QDBusPendingCallWatcher(bus_.asyncCall(call, kAskTimeoutMs), this);
    connect(pending_, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* watcher) {
        watcher->deleteLater();
        if (watcher == pending_) // else releaseNow() has taken the answer already
            answered(*watcher);
    });
}

std::optional<ScreenSaverInhibitor::Held> ScreenSaverInhibitor::grantOf(QDBusPendingCallWatcher& watcher,
                                                                        Service service) {
    if (service == Service::Portal) {
        const QDBusPendingReply<QDBusObjectPath> reply = watcher;
        if (reply.isValid())
            return Held{service, 0, reply.value().path()};
        return std::nullopt;
    }
    const QDBusPendingReply<std::uint32_t> reply = watcher;
    if (reply.isValid())
        return Held{service, reply.value(), {}};
    return std::nullopt;
}

void ScreenSaverInhibitor::answered(QDBusPendingCallWatcher& watcher) {
    pending_ = nullptr;
    const std::optional<Held> granted = grantOf(watcher, pendingService_);
    const QDBusError::ErrorType error = watcher.error().type();
    absentWhenAsked_[static_cast<std::size_t>(pendingService_)] = error == QDBusError::ServiceUnknown;
    if (granted && wanted_) {
        held_ = granted;
        state_ = State::Holding;
    } else if (granted) {
        release(*granted, 0);
        state_ = State::Idle;
    } else if (wanted_) {
        askNext();
    } else {
        state_ = State::Idle;
    }
}

void ScreenSaverInhibitor::serviceAppeared(const QString& name) {
    for (std::size_t i = 0; i < askedInWish_.size(); ++i) {
        if (name != QLatin1String(addressOf(static_cast<Service>(i)).name) || !absentWhenAsked_[i])
            continue;
        // The call never reached it: it may be asked now. One that the bus
        // started for the call, or that answered, has had its say.
        askedInWish_[i] = false;
        absentWhenAsked_[i] = false;
        if (state_ == State::Unavailable && wanted_)
            askNext();
    }
}

void ScreenSaverInhibitor::serviceVanished(const QString& name) {
    if (state_ != State::Holding || name != QLatin1String(addressOf(held_->service).name))
        return;
    // What it held went with it.
    held_.reset();
    askNext();
}

void ScreenSaverInhibitor::release(const Held& held, int waitMs) {
    const Address& address = addressOf(held.service);
    QDBusMessage call;
    switch (held.service) {
    case Service::ScreenSaver:
        call = callOf(address, "UnInhibit");
        call << held.cookie;
        break;
    case Service::SessionManager:
        call = callOf(address, "Uninhibit");
        call << held.cookie;
        break;
    case Service::Portal:
        call = QDBusMessage::createMethodCall(QLatin1String(address.name), held.request,
                                              QStringLiteral("org.freedesktop.portal.Request"),
                                              QStringLiteral("Close"));
        break;
    }
    if (waitMs > 0)
        bus_.call(call, QDBus::Block, waitMs);
    else
        bus_.asyncCall(call);
}

void ScreenSaverInhibitor::releaseNow() {
    wanted_ = false;
    if (!bus_.isConnected())
        return;
    const QDeadlineTimer deadline(kShutdownBudgetMs);
    std::optional<Held> toRelease = std::exchange(held_, std::nullopt);
    if (QDBusPendingCallWatcher* watcher = pending_) {
        // An inhibition on its way would outlive the process: take its answer
        // if it comes in time.
        while (!watcher->isFinished() && !deadline.hasExpired())
            QThread::msleep(kAnswerPollMs);
        if (watcher->isFinished()) {
            pending_ = nullptr;
            toRelease = grantOf(*watcher, pendingService_);
        }
    }
    if (toRelease)
        release(*toRelease, std::max<int>(1, static_cast<int>(deadline.remainingTime())));
    state_ = pending_ ? State::Asking : State::Idle;
}

} // namespace tovimo::desktop
