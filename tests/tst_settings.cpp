// The settings store: defaults, a full round trip, the boolean and list
// formats, and the rules for stored positions and remembered transponders.

#include "lists/satellitelist.h"
#include "settings/datafiles.h"
#include "settings/settingsstore.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// The store's keys as users' files hold them: name, the text a fresh
// program writes, and another valid value.
struct Key
{
    const char* name;
    const char* written;
    const char* other;
    QString (*field)(const StoredSettings& v); // the value read, as text
};

QString n(double value)
{
    return QString::number(value);
}

const Key Keys[] = {
    {"MainwindowLayout", "", "AAAA/wAAAAD9",
     [](const StoredSettings& v) {
         return QString(v.layout);
     }},
    {"Settings/Freqency", "11044", "11977",
     [](const StoredSettings& v) {
         return QString(n(v.frequency));
     }},
    {"Settings/Symbol-Rate", "39999", "27500",
     [](const StoredSettings& v) {
         return QString(n(v.symbolRate));
     }},
    {"Settings/Polarization", "0", "1",
     [](const StoredSettings& v) {
         return QString(n(v.polarization));
     }},
    {"Settings/Curves/AGCScaleMin", "0", "10",
     [](const StoredSettings& v) {
         return QString(n(v.options.agcScaleMin));
     }},
    {"Settings/Curves/AGCScaleMax", "100", "90",
     [](const StoredSettings& v) {
         return QString(n(v.options.agcScaleMax));
     }},
    {"Settings/Curves/AGCAutoScale", "0", "1",
     [](const StoredSettings& v) {
         return QString(n(v.options.agcAutoScale));
     }},
    {"Settings/LNBPower", "1", "0",
     [](const StoredSettings& v) {
         return QString(n(v.lnbPower));
     }},
    {"Settings/IOUT", "0", "1",
     [](const StoredSettings& v) {
         return QString(n(v.iout650mA));
     }},
    {"Settings/VOUT", "0", "1",
     [](const StoredSettings& v) {
         return QString(n(v.voutHigh));
     }},
    {"Settings/LNBType", "0", "4",
     [](const StoredSettings& v) {
         return QString(n(v.lnbType));
     }},
    {"Settings/LOF1", "9750", "5150",
     [](const StoredSettings& v) {
         return QString(v.lof1);
     }},
    {"Settings/LOF2", "10600", "0",
     [](const StoredSettings& v) {
         return QString(v.lof2);
     }},
    {"Settings/LOF_SW", "11700", "0",
     [](const StoredSettings& v) {
         return QString(v.lofSwitch);
     }},
    {"Settings/Diseqc", "0", "2",
     [](const StoredSettings& v) {
         return QString(n(v.diseqc));
     }},
    {"Settings/SimplePosition", "0", "1",
     [](const StoredSettings& v) {
         return QString(n(v.simplePosition));
     }},
    {"Settings/MultiOption", "0", "3",
     [](const StoredSettings& v) {
         return QString(n(v.multiOption));
     }},
    {"Settings/AcousticFreqMinHz", "50", "60",
     [](const StoredSettings& v) {
         return QString(n(v.options.acousticFreqMinHz));
     }},
    {"Settings/AcousticFreqMaxHz", "1000", "900",
     [](const StoredSettings& v) {
         return QString(n(v.options.acousticFreqMaxHz));
     }},
    {"Settings/AcousticVolume", "50", "75",
     [](const StoredSettings& v) {
         return QString(n(v.options.acousticVolume));
     }},
    {"Settings/AcousticScaleMin", "50", "40",
     [](const StoredSettings& v) {
         return QString(n(v.options.acousticScaleMin));
     }},
    {"Settings/AcousticScaleMax", "70", "80",
     [](const StoredSettings& v) {
         return QString(n(v.options.acousticScaleMax));
     }},
    {"Settings/LearnedMsPerDegree13V", "0", "830",
     [](const StoredSettings& v) {
         return QString(n(v.options.learnedMsPerDegree13V));
     }},
    {"Settings/LearnedMsPerDegree18V", "0", "560",
     [](const StoredSettings& v) {
         return QString(n(v.options.learnedMsPerDegree18V));
     }},
    {"Settings/Acoustic", "0", "1",
     [](const StoredSettings& v) {
         return QString(n(v.acoustic));
     }},
    {"Settings/CurveBER", "1", "0",
     [](const StoredSettings& v) {
         return QString(n(v.curveBer));
     }},
    {"Settings/CurveSNR", "1", "0",
     [](const StoredSettings& v) {
         return QString(n(v.curveSnr));
     }},
    {"Settings/CurveAGC", "1", "0",
     [](const StoredSettings& v) {
         return QString(n(v.curveAgc));
     }},
    {"Settings/OneDegreSteps", "9.6", "8.4",
     [](const StoredSettings& v) {
         return QString(n(v.options.oneDegreSteps));
     }},
    {"Settings/MaxTimeOfPositioning", "1000", "1500",
     [](const StoredSettings& v) {
         return QString(n(v.options.maxTimeOfPositioning));
     }},
    {"Settings/GAPTime", "200", "300",
     [](const StoredSettings& v) {
         return QString(n(v.options.gapTime));
     }},
    {"Settings/MaxAngle", "80", "70",
     [](const StoredSettings& v) {
         return QString(n(v.options.maxAngle));
     }},
    {"Settings/LocationLatitude", "45", "-33.9",
     [](const StoredSettings& v) {
         return QString(n(v.options.latitude));
     }},
    {"Settings/LocationLongitude", "42", "18.4",
     [](const StoredSettings& v) {
         return QString(n(v.options.longitude));
     }},
    {"Settings/MinElevation", "0", "7.5",
     [](const StoredSettings& v) {
         return QString(n(v.options.minElevation));
     }},
    {"Settings/DriveVersion", "0", "1",
     [](const StoredSettings& v) {
         return QString(n(v.options.driveVersion));
     }},
    {"Settings/DishDiameter", "0.8", "1.2",
     [](const StoredSettings& v) {
         return QString(n(v.options.dishDiameter));
     }},
    {"Settings/TuneMethod", "0", "1",
     [](const StoredSettings& v) {
         return QString(n(v.tuneMethod));
     }},
    {"Settings/ArcCalibration", "",
     "arc1;1;1;0.4,0,0,0;0.1,2,2,2;1;0,0,0.5,0;1;28.2:1:-15.2:11.9:2.1;",
     [](const StoredSettings& v) {
         return QString(v.arcCalibration);
     }},
    {"Settings/SignalLog", "", "/srv/log/dish.csv",
     [](const StoredSettings& v) {
         return QString(v.signalLog);
     }},
    {"Settings/TranspondersPath", "./Transponders/", "/srv/tp/",
     [](const StoredSettings& v) {
         return QString(v.transpondersPath);
     }},
    {"Settings/MotorPositions", "", "3\n-1\n",
     [](const StoredSettings& v) {
         return QString(v.motorPositions);
     }},
    {"Settings/FreqList", "", "None",
     [](const StoredSettings& v) {
         return QString(v.freqList.join(QLatin1Char(';')));
     }},
    {"Settings/CurrentPosition", "0", "12",
     [](const StoredSettings& v) {
         return QString(n(v.currentPosition));
     }},
    {"Settings/CurrentSat", "0", "3",
     [](const StoredSettings& v) {
         return QString(n(v.currentSat));
     }},
    {"Geometry/MainwindowMaximized", "0", "1",
     [](const StoredSettings& v) {
         return QString(n(v.maximized));
     }},
    {"Geometry/MainwindowX", "0", "-20",
     [](const StoredSettings& v) {
         return QString(n(v.x));
     }},
    {"Geometry/MainwindowY", "0", "40",
     [](const StoredSettings& v) {
         return QString(n(v.y));
     }},
    {"Geometry/MainwindowWidth", "439", "800",
     [](const StoredSettings& v) {
         return QString(n(v.width));
     }},
    {"Geometry/MainwindowHeight", "592", "700",
     [](const StoredSettings& v) {
         return QString(n(v.height));
     }},
};

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void emptyStoreGivesTheDefaults();
    void roundTripRestoresEveryKey();
    void booleansReadBackAsIntegers();
    void damagedValuesGiveDefaults();
    void storedPositions();
    void storedPositionsRejectNonNumbers();
    void freqListKeepsWhatStillHasASatellite();
    void listsAreWrittenAtOnce();
    void everyKeyIsWrittenUnderItsName();
    void aFileOfJunkHeals();
    void everyKeyIsReadFromItsName();
    void valuesOutOfRangeGiveDefaults_data();
    void valuesOutOfRangeGiveDefaults();
    void optionsAreReadWithinTheirBounds();
    void dataFilesAreFoundInOrder();

