#include "session_bus_fixture.h"

#include <QProcess>
#include <csignal>

namespace tovimo::desktop::testing {

PrivateSessionBus::PrivateSessionBus() {
    QProcess daemon;
    daemon.start(QStringLiteral("dbus-daemon"),
                 {QStringLiteral("--session"), QStringLiteral("--fork"), QStringLiteral("--nopidfile"),
                  QStringLiteral("--print-address=1"), QStringLiteral("--print-pid=1")});
    if (!daemon.waitForFinished(10000) || daemon.exitCode() != 0)
        return;
    const QStringList lines = QString::fromLocal8Bit(daemon.readAllStandardOutput()).split(QLatin1Char('\n'));
    if (lines.size() < 2)
        return;
    address_ = lines.at(0).trimmed();
    pid_ = lines.at(1).trimmed().toLongLong();
}

PrivateSessionBus::~PrivateSessionBus() {
    for (const QString& name : connectionNames_)
        QDBusConnection::disconnectFromBus(name);
    if (pid_ > 0)
        ::kill(static_cast<pid_t>(pid_), SIGTERM);
}

QDBusConnection PrivateSessionBus::connect() {
    const QString name = QStringLiteral("test-bus-%1-%2").arg(pid_).arg(connectionNames_.size());
    connectionNames_ << name;
    return QDBusConnection::connectToBus(address_, name);
}

bool StandInScreenSaver::registerOn(QDBusConnection bus) {
    return bus.registerObject(QStringLiteral("/org/freedesktop/ScreenSaver"), this,
                              QDBusConnection::ExportAllSlots) &&
           bus.registerService(QStringLiteral("org.freedesktop.ScreenSaver"));
}

uint StandInScreenSaver::Inhibit(const QString& application, const QString& reason) {
    calls.push_back({QStringLiteral("Inhibit"), {application, reason}});
    return nextCookie_++;
}

void StandInScreenSaver::UnInhibit(uint cookie) {
    calls.push_back({QStringLiteral("UnInhibit"), {cookie}});
}

bool StandInSessionManager::registerOn(QDBusConnection bus) {
    return bus.registerObject(QStringLiteral("/org/gnome/SessionManager"), this,
                              QDBusConnection::ExportAllSlots) &&
           bus.registerService(QStringLiteral("org.gnome.SessionManager"));
}

uint StandInSessionManager::Inhibit(const QString& appId, uint toplevelXid, const QString& reason,
                                    uint flags) {
    calls.push_back({QStringLiteral("Inhibit"), {appId, toplevelXid, reason, flags}});
    return nextCookie_++;
}

void StandInSessionManager::Uninhibit(uint cookie) {
    calls.push_back({QStringLiteral("Uninhibit"), {cookie}});
}

} // namespace tovimo::desktop::testing
