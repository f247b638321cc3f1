#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QPointer>
#include <QString>
#include <cstdint>
#include <optional>

class QDBusPendingCallWatcher;

namespace tovimo::desktop {

// Keeps the screen from blanking while asked to, through the session's
// org.freedesktop.ScreenSaver Inhibit ("Tovimo", "Playing video"), or, where
// that service is missing, org.gnome.SessionManager Inhibit with the idle
// flag. With no bus or neither service it does nothing and reports nothing.
//
// Calls are asynchronous: setInhibited() returns at once, and a change asked
// for while a call is under way is applied when it answers, so at most one
// inhibition is held and none is left behind.
class ScreenSaverInhibitor : public QObject {
    Q_OBJECT
public:
    explicit ScreenSaverInhibitor(QDBusConnection bus, QObject* parent = nullptr);
    ~ScreenSaverInhibitor() override;
    ScreenSaverInhibitor(const ScreenSaverInhibitor&) = delete;
    ScreenSaverInhibitor& operator=(const ScreenSaverInhibitor&) = delete;

    // The X window that the session manager's inhibition names.
    void setToplevelWindow(std::uint32_t window) { toplevelWindow_ = window; }

    void setInhibited(bool inhibited);
    // Releases what is held and waits (briefly) until the release is sent:
    // for the moment before the process ends.
    void releaseNow();

    bool holdsInhibition() const { return held_.has_value(); }

private:
    enum class Backend { ScreenSaver, SessionManager };
    struct Held {
        Backend backend;
        std::uint32_t cookie;
    };

    void update();
    void requestInhibit(Backend backend);
    void takeInhibitReply(QDBusPendingCallWatcher& watcher);
    void release(bool wait);

    QDBusConnection bus_;
    std::uint32_t toplevelWindow_ = 0;
    bool wanted_ = false;
    QPointer<QDBusPendingCallWatcher> pending_; // the Inhibit call under way
    Backend pendingBackend_ = Backend::ScreenSaver;
    std::optional<Held> held_;
};

} // namespace tovimo::desktop