private:
    QTemporaryDir m_dir;
    QString file(const char* name) const { return m_dir.filePath(QLatin1String(name)); }
};

void TestSettings::emptyStoreGivesTheDefaults()
{
    QSettings s(file("empty.ini"), QSettings::IniFormat);
    const StoredSettings v = readSettings(s);
    QCOMPARE(v, StoredSettings());
    QCOMPARE(v.frequency, 11044);
    QCOMPARE(v.symbolRate, 39999);
    QCOMPARE(v.lof1, QStringLiteral("9750"));
    QCOMPARE(v.transpondersPath, QStringLiteral("./Transponders/"));
    QVERIFY(v.lnbPower && v.curveBer && v.curveSnr && v.curveAgc && !v.acoustic);
}

void TestSettings::roundTripRestoresEveryKey()
{
    StoredSettings v;
    v.layout = QStringLiteral("AAAA/wAAAAD9");
    v.frequency = 11977;
    v.symbolRate = 27500;
    v.polarization = 1;
    v.options.agcScaleMin = 10;
    v.options.agcScaleMax = 90;
    v.options.agcAutoScale = true;
    v.lnbPower = false;
    v.iout650mA = true;
    v.voutHigh = true;
    v.lnbType = 5;
    v.lof1 = QStringLiteral("9751");
    v.lof2 = QStringLiteral("10601");
    v.lofSwitch = QStringLiteral("11701");
    v.diseqc = 2;
    v.simplePosition = 1;
    v.multiOption = 3;
    v.options.acousticFreqMinHz = 60;
    v.options.acousticFreqMaxHz = 900;
    v.options.acousticVolume = 75;
    v.options.acousticScaleMin = 40;
    v.options.acousticScaleMax = 80;
    v.acoustic = true;
    v.curveBer = false;
    v.curveSnr = false;
    v.curveAgc = false;
    v.options.oneDegreSteps = 8.4;
    v.options.maxTimeOfPositioning = 1500;
    v.options.gapTime = 300;
    v.options.maxAngle = 70;
    v.options.latitude = -33.9;
    v.options.longitude = 18.4;
    v.options.driveVersion = 1;
    v.transpondersPath = QStringLiteral("/srv/tp/");
    v.motorPositions = QStringLiteral("3\n-1\n7\n");
    v.freqList = QStringList({"None", "11977,H,27500", "10719,V,27500"});
    v.currentPosition = 12;
    v.currentSat = 3;
    v.maximized = true;
    v.x = -20;
    v.y = 40;
    v.width = 800;
    v.height = 700;
    {
        QSettings s(file("trip.ini"), QSettings::IniFormat);
        writeSettings(s, v);
    }
    QSettings back(file("trip.ini"), QSettings::IniFormat);
    QCOMPARE(readSettings(back), v);
}

