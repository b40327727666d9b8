#include "forms/remotecontrol.h"

#include "app/messages.h"
#include "forms/zenaraform.h"
#include "hw/cardlibrary.h"
#include "lists/satellitelist.h"
#include "monitor/statuspoll.h"
#include "settings/optionvalues.h"

#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QTimer>
#include <qwt_plot_marker.h>

#include <cmath>

namespace {

QJsonObject failure(const QString& text)
{
    return QJsonObject{{QStringLiteral("error"), text}};
}

// "13.0E" or "5.0W" as degrees east; false when it is not a position.
bool parsePosition(const QString& text, double* degrees)
{
    static const QRegularExpression pattern(QStringLiteral("^(\\d{1,3}(?:\\.\\d+)?)([EW])$"),
                                            QRegularExpression::CaseInsensitiveOption);
    const auto m = pattern.match(text.trimmed());
    if (!m.hasMatch())
        return false;
    const double value = m.captured(1).toDouble();
    *degrees = m.captured(2).compare(QLatin1String("W"), Qt::CaseInsensitive) == 0 ? -value : value;
    return value <= 180;
}

bool wholeNumber(const QString& text, int low, int high, int* value)
{
    bool ok = false;
    *value = text.toInt(&ok);
    return ok && *value >= low && *value <= high;
}

} // namespace

QByteArray RemoteControl::request(const QString& command, const QStringList& args)
{
    QJsonObject object{{QStringLiteral("command"), command},
                       {QStringLiteral("args"), QJsonArray::fromStringList(args)}};
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QByteArray RemoteControl::handle(const QByteArray& request)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(request, &parseError);
    QJsonObject reply;
    if (parseError.error != QJsonParseError::NoError || !document.isObject()) {
        reply = failure(QStringLiteral("the request is not a JSON object"));
    } else {
        const QJsonObject object = document.object();
        const QString command = object.value(QStringLiteral("command")).toString();
        QStringList args;
        for (const QJsonValue& v : object.value(QStringLiteral("args")).toArray())
            args.append(v.toString());
        // A box the command would show is the reply's error instead.
        const messages::Hook previous = messages::hook();
        QString warning;
        messages::setHook([&warning](QMessageBox::Icon, const QString&, const QString& text) {
            if (warning.isEmpty())
                warning = text;
        });
        QString error;
        reply = run(command, args, &error);
        messages::setHook(previous);
        if (!error.isEmpty())
            reply = failure(error);
        else if (!warning.isEmpty())
            reply = failure(warning);
    }
    return QJsonDocument(reply).toJson(QJsonDocument::Compact);
}

