// SPDX-License-Identifier: GPL-3.0-or-later
// A screen saver that the bus starts on demand: it notes each start on a
// line of the file named by its argument, refuses the first Inhibit and
// exits, as a service with nothing to inhibit does.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusMessage>
#include <QFile>
#include <QObject>
#include <QTimer>

namespace {

class RefusingScreenSaver : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")
public slots:
    uint Inhibit(const QString&, const QString&) {
        connection().send(
            message().createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.NotSupported"),
                                       QStringLiteral("nothing to inhibit here")));
        setDelayedReply(true);
        // A round trip to the bus: the refusal, sent before it, is out.
        connection().interface()->isServiceRegistered(QStringLiteral("org.freedesktop.DBus"));
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        return 0;
    }
};

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    if (argc != 2)
        return 2;
    QFile starts(QFile::decodeName(argv[1]));
    if (!starts.open(QIODevice::Append))
        return 3;
    starts.write("started\n");
    starts.close();
    RefusingScreenSaver screenSaver;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.registerObject(QStringLiteral("/org/freedesktop/ScreenSaver"), &screenSaver,
                            QDBusConnection::ExportAllSlots) ||
        !bus.registerService(QStringLiteral("org.freedesktop.ScreenSaver")))
        return 4;
    return QCoreApplication::exec();
}

#include "refusing_screensaver.moc"