void TestSettings::booleansReadBackAsIntegers()
{
    {
        QSettings s(file("bools.ini"), QSettings::IniFormat);
        StoredSettings v;
        v.options.agcAutoScale = true;
        writeSettings(s, v);
    }
    QSettings s(file("bools.ini"), QSettings::IniFormat);
    QCOMPARE(s.value(QStringLiteral("Settings/Curves/AGCAutoScale")).toInt(), 1);
    QCOMPARE(s.value(QStringLiteral("Settings/Acoustic")).toInt(), 0);
    QCOMPARE(s.value(QStringLiteral("Settings/LNBPower")).toInt(), 1);
    QVERIFY(readSettings(s).options.agcAutoScale);
    s.setValue(QStringLiteral("Settings/Curves/AGCAutoScale"), 7);
    QVERIFY(readSettings(s).options.agcAutoScale);
    s.setValue(QStringLiteral("Settings/Curves/AGCAutoScale"), QStringLiteral("true"));
    QVERIFY(readSettings(s).options.agcAutoScale);
    s.setValue(QStringLiteral("Settings/Curves/AGCAutoScale"), QStringLiteral("True"));
    QVERIFY(readSettings(s).options.agcAutoScale);
    s.setValue(QStringLiteral("Settings/LNBPower"), QStringLiteral("FALSE"));
    QVERIFY(!readSettings(s).lnbPower);
    s.setValue(QStringLiteral("Settings/Curves/AGCAutoScale"), 0);
    QVERIFY(!readSettings(s).options.agcAutoScale);
}

