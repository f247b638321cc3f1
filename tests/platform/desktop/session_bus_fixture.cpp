// SPDX-License-Identifier: GPL-3.0-or-later
#include "session_bus_fixture.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <csignal>

namespace tovimo::desktop::testing {

PrivateSessionBus::PrivateSessionBus() {
    if (noServices_.isValid())
        startWithServicesIn(noServices_.path());
}

PrivateSessionBus::PrivateSessionBus(const QString& serviceFolder) {
    startWithServicesIn(serviceFolder);
}

void PrivateSessionBus::startWithServicesIn(const QString& serviceFolder) {
    const QString configPath = serviceFolder + QStringLiteral("/bus.conf");
    QFile config(configPath);
    if (!config.open(QIODevice::WriteOnly))
        return;
    config.write(
        QStringLiteral("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                       " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                       "<busconfig>\n"
                       "  <type>session</type>\n"
                       "  <listen>unix:tmpdir=/tmp</listen>\n"
                       "  <servicedir>%1</servicedir>\n"
                       "  <policy context=\"default\">\n"
                       "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
                       "    <allow eavesdrop=\"true\"/>\n"
                       "    <allow own=\"*\"/>\n"
                       "  </policy>\n"
                       "</busconfig>\n")
            .arg(serviceFolder.toHtmlEscaped())
            .toUtf8());
    config.close();
    start({QStringLiteral("--config-file=") + configPath});
}

void PrivateSessionBus::start(QStringList arguments) {
    QProcess daemon;
    arguments << QStringLiteral("--fork") << QStringLiteral("--nopidfile")
              << QStringLiteral("--print-address=1") << QStringLiteral("--print-pid=1");
    daemon.start(QStringLiteral("dbus-daemon"), arguments);
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

BusMonitor::BusMonitor(const QString& address) {
    process_.start(QStringLiteral("dbus-monitor"), {QStringLiteral("--address"), address});
    // It reports its own connection first: from then on it sees every call.
    const QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired() && process_.waitForReadyRead(static_cast<int>(deadline.remainingTime()))) {
        seen_ += QString::fromLocal8Bit(process_.readAllStandardOutput());
        if (seen_.contains(QStringLiteral("NameAcquired"))) {
            started_ = true;
            break;
        }
    }
}

BusMonitor::~BusMonitor() {
    process_.kill();
    process_.waitForFinished(5000);
}

int BusMonitor::calls(const QString& destination, const QString& member) {
    do
        seen_ += QString::fromLocal8Bit(process_.readAllStandardOutput());
    while (process_.waitForReadyRead(100));
    const QRegularExpression call(
        QStringLiteral("^method call .* destination=%1 .* member=%2$")
            .arg(QRegularExpression::escape(destination), QRegularExpression::escape(member)),
        QRegularExpression::MultilineOption);
    int count = 0;
    for (auto matches = call.globalMatch(seen_); matches.hasNext(); matches.next())
        ++count;
    return count;
}

bool StandInScreenSaver::registerOn(QDBusConnection bus) {
    return bus.registerObject(QStringLiteral("/org/freedesktop/ScreenSaver"), this,
                              QDBusConnection::ExportAllSlots) &&
           bus.registerService(QStringLiteral("org.freedesktop.ScreenSaver"));
}

void StandInScreenSaver::unregisterFrom(QDBusConnection bus) {
    bus.unregisterService(QStringLiteral("org.freedesktop.ScreenSaver"));
    bus.unregisterObject(QStringLiteral("/org/freedesktop/ScreenSaver"));
}

uint StandInScreenSaver::Inhibit(const QString& application, const QString& reason) {
    calls.push_back({QStringLiteral("Inhibit"), {application, reason}});
    if (!answers)
        setDelayedReply(true); // and the reply never comes
    return nextCookie_++;
}

void StandInScreenSaver::UnInhibit(uint cookie) {
    calls.push_back({QStringLiteral("UnInhibit"), {cookie}});
    if (!answers)
        setDelayedReply(true);
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

namespace {
class StandInRequest : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Request")
public:
    StandInRequest(std::vector<ReceivedCall>& calls, QString path, QObject* parent)
        : QObject(parent), calls_(calls), path_(std::move(path)) {}

public slots:
    void Close() { calls_.push_back({QStringLiteral("Close"), {path_}}); }

private:
    std::vector<ReceivedCall>& calls_;
    QString path_;
};
} // namespace

bool StandInPortal::registerOn(QDBusConnection bus) {
    bus_ = bus;
    return bus.registerObject(QStringLiteral("/org/freedesktop/portal/desktop"), this,
                              QDBusConnection::ExportAllSlots) &&
           bus.registerService(QStringLiteral("org.freedesktop.portal.Desktop"));
}

QDBusObjectPath StandInPortal::Inhibit(const QString& window, uint flags, const QVariantMap& options) {
    calls.push_back({QStringLiteral("Inhibit"), {window, flags, options}});
    const QString path = QStringLiteral("/org/freedesktop/portal/desktop/request/1_1/t%1").arg(++requests_);
    bus_.registerObject(path, new StandInRequest(calls, path, this), QDBusConnection::ExportAllSlots);
    return QDBusObjectPath(path);
}

} // namespace tovimo::desktop::testing

#include "session_bus_fixture.moc"
