// The check every remote request passes before the window acts on it: each
// command's arguments, their ranges, and the values the window is handed.

#include "core/remoterequest.h"

#include <QtTest>

#include <cmath>

class TestRemoteRequest : public QObject
{
    Q_OBJECT

private slots:
    void check_data();
    void check();
    void notAnObject();
};

void TestRemoteRequest::check_data()
{
    QTest::addColumn<QString>("words");   // the command line after --remote
    QTest::addColumn<QString>("refusal"); // the start of the error; empty: accepted
    QTest::addColumn<double>("value");    // the converted value where there is one
    const double none = qQNaN();
    auto row = [](const char* words, const char* refusal, double value) {
        QTest::newRow(words) << QString::fromUtf8(words) << QString::fromUtf8(refusal) << value;
    };
    row("status", "", none);
    row("fly", "unknown command", none);
    row("tune 11977 H 27500", "", none);
    row("tune 11977 X 27500", "tune takes", none);
    row("tune 11977 H", "tune takes", none);
    // Positions: up to 180 degrees either way, with E or W.
    row("satellite 13.0E", "", 13.0);
    row("satellite 5.0w", "", -5.0);
    row("satellite 180W", "", -180.0);
    row("satellite 180.1E", "satellite takes", none);
    row("satellite 13.0", "satellite takes", none);
    row("drive-to 12.3E", "", 12.3);
    row("drive-to 181E", "drive-to takes", none);
    // Numbers within their ranges, whole where they must be.
    row("goto 0", "", 0);
    row("goto 60", "", 60);
    row("goto 61", "goto takes", none);
    row("store -1", "store takes", none);
    row("transponder 10719", "", 10719);
    row("transponder 0", "transponder takes", none);
    row("autotune", "", -1);
    row("autotune 10", "", 10);
    row("autotune 11", "autotune takes", none);
    row("drive east 3 steps", "", 3);
    row("drive west 2.5 degrees", "", 2.5);
    row("drive east -3 steps", "drive takes", none);
    row("drive east nan steps", "drive takes", none);
    row("drive up 3 steps", "drive takes", none);
    row("drive east 3 metres", "drive takes", none);
    row("wait-lock 0", "", 0);
    row("wait-lock 3600", "", 3600);
    row("wait-lock 3601", "wait-lock takes", none);
    row("wait-lock -1", "wait-lock takes", none);
    row("wait-lock inf", "wait-lock takes", none);
    row("limit off", "", none);
    row("limit north", "limit takes", none);
    row("raw E0 31 60", "", none);
    row("raw E0 31", "raw takes", none);
    row("raw E0 31 60 00 00 00 00", "raw takes", none);
    // Settings: the dialog's keys, with or without "Settings/", and values of
    // their kind; a negative number is a value.
    row("get MaxAngle", "", none);
    row("get Settings/LocationLatitude", "", none);
    row("get Freqency", "no such setting", none);
    row("set LocationLongitude -3.7", "", -3.7);
    row("set MinElevation 5", "", 5);
    row("set MaxAngle 1.5", "\"1.5\" is not a value", none);
    row("set MaxAngle 1e7", "\"1e7\" is not a value", none);
    row("set OneDegreSteps x", "\"x\" is not a value", none);
    row("set MaxAngle", "set takes", none);
    // A simulated mount: the form here, the names and values at the receiver.
    row("mount", "", none);
    row("mount axis-azimuth=+0.3 declination=-0.2", "", none);
    row("mount set axis-azimuth=0", "", none);
    row("mount tilt=1", "", none);
    row("mount set", "mount takes", none);
    row("mount axis-azimuth", "mount takes", none);
    row("mount =0.3", "mount takes", none);
    row("mount axis-azimuth=0.1 set", "mount takes", none);
    // The arc's calibration: satellites by position; an offset within 5 degrees.
    row("calibrate", "", none);
    row("calibrate 28.2E 13.0E 5.0W", "", none);
    row("calibrate 13,0E", "calibrate takes", none);
    row("calibration", "", none);
    row("calibration reset", "", none);
    row("calibration adjusted", "", none);
    row("calibration offset 19.2E -0.15", "", none);
    row("calibration offset 19.2E 0,15", "calibration takes", none);
    row("calibration offset 19.2E 6", "calibration takes", none);
    row("calibration offset nowhere 0.1", "calibration takes", none);
    // The phone meter: nothing, stop, token, or start with where.
    row("web", "", none);
    row("web start 192.168.1.20:8088", "", none);
    row("web token", "", none);
    row("web start", "web takes", none);
    row("web restart", "web takes", none);
    row("satellites", "", none);
    row("calibration forget", "calibration takes", none);
}

void TestRemoteRequest::check()
{
    QFETCH(QString, words);
    QFETCH(QString, refusal);
    QFETCH(double, value);
    const QStringList w = words.split(QLatin1Char(' '));
    const remote::Request r = remote::parse(remote::encode(w.first(), w.mid(1)));
    if (!refusal.isEmpty()) {
        QVERIFY2(r.error.startsWith(refusal), qPrintable(r.error));
        return;
    }
    QVERIFY2(r.error.isEmpty(), qPrintable(r.error));
    QCOMPARE(r.command, w.first());
    if (std::isnan(value))
        return;
    const QString& c = r.command;
    const double got = c == QLatin1String("satellite") || c == QLatin1String("drive-to") ? r.degrees
                       : c == QLatin1String("goto") || c == QLatin1String("transponder") ||
                               c == QLatin1String("autotune")
                           ? r.number
                           : r.value;
    QCOMPARE(got, value);
    if (c == QLatin1String("drive-to")) {
        QCOMPARE(r.driveMode, 3);
        QCOMPARE(r.value, std::abs(value));
    }
}

void TestRemoteRequest::notAnObject()
{
    for (const QByteArray& bytes :
         {QByteArray("{not json"), QByteArray("[1,2]"), QByteArray(""), QByteArray("\"status\"")})
        QCOMPARE(remote::parse(bytes).error, QStringLiteral("the request is not a JSON object"));
    // Arguments that are not strings come through as empty ones, and are refused.
    QVERIFY(!remote::parse(R"({"command":"goto","args":[5]})").error.isEmpty());
}

QTEST_GUILESS_MAIN(TestRemoteRequest)
#include "tst_remoterequest.moc"