void TestSettings::damagedValuesGiveDefaults()
{
    QFile f(file("damaged.ini"));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("[Settings]\nFreqency=eleven\nOneDegreSteps=many\nLNBPower=perhaps\nMaxAngle=\n");
    f.close();
    QSettings s(f.fileName(), QSettings::IniFormat);
    const StoredSettings v = readSettings(s);
    QCOMPARE(v.frequency, 11044);
    QCOMPARE(v.options.oneDegreSteps, 9.6);
    QVERIFY(v.lnbPower);
    QCOMPARE(v.options.maxAngle, 80);
}

void TestSettings::storedPositions()
{
    SatelliteList list;
    QCOMPARE(list.storedPositionsText(), QString(60, QChar()).replace(QChar(), "-1\n"));

    QString text;
    for (int i = 0; i < 59; ++i)
        text += QString::number(i % 5) + QLatin1Char('\n');
    list.parseStoredPositions(text);
    QCOMPARE(list.storedPositions.at(0), 0);
    QCOMPARE(list.storedPositions.at(58), 58 % 5);
    QCOMPARE(list.storedPositions.at(59), -1); // no 60th line

    SatelliteList round;
    round.parseStoredPositions(list.storedPositionsText());
    QCOMPARE(round.storedPositions, list.storedPositions);

    // Only the first 60 lines are used.
    QString long61 = text + QStringLiteral("7\n8\n9\n");
    SatelliteList more;
    more.parseStoredPositions(long61);
    QCOMPARE(more.storedPositions.at(59), 7);
    QCOMPARE(more.storedPositions.size(), 60);
}

void TestSettings::storedPositionsRejectNonNumbers()
{
    SatelliteList list;
    list.parseStoredPositions(QStringLiteral("4\nfour\n\n-7\n2"));
    QCOMPARE(list.storedPositions.mid(0, 6), QVector<int>({4, -1, -1, -1, 2, -1}));
}

void TestSettings::freqListKeepsWhatStillHasASatellite()
{
    // A satellite was added to the file since the list was saved.
    SatelliteList list;
    for (int i = 0; i < 13; ++i)
        list.addSatellite(i, QStringLiteral("Sat %1").arg(i), i, QStringLiteral("f"));
    QStringList twelve;
    for (int i = 0; i < 12; ++i)
        twelve.append(i % 2 ? QStringLiteral("None") : QStringLiteral("11977,H,%1").arg(i));
    QVERIFY(list.applySavedTransponders(twelve));
    QCOMPARE(list.lastTransponders.size(), 13);
    QCOMPARE(list.lastTransponders.at(0), QStringLiteral("11977,H,0"));
    QCOMPARE(list.lastTransponders.at(10), QStringLiteral("11977,H,10"));
    QCOMPARE(list.lastTransponders.at(11), QStringLiteral("None"));
    QCOMPARE(list.lastTransponders.at(12), QStringLiteral("None"));

    // One entry per satellite: taken whole.
    twelve.append(QStringLiteral("10719,V,27500"));
    QVERIFY(list.applySavedTransponders(twelve));
    QCOMPARE(list.lastTransponders, twelve);
    QVERIFY(!list.applySavedTransponders({}));

    // Satellites 1, 3 and 5 left the file (numbers 0, 2, 4): their entries go,
    // the others stay at their numbers, satellite 4 included.
    SatelliteList fewer;
    for (int n : {0, 2, 4})
        fewer.addSatellite(n, QStringLiteral("Sat %1").arg(n), n, QStringLiteral("f"));
    QVERIFY(fewer.applySavedTransponders({"a", "b", "c", "d", "e", "f"}));
    QCOMPARE(fewer.lastTransponderOf(4), QStringLiteral("e"));
    QCOMPARE(fewer.lastTransponderOf(2), QStringLiteral("c"));
    QCOMPARE(fewer.lastTransponderOf(1), QStringLiteral("None"));
    QCOMPARE(fewer.lastTransponderOf(5), QStringLiteral("None"));
    QVERIFY(fewer.setLastTransponder(4, QStringLiteral("11977,H,27500")));
    // The list as saved holds them at their numbers, and reads back whole.
    SatelliteList again;
    for (int n : {0, 2, 4})
        again.addSatellite(n, QStringLiteral("Sat %1").arg(n), n, QStringLiteral("f"));
    QVERIFY(again.applySavedTransponders(fewer.lastTransponders));
    QCOMPARE(again.lastTransponderOf(4), QStringLiteral("11977,H,27500"));
    QCOMPARE(again.lastTransponderOf(0), QStringLiteral("a"));

    // A number no real list reaches gets no entry (and no million "None"s).
    SatelliteList odd;
    odd.addSatellite(999999999, QStringLiteral("Odd"), 1, QStringLiteral("f"));
    QCOMPARE(odd.lastTransponders.size(), 1);
    QCOMPARE(odd.lastTransponderOf(999999999), QStringLiteral("None"));

    // No satellite list at all: nothing to apply, nothing taken.
    SatelliteList none;
    QVERIFY(!none.applySavedTransponders(twelve));
    QVERIFY(none.lastTransponders.isEmpty());
}

