// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariantList>
#include <vector>

namespace tovimo::desktop::testing {

// A session bus of its own for one test: a dbus-daemon started in the
// constructor and stopped in the destructor. It never starts the machine's
// own services (a desktop portal installed on the test machine would answer
// calls that the tests expect to go unanswered).
class PrivateSessionBus {
public:
    // A bus that starts no service on demand.
    PrivateSessionBus();
    // A bus that starts on demand the services whose ".service" files lie
    // in `serviceFolder` (and no others); its configuration is written there.
    explicit PrivateSessionBus(const QString& serviceFolder);
    ~PrivateSessionBus();
    PrivateSessionBus(const PrivateSessionBus&) = delete;
    PrivateSessionBus& operator=(const PrivateSessionBus&) = delete;

    bool started() const { return !address_.isEmpty(); }
    const QString& address() const { return address_; }
    // A new connection of this process to the bus (each has its own name).
    QDBusConnection connect();

private:
    void startWithServicesIn(const QString& serviceFolder);
    void start(QStringList arguments);

    QTemporaryDir noServices_;

    QString address_;
    qint64 pid_ = 0;
    QStringList connectionNames_;
};

// The method calls that reach a bus, as dbus-monitor sees them.
class BusMonitor {
public:
    // Starts watching `address`; returns once the monitor is in place.
    explicit BusMonitor(const QString& address);
    ~BusMonitor();
    BusMonitor(const BusMonitor&) = delete;
    BusMonitor& operator=(const BusMonitor&) = delete;

    bool started() const { return started_; }
    // How many calls of `member` were sent to `destination` so far.
    int calls(const QString& destination, const QString& member);

private:
    QProcess process_;
    QString seen_;
    bool started_ = false;
};

// One call a stand-in service received.
struct ReceivedCall {
    QString method;
    QVariantList arguments;
};

// Stand-ins for the session's screen saver and GNOME session manager: they
// record each Inhibit and UnInhibit and hand out cookies 1, 2, 3...
class StandInScreenSaver : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")
public:
    // Registers org.freedesktop.ScreenSaver on `bus`; false when it failed.
    bool registerOn(QDBusConnection bus);
    // Gives the name up again.
    void unregisterFrom(QDBusConnection bus);
    std::vector<ReceivedCall> calls;
    // False: a screen saver that hangs, recording calls and never answering.
    bool answers = true;

public slots:
    uint Inhibit(const QString& application, const QString& reason);
    void UnInhibit(uint cookie);

private:
    uint nextCookie_ = 1;
};

class StandInSessionManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.gnome.SessionManager")
public:
    bool registerOn(QDBusConnection bus);
    std::vector<ReceivedCall> calls;

public slots:
    uint Inhibit(const QString& appId, uint toplevelXid, const QString& reason, uint flags);
    void Uninhibit(uint cookie);

private:
    uint nextCookie_ = 1;
};

// The desktop portal's Inhibit: each call gets a request object of its own,
// whose Close ends that inhibition (recorded as "Close" with the path).
class StandInPortal : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Inhibit")
public:
    bool registerOn(QDBusConnection bus);
    std::vector<ReceivedCall> calls;

public slots:
    QDBusObjectPath Inhibit(const QString& window, uint flags, const QVariantMap& options);

private:
    QDBusConnection bus_{QString()};
    int requests_ = 0;
};

// Cookies given out by Inhibit calls and not yet returned.
template <typename StandIn> int heldInhibitions(const StandIn& standIn) {
    int held = 0;
    for (const ReceivedCall& call : standIn.calls)
        held += call.method == QLatin1String("Inhibit") ? 1 : -1;
    return held;
}

} // namespace tovimo::desktop::testing
