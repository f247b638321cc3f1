// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QObject>
#include <QPointer>
#include <QString>
#include <array>
#include <cstdint>
#include <optional>

class QDBusPendingCallWatcher;

namespace tovimo::desktop {

// Keeps the screen from blanking while asked to, through the first of these
// services on the session bus that grants it:
// org.freedesktop.ScreenSaver Inhibit ("Tovimo", "Playing video");
// org.gnome.SessionManager Inhibit with the idle flag and the X window;
// org.freedesktop.portal.Inhibit with the idle flag and the window as
// "x11:<hex id>" (what sandboxed and Wayland desktops offer).
//
// States:
// - Idle: nothing wanted, nothing held, no call under way;
// - Asking: one Inhibit call under way (at most one at any time);
// - Holding: one inhibition held (never more than one);
// - Unavailable: wanted, but every service has been asked and none granted.
//
// A wish runs from setInhibited(true) to setInhibited(false). Within one
// wish each service is asked at most once: a call that the bus answers with
// "no such name" did not reach it, and only such a service is asked again
// when it appears on the bus later (one the bus starts for the call itself,
// and then refuses, stays asked). In Unavailable nothing is sent until such
// a service appears or a new wish starts. Calls are asynchronous and a change asked for while a call is
// under way is applied when it answers, so none is left behind. With no bus
// it does nothing and reports nothing.
class ScreenSaverInhibitor : public QObject {
    Q_OBJECT
public:
    enum class State { Idle, Asking, Holding, Unavailable };
    enum class Service { ScreenSaver, SessionManager, Portal };
    static constexpr int kServiceCount = 3;
    // An Inhibit call with no answer by then counts as refused.
    static constexpr int kAskTimeoutMs = 5000;
    // releaseNow() returns within this, whatever the services do.
    static constexpr int kShutdownBudgetMs = 500;

    explicit ScreenSaverInhibitor(QDBusConnection bus, QObject* parent = nullptr);
    ~ScreenSaverInhibitor() override;
    ScreenSaverInhibitor(const ScreenSaverInhibitor&) = delete;
    ScreenSaverInhibitor& operator=(const ScreenSaverInhibitor&) = delete;

    // The X window that the session manager's and the portal's inhibitions
    // name; 0: none.
    void setToplevelWindow(std::uint32_t window) { toplevelWindow_ = window; }

    void setInhibited(bool inhibited);
    // Releases what is held, for the moment before the process ends: an
    // answer under way is waited for and the release sent, all within
    // kShutdownBudgetMs. Anything still unanswered then is left to the
    // services, which drop what a vanished connection held.
    void releaseNow();

    State state() const { return state_; }
    bool holdsInhibition() const { return state_ == State::Holding; }

private:
    struct Held {
        Service service;
        std::uint32_t cookie = 0; // ScreenSaver, SessionManager
        QString request;          // Portal: the request object to close
    };

    // Asks the first service not yet asked in this wish; Unavailable when
    // there is none.
    void askNext();
    void ask(Service service);
    void answered(QDBusPendingCallWatcher& watcher);
    // What a finished Inhibit call to `service` granted, if anything.
    static std::optional<Held> grantOf(QDBusPendingCallWatcher& watcher, Service service);
    void serviceAppeared(const QString& name);
    void serviceVanished(const QString& name);
    // Sends the release of `held` (asynchronously unless `waitMs` > 0).
    void release(const Held& held, int waitMs);

    QDBusConnection bus_;
    QDBusServiceWatcher watcher_;
    std::uint32_t toplevelWindow_ = 0;
    State state_ = State::Idle;
    bool wanted_ = false;
    std::array<bool, kServiceCount> askedInWish_{};
    // Asked in this wish, and the bus answered that no one owned the name.
    std::array<bool, kServiceCount> absentWhenAsked_{};
    QPointer<QDBusPendingCallWatcher> pending_; // the Inhibit call under way
    Service pendingService_ = Service::ScreenSaver;
    std::optional<Held> held_;
};

} // namespace tovimo::desktop