void TestSettings::listsAreWrittenAtOnce()
{
    QStandardPaths::setTestModeEnabled(true);
    const auto store = openSettings();
    store->clear();
    store->setValue(QStringLiteral("Settings/Freqency"), 12000);
    store->sync();

    QVERIFY(writeListsNow(QStringLiteral("5\n"), {QStringLiteral("None")}));
    QSettings reread(store->fileName(), QSettings::IniFormat);
    QCOMPARE(reread.value(settingskeys::MotorPositions).toString(), QStringLiteral("5\n"));
    QCOMPARE(reread.value(settingskeys::FreqList).toStringList(), QStringList({"None"}));
    // Other keys are left as they were.
    QCOMPARE(reread.value(QStringLiteral("Settings/Freqency")).toInt(), 12000);
    QVERIFY(!QFile::exists(store->fileName() + QStringLiteral(".lock")) ||
            QFile(store->fileName()).size() > 0);
}

void TestSettings::aFileOfJunkHeals()
{
    // Random bytes read as a few keys of garbage: writing over them works (and
    // says so), and leaves only the program's own keys.
    QRandomGenerator random(7);
    QByteArray junk;
    for (int i = 0; i < 4000; ++i)
        junk.append(char(random.bounded(256)));
    QFile damaged(file("junk.ini"));
    QVERIFY(damaged.open(QIODevice::WriteOnly));
    damaged.write(junk);
    damaged.close();
    {
        QSettings s(file("junk.ini"), QSettings::IniFormat);
        QVERIFY(!s.allKeys().isEmpty());
        writeSettings(s, StoredSettings());
        s.sync();
        QVERIFY(writtenOut(s));
    }
    QSettings clean(file("junk.ini"), QSettings::IniFormat);
    QCOMPARE(clean.allKeys().size(), int(sizeof(Keys) / sizeof(Keys[0])));
    QVERIFY(readSettings(clean) == StoredSettings());
    // A store that cannot be written at all is reported as such.
    QSettings folder(QFileInfo(file("junk.ini")).path(), QSettings::IniFormat);
    folder.setValue(QStringLiteral("Settings/X"), 1);
    folder.sync();
    QVERIFY(!writtenOut(folder));
}