void RemoteControl::waitMs(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void RemoteControl::waitForMotor()
{
    // Until the program reckons the dish has arrived, or Halt.
    positioner::Positioner& p = *m_window.dishPositioner();
    p.haltRequested = false;
    while (p.motion().moving(hw::CardLayer::clock().nowMs()) && !p.haltRequested)
        waitMs(50);
}

QJsonObject RemoteControl::status() const
{
    zenaraForm& w = m_window;
    const PollReading& r = w.m_lastReading;
    static const char* const flagNames[7] = {"SIG", "CAR", "VIT", "SYN", "LCK", "TIM", "RNT"};
    QJsonObject flags;
    for (int bit = 0; bit < 7; ++bit)
        flags.insert(QLatin1String(flagNames[bit]), r.flagsValid && (r.flags & (1 << bit)));
    const qint64 now = hw::CardLayer::clock().nowMs();
    const auto& motion = w.dishPositioner()->motion();
    const double angle = motion.angle(now);
    QJsonObject o{
        {QStringLiteral("frequency"), w.frequency},
        {QStringLiteral("polarisation"),
         w.polarization == 1 ? QStringLiteral("V") : QStringLiteral("H")},
        {QStringLiteral("symbol_rate"), w.symbolRate},
        {QStringLiteral("fec"), w.lineEditFEC->text()},
        {QStringLiteral("flags"), flags},
        {QStringLiteral("locked"), r.locked},
        {QStringLiteral("agc"), r.agcValid ? QJsonValue(r.agcPercent) : QJsonValue()},
        {QStringLiteral("snr"), r.snrValid ? QJsonValue(r.snrPercent) : QJsonValue()},
        {QStringLiteral("ber"), r.berValid ? QJsonValue(r.ber) : QJsonValue()},
        {QStringLiteral("ucb"), w.statusPoll() ? w.statusPoll()->ucbTotal : 0.0},
        {QStringLiteral("satellite"), w.satlistComboBox->currentText()},
        {QStringLiteral("position_button"), w.posSetButton->text()},
        {QStringLiteral("current_position"), w.currentPosition},
        {QStringLiteral("current_sat"), w.currentSat},
        {QStringLiteral("dish_angle"), std::isfinite(angle) ? QJsonValue(angle) : QJsonValue()},
        {QStringLiteral("moving"), motion.moving(now)},
        {QStringLiteral("time_left_ms"), double(motion.remainingMs(now))},
        {QStringLiteral("receiver"),
         hw::CardLayer::backend() ? hw::CardLayer::backend()->description() : QString()},
    };
    const int index = w.satlistComboBox->currentIndex();
    if (index > 0 && index < w.satelliteList->shownNumbers.size()) {
        const int at = w.satelliteList->numbers.indexOf(w.satelliteList->shownNumbers.at(index));
        if (at >= 0)
            o.insert(QStringLiteral("orbital_position"), w.satelliteList->orbitalPositions.at(at));
    }
    return o;
}

QJsonObject RemoteControl::run(const QString& command, const QStringList& args, QString* error)
{
    zenaraForm& w = m_window;
    auto fail = [error](const QString& text) {
        *error = text;
        return QJsonObject();
    };
    const QJsonObject ok{{QStringLiteral("ok"), true}};
    int n = 0;
    if (command == QLatin1String("status"))
        return status();
    if (command == QLatin1String("tune")) {
        if (args.size() != 3 ||
            (args.at(1) != QLatin1String("V") && args.at(1) != QLatin1String("H")))
            return fail(QStringLiteral("tune takes FREQ V|H SR, such as: tune 11977 H 27500"));
        w.lineEditFreq->setText(args.at(0));
        (args.at(1) == QLatin1String("V") ? w.radioButtonVert : w.radioButtonHorz)
            ->setChecked(true);
        w.lineEditSmbRate->setText(args.at(2));
        w.buttonSet_clicked();
        return ok;
    }
    if (command == QLatin1String("satellite")) {
        double position = 0;
        if (args.size() != 1 || !parsePosition(args.at(0), &position))
            return fail(QStringLiteral("satellite takes a position such as 13.0E or 5.0W"));
        const SatelliteList& list = *w.satelliteList;
        for (int row = 1; row < list.shownNumbers.size(); ++row) {
            const int at = list.numbers.indexOf(list.shownNumbers.at(row));
            if (at >= 0 && std::abs(list.orbitalPositions.at(at) - position) < 0.05) {
                w.satListToolbarComboBox->setCurrentIndex(row);
                w.satListToolbarComboBox_activated(row);
                return ok;
            }
        }
        return fail(QStringLiteral("no satellite at %1 in the list, or not visible from the site")
                        .arg(args.at(0)));
    }
    if (command == QLatin1String("transponder")) {
        if (args.size() != 1 || !wholeNumber(args.at(0), 1, 99999, &n))
            return fail(QStringLiteral("transponder takes a frequency in MHz"));
        for (int i = 1; i < w.freqListComboBox->count(); ++i) {
            if (w.freqListComboBox->itemText(i).startsWith(args.at(0) + QLatin1Char(','))) {
                w.freqListComboBox->setCurrentIndex(i);
                w.freqListComboBox_activated(i);
                return ok;
            }
        }
        return fail(QStringLiteral("no transponder %1 in the list").arg(args.at(0)));
    }
    if (command == QLatin1String("go") || command == QLatin1String("usals")) {
        if (command == QLatin1String("go"))
            w.goToolButton_clicked();
        else
            w.gotoXYButton_clicked();
        waitForMotor();
        return status();
    }
    if (command == QLatin1String("goto") || command == QLatin1String("store")) {
        if (args.size() != 1 || !wholeNumber(args.at(0), 0, 60, &n))
            return fail(QStringLiteral("%1 takes a position 0..60").arg(command));
        w.positionsSpinBox->setValue(n);
        if (command == QLatin1String("store")) {
            w.storeButton_clicked();
            return ok;
        }
        w.gotoButton_clicked();
        waitForMotor();
        return status();
    }
    if (command == QLatin1String("set-position") || command == QLatin1String("unset-position")) {
        const bool set = command == QLatin1String("set-position");
        if (w.satlistComboBox->currentIndex() <= 0)
            return fail(QStringLiteral("no satellite selected"));
        if (!w.posSetButton->isEnabled())
            return fail(QStringLiteral("position %1 cannot hold a satellite")
                            .arg(w.positionsSpinBox->value()));
        const bool isSet = w.posSetButton->text() == zenaraForm::tr("UnSet");
        if (set == isSet)
            return fail(set ? QStringLiteral("already set at this position")
                            : QStringLiteral("not set at this position"));
        w.posSetButton_clicked();
        return ok;
    }
    if (command == QLatin1String("halt")) {
        w.haltMotorButton_clicked();
        return ok;
    }
    if (command == QLatin1String("limit")) {
        const QString side = args.value(0);
        if (args.size() != 1)
            return fail(QStringLiteral("limit takes east, west or off"));
        if (side == QLatin1String("east"))
            w.limitEButton_clicked();
        else if (side == QLatin1String("west"))
            w.LimitWButton_clicked();
        else if (side == QLatin1String("off"))
            w.limitOffButton_clicked();
        else
            return fail(QStringLiteral("limit takes east, west or off"));
        return ok;
    }
    if (command == QLatin1String("raw")) {
        if (args.size() < 3 || args.size() > 6)
            return fail(QStringLiteral("raw takes 3 to 6 hexadecimal bytes"));
        QLineEdit* fields[6] = {w.raw0, w.raw1, w.raw2, w.raw3, w.raw4, w.raw5};
        for (int i = 0; i < 6; ++i)
            fields[i]->setText(args.value(i));
        w.sendButton_clicked();
        return ok;
    }
    if (command == QLatin1String("drive") || command == QLatin1String("drive-to")) {
        static const QStringList units = {QStringLiteral("steps"), QStringLiteral("seconds"),
                                          QStringLiteral("degrees")};
        int mode = 0;
        bool east = true;
        double amount = 0;
        bool parsed = false;
        if (command == QLatin1String("drive") && args.size() == 3 &&
            (args.at(0) == QLatin1String("east") || args.at(0) == QLatin1String("west")) &&
            units.contains(args.at(2))) {
            mode = units.indexOf(args.at(2));
            east = args.at(0) == QLatin1String("east");
            amount = args.at(1).toDouble(&parsed);
        } else if (command == QLatin1String("drive-to") && args.size() == 1) {
            double position = 0;
            parsed = parsePosition(args.at(0), &position);
            mode = 3;
            east = position >= 0;
            amount = std::abs(position);
        }
        if (!parsed || !std::isfinite(amount) || amount < 0)
            return fail(command == QLatin1String("drive")
                            ? QStringLiteral("drive takes east|west AMOUNT steps|seconds|degrees")
                            : QStringLiteral("drive-to takes an angle such as 12.3E"));
        w.typeStepComboBox->setCurrentIndex(mode);
        w.typeStepComboBox_activated(mode);
        const int whole = int(std::floor(amount + 1e-9));
        const int tenths = int(std::lround((amount - whole) * 10)) % 10;
        if (whole < w.tuningSpinBox->minimum() || whole > w.tuningSpinBox->maximum() ||
            (mode < 2 && tenths != 0))
            return fail(QStringLiteral("%1 is outside %2..%3 for this mode")
                            .arg(amount)
                            .arg(w.tuningSpinBox->minimum())
                            .arg(w.tuningSpinBox->maximum()));
        w.tuningSpinBox->setValue(whole);
        w.decimalSpinBox->setValue(tenths);
        (east ? w.eastButton : w.westButton)->click();
        if (mode == 3)
            waitForMotor();
        return status();
    }
    if (command == QLatin1String("autotune")) {
        if (!args.isEmpty()) {
            if (!wholeNumber(args.at(0), 0, 10, &n))
                return fail(QStringLiteral("autotune takes a number of steps 0..10"));
            w.stepTuningSpinBox->setValue(n);
        }
        w.tuneButton_clicked();
        return status();
    }
    if (command == QLatin1String("markers")) {
        QJsonArray list;
        for (const QwtPlotMarker* m : w.history().plotMarkers())
            list.append(QJsonObject{{QStringLiteral("label"), m->label().text()},
                                    {QStringLiteral("age_seconds"), m->xValue()}});
        return QJsonObject{{QStringLiteral("markers"), list}};
    }
    if (command == QLatin1String("wait-lock")) {
        bool fine = false;
        const double seconds = args.value(0).toDouble(&fine);
        if (args.size() != 1 || !fine || !(seconds >= 0) || seconds > 3600)
            return fail(QStringLiteral("wait-lock takes a number of seconds up to 3600"));
        QElapsedTimer timer;
        timer.start();
        while (!w.m_lastReading.locked && timer.elapsed() < qint64(seconds * 1000))
            waitMs(50);
        return status();
    }
    if (command == QLatin1String("get") || command == QLatin1String("set")) {
        // The keys the options dialog edits, by their settings names.
        struct Key
        {
            const char* name;
            double* real;
            int* whole;
            bool* flag;
        };
        const Key keys[] = {
            {"LocationLongitude", &w.locationLongitude, nullptr, nullptr},
            {"LocationLatitude", &w.locationLatitude, nullptr, nullptr},
            {"Curves/AGCScaleMin", nullptr, &w.agcScaleMin, nullptr},
            {"Curves/AGCScaleMax", nullptr, &w.agcScaleMax, nullptr},
            {"Curves/AGCAutoScale", nullptr, nullptr, &w.agcAutoScale},
            {"DriveVersion", nullptr, &w.driveVersion, nullptr},
            {"OneDegreSteps", &w.oneDegreSteps, nullptr, nullptr},
            {"MaxTimeOfPositioning", nullptr, &w.maxTimeOfPositioning, nullptr},
            {"GAPTime", nullptr, &w.gapTime, nullptr},
            {"MaxAngle", nullptr, &w.maxAngle, nullptr},
            {"AcousticFreqMinHz", nullptr, &w.acousticFreqMinHz, nullptr},
            {"AcousticFreqMaxHz", nullptr, &w.acousticFreqMaxHz, nullptr},
            {"AcousticVolume", nullptr, &w.acousticVolume, nullptr},
            {"AcousticScaleMin", nullptr, &w.acousticScaleMin, nullptr},
            {"AcousticScaleMax", nullptr, &w.acousticScaleMax, nullptr},
        };
        const bool set = command == QLatin1String("set");
        if (args.size() != (set ? 2 : 1))
            return fail(QStringLiteral("%1 takes KEY%2")
                            .arg(command, set ? QStringLiteral(" VALUE") : QString()));
        QString name = args.at(0);
        name.remove(QRegularExpression(QStringLiteral("^Settings/")));
        const Key* key = nullptr;
        for (const Key& k : keys)
            if (name == QLatin1String(k.name))
                key = &k;
        if (!key)
            return fail(QStringLiteral("no such setting \"%1\"").arg(args.at(0)));
        if (set) {
            bool parsed = false;
            const double value = args.at(1).toDouble(&parsed);
            if (!parsed || !std::isfinite(value) || std::abs(value) > 1e6 ||
                ((key->whole || key->flag) && value != std::floor(value)))
                return fail(QStringLiteral("\"%1\" is not a value for %2").arg(args.at(1), name));
            const optionvalues::Values before = w.optionValues();
            if (key->real)
                *key->real = value;
            else if (key->whole)
                *key->whole = int(value);
            else
                *key->flag = value != 0;
            // As the dialog does: refused when it cannot be kept, else applied.
            const QString problem = optionvalues::problem(w.optionValues());
            if (!problem.isEmpty()) {
                if (key->real)
                    *key->real = name == QLatin1String("OneDegreSteps")      ? before.oneDegreSteps
                                 : name == QLatin1String("LocationLatitude") ? before.latitude
                                                                             : before.longitude;
                return fail(problem);
            }
            w.applyOptions();
        }
        const QJsonValue value = key->real    ? QJsonValue(*key->real)
                                 : key->whole ? QJsonValue(*key->whole)
                                              : QJsonValue(*key->flag);
        return QJsonObject{{QStringLiteral("key"), QStringLiteral("Settings/") + name},
                           {QStringLiteral("value"), value}};
    }
    return fail(QStringLiteral("unknown command \"%1\"").arg(command));
}