void TestSettings::everyKeyIsWrittenUnderItsName()
{
    {
        QSettings s(file("written.ini"), QSettings::IniFormat);
        writeSettings(s, StoredSettings());
    }
    // As the file says it (QSettings in this process would hand back its own
    // cached values): booleans as 0 and 1, which another process reads.
    QFile onDisk(file("written.ini"));
    QVERIFY(onDisk.open(QIODevice::ReadOnly));
    const QByteArray text = onDisk.readAll();
    for (const char* line : {"\nLNBPower=1\n", "\nAcoustic=0\n", "\nCurves\\AGCAutoScale=0\n",
                             "\nMainwindowMaximized=0\n", "\nCurveBER=1\n"})
        QVERIFY2(text.contains(line), line);
    QVERIFY(!text.contains("true") && !text.contains("false"));
    QSettings raw(file("written.ini"), QSettings::IniFormat);
    QStringList expected;
    for (const Key& key : Keys)
        expected.append(QLatin1String(key.name));
    QStringList keys = raw.allKeys();
    keys.sort();
    expected.sort();
    QCOMPARE(keys, expected);
    for (const Key& key : Keys) {
        const QString name = QLatin1String(key.name);
        if (name == QLatin1String("Settings/FreqList"))
            QVERIFY(raw.value(name).toStringList().isEmpty());
        else
            QCOMPARE(raw.value(name).toString(), QString::fromLatin1(key.written));
    }
}

void TestSettings::everyKeyIsReadFromItsName()
{
    // One key at a time: its value must arrive in its own field, and nowhere
    // else (a misspelt name or two crossed keys show here).
    const StoredSettings defaults;
    for (const Key& key : Keys) {
        QFile::remove(file("one.ini"));
        QSettings s(file("one.ini"), QSettings::IniFormat);
        s.setValue(QLatin1String(key.name), QString::fromLatin1(key.other));
        const StoredSettings read = readSettings(s);
        QCOMPARE(key.field(read), QString::fromLatin1(key.other));
        for (const Key& other : Keys) {
            if (&other != &key)
                QVERIFY2(other.field(read) == other.field(defaults),
                         qPrintable(QStringLiteral("%1 changed %2").arg(key.name, other.name)));
        }
    }
    // And nothing read: the defaults as written down.
    for (const Key& key : Keys) {
        if (QByteArray(key.name) != "Settings/FreqList")
            QCOMPARE(key.field(defaults), QString::fromLatin1(key.written));
    }
}

void TestSettings::optionsAreReadWithinTheirBounds()
{
    // Every option: its bounds are read as written, one step beyond them is
    // damage and reads as the default.
    const optionvalues::Values defaults;
    for (const optionvalues::Key& key : optionvalues::keys()) {
        if (key.kind == optionvalues::Key::Kind::Flag)
            continue;
        const double step = key.kind == optionvalues::Key::Kind::Real ? 0.01 : 1;
        for (const auto& [written, expected] :
             {std::pair{key.readMinimum, key.readMinimum},
              {key.readMaximum, key.readMaximum},
              {key.readMinimum - step, optionvalues::valueOf(defaults, key)},
              {key.readMaximum + step, optionvalues::valueOf(defaults, key)}}) {
            QSettings s(file("bounds.ini"), QSettings::IniFormat);
            s.clear();
            s.setValue(optionvalues::storeKey(key), written);
            QVERIFY2(optionvalues::valueOf(readSettings(s).options, key) == expected,
                     qPrintable(QStringLiteral("%1=%2").arg(key.name).arg(written)));
        }
    }
}

void TestSettings::valuesOutOfRangeGiveDefaults_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    const char* rows[][2] = {
        {"Settings/OneDegreSteps", "nan"},
        {"Settings/OneDegreSteps", "inf"},
        {"Settings/OneDegreSteps", "1e308"},
        {"Settings/OneDegreSteps", "0"},
        {"Settings/OneDegreSteps", "-9.6"},
        {"Settings/LocationLatitude", "nan"},
        {"Settings/LocationLatitude", "91"},
        {"Settings/LocationLongitude", "-inf"},
        {"Settings/LocationLongitude", "1e308"},
        {"Settings/MaxAngle", "2147483647"},
        {"Settings/MaxAngle", "-1"},
        {"Settings/MaxAngle", "181"},
        {"Settings/MaxTimeOfPositioning", "0"},
        {"Settings/GAPTime", "-200"},
        {"Settings/AcousticFreqMaxHz", "2147483647"},
        {"Settings/AcousticFreqMinHz", "-1"},
        {"Settings/AcousticScaleMin", "-2147483648"},
        {"Settings/AcousticVolume", "101"},
        {"Settings/Freqency", "-11044"},
        {"Settings/Symbol-Rate", "2147483647"},
        {"Settings/Polarization", "2"},
        {"Settings/LNBType", "6"},
        {"Settings/Diseqc", "-1"},
        {"Settings/MultiOption", "4"},
        {"Settings/DriveVersion", "2"},
        {"Settings/DishDiameter", "0"},
        {"Settings/MinElevation", "-1"},
        // Oscillators the first tune would refuse at every start.
        {"Settings/LOF1", ""},
        {"Settings/LOF1", "123456"},
        {"Settings/LOF2", "abc"},
        {"Settings/LOF_SW", "-5"},
        {"Settings/MinElevation", "61"},
        {"Settings/DishDiameter", "inf"},
        {"Settings/TuneMethod", "-1"},
        {"Settings/Curves/AGCScaleMax", "2147483647"},
    };
    for (const auto& row : rows)
        QTest::addRow("%s=%s", row[0], row[1])
            << QString::fromLatin1(row[0]) << QString::fromLatin1(row[1]);
}

void TestSettings::valuesOutOfRangeGiveDefaults()
{
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFile::remove(file("range.ini"));
    QSettings s(file("range.ini"), QSettings::IniFormat);
    s.setValue(key, value);
    QVERIFY(readSettings(s) == StoredSettings());
}

void TestSettings::dataFilesAreFoundInOrder()
{
    const bool testMode = QStandardPaths::isTestModeEnabled();
    QStandardPaths::setTestModeEnabled(false);
    QTemporaryDir root;
    const QDir r(root.path());
    for (const char* folder : {"work", "home/zenara", "sys1/zenara", "sys2/zenara"})
        QVERIFY(r.mkpath(QLatin1String(folder)));
    qputenv("XDG_DATA_HOME", QFile::encodeName(r.filePath(QStringLiteral("home"))));
    qputenv("XDG_DATA_DIRS",
            QFile::encodeName(r.filePath(QStringLiteral("sys1")) + QLatin1Char(':') +
                              r.filePath(QStringLiteral("sys2"))));
    const QString previous = QDir::currentPath();
    QDir::setCurrent(r.filePath(QStringLiteral("work")));
    auto restore = qScopeGuard([&] {
        QDir::setCurrent(previous);
        qunsetenv("XDG_DATA_HOME");
        qunsetenv("XDG_DATA_DIRS");
        QStandardPaths::setTestModeEnabled(testMode);
    });
    auto put = [&r](const char* where) {
        QFile f(r.filePath(QLatin1String(where)));
        return f.open(QIODevice::WriteOnly) && f.write("0=42.0;T;t.ini\n") > 0;
    };

    QCOMPARE(findDataFile(QStringLiteral("satlist.znr")), QStringLiteral("satlist.znr"));
    QVERIFY(put("sys2/zenara/satlist.znr"));
    QCOMPARE(findDataFile(QStringLiteral("satlist.znr")), r.filePath("sys2/zenara/satlist.znr"));
    QVERIFY(put("sys1/zenara/satlist.znr"));
    QCOMPARE(findDataFile(QStringLiteral("satlist.znr")), r.filePath("sys1/zenara/satlist.znr"));
    // The user's folder is ~/.local/share/zenara (no organisation folder).
    QVERIFY(put("home/zenara/satlist.znr"));
    QCOMPARE(findDataFile(QStringLiteral("satlist.znr")), r.filePath("home/zenara/satlist.znr"));
    QVERIFY(put("work/satlist.znr"));
    QCOMPARE(findDataFile(QStringLiteral("satlist.znr")), QStringLiteral("satlist.znr"));
    QCOMPARE(dataFolders().mid(0, 3),
             QStringList({r.filePath("home/zenara"), r.filePath("sys1/zenara"),
                          r.filePath("sys2/zenara")}));
    // A relative transponders folder lies beside the list that was found.
    QCOMPARE(resolveTranspondersPath(QStringLiteral("./Transponders/"),
                                     r.filePath("home/zenara/satlist.znr")),
             r.filePath("home/zenara/Transponders/"));
}

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
