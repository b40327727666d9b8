#include "forms/remotecontrol.h"

#include "app/messages.h"
#include "forms/zenaraform.h"
#include "hw/cardlibrary.h"
#include "lists/satellitelist.h"
#include "lists/sitegeometry.h"
#include "monitor/statuspoll.h"
#include "settings/optionvalues.h"

#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTimer>
#include <qwt_plot_marker.h>

#include <cmath>

namespace {

QJsonObject failure(const QString& text)
{
    return QJsonObject{{QStringLiteral("error"), text}};
}

} // namespace

QByteArray RemoteControl::request(const QString& command, const QStringList& args)
{
    return remote::encode(command, args);
}

QByteArray RemoteControl::handle(const QByteArray& request)
{
    const remote::Request r = remote::parse(request);
    QJsonObject reply;
    if (!r.error.isEmpty()) {
        reply = failure(r.error);
    } else {
        // A box the command would show is the reply's error instead.
        const messages::Hook previous = messages::hook();
        QString warning;
        messages::setHook([&warning](QMessageBox::Icon, const QString&, const QString& text) {
            if (warning.isEmpty())
                warning = text;
        });
        QString error;
        reply = run(r, &error);
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
        {QStringLiteral("cn_db"),
         w.m_margin.valid ? QJsonValue(std::round(w.m_margin.cnDb * 10) / 10) : QJsonValue()},
        {QStringLiteral("margin_db"), w.m_margin.marginValid
                                          ? QJsonValue(std::round(w.m_margin.marginDb * 10) / 10)
                                          : QJsonValue()},
        {QStringLiteral("ucb"), w.statusPoll() ? w.statusPoll()->ucbTotal : 0.0},
        {QStringLiteral("satellite"), w.satlistComboBox->currentText()},
        {QStringLiteral("position_button"), w.posSetButton->text()},
        {QStringLiteral("current_position"), w.currentPosition},
        {QStringLiteral("current_sat"), w.currentSat},
        {QStringLiteral("dish_angle"), std::isfinite(angle) ? QJsonValue(angle) : QJsonValue()},
        {QStringLiteral("moving"), motion.moving(now)},
        {QStringLiteral("time_left_ms"), double(motion.remainingMs(now))},
        {QStringLiteral("network"),
         w.m_networkState == zenaraForm::NetworkState::Found
             ? QJsonValue(QJsonObject{
                   {QStringLiteral("name"), w.m_network.name},
                   {QStringLiteral("id"), int(w.m_network.networkId)},
                   {QStringLiteral("providers"), QJsonArray::fromStringList(w.m_network.providers)},
                   {QStringLiteral("orbital_position"),
                    std::isfinite(w.m_network.orbitalPosition)
                        ? QJsonValue(w.m_network.orbitalPosition)
                        : QJsonValue()},
                   {QStringLiteral("matches"),
                    w.m_networkVerdict == networkcheck::Verdict::Unknown
                        ? QJsonValue()
                        : QJsonValue(w.m_networkVerdict == networkcheck::Verdict::Match)}})
             : QJsonValue()},
        {QStringLiteral("receiver"),
         hw::CardLayer::backend() ? hw::CardLayer::backend()->description() : QString()},
    };
    const double position = w.chosenPosition();
    if (std::isfinite(position)) {
        o.insert(QStringLiteral("orbital_position"), position);
        // Where to point for it from the configured site.
        const sitegeometry::Pointing p =
            sitegeometry::pointing(w.locationLatitude, w.locationLongitude, position);
        auto tenth = [](double v) {
            return std::round(v * 10) / 10;
        };
        o.insert(QStringLiteral("look_angles"),
                 QJsonObject{{QStringLiteral("azimuth"), tenth(p.azimuth)},
                             {QStringLiteral("elevation"), tenth(p.elevation)},
                             {QStringLiteral("skew"), tenth(p.skew)},
                             {QStringLiteral("motor_angle"), tenth(p.motorAngle)}});
    }
    return o;
}

QJsonObject RemoteControl::run(const remote::Request& r, QString* error)
{
    zenaraForm& w = m_window;
    auto fail = [error](const QString& text) {
        *error = text;
        return QJsonObject();
    };
    const QJsonObject ok{{QStringLiteral("ok"), true}};
    const QString& command = r.command;
    const QStringList& args = r.args;
    if (command == QLatin1String("status"))
        return status();
    if (command == QLatin1String("tune")) {
        w.lineEditFreq->setText(args.at(0));
        (args.at(1) == QLatin1String("V") ? w.radioButtonVert : w.radioButtonHorz)
            ->setChecked(true);
        w.lineEditSmbRate->setText(args.at(2));
        w.buttonSet_clicked();
        return ok;
    }
    if (command == QLatin1String("satellite")) {
        const SatelliteList& list = *w.satelliteList;
        for (int row = 1; row < list.shownNumbers.size(); ++row) {
            const int at = list.numbers.indexOf(list.shownNumbers.at(row));
            if (at >= 0 && std::abs(list.orbitalPositions.at(at) - r.degrees) < 0.05) {
                w.satListToolbarComboBox->setCurrentIndex(row);
                w.satListToolbarComboBox_activated(row);
                return ok;
            }
        }
        return fail(QStringLiteral("no satellite at %1 in the list, or not visible from the site")
                        .arg(args.at(0)));
    }
    if (command == QLatin1String("transponder")) {
        const QString prefix = QString::number(r.number) + QLatin1Char(',');
        for (int i = 1; i < w.freqListComboBox->count(); ++i) {
            if (w.freqListComboBox->itemText(i).startsWith(prefix)) {
                w.freqListComboBox->setCurrentIndex(i);
                w.freqListComboBox_activated(i);
                return ok;
            }
        }
        return fail(QStringLiteral("no transponder %1 in the list").arg(r.number));
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
        w.positionsSpinBox->setValue(r.number);
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
        if (args.at(0) == QLatin1String("east"))
            w.limitEButton_clicked();
        else if (args.at(0) == QLatin1String("west"))
            w.LimitWButton_clicked();
        else
            w.limitOffButton_clicked();
        return ok;
    }
    if (command == QLatin1String("raw")) {
        QLineEdit* fields[6] = {w.raw0, w.raw1, w.raw2, w.raw3, w.raw4, w.raw5};
        for (int i = 0; i < 6; ++i)
            fields[i]->setText(args.value(i));
        w.sendButton_clicked();
        return ok;
    }
    if (command == QLatin1String("drive") || command == QLatin1String("drive-to")) {
        const int mode = r.driveMode;
        const double amount = r.value;
        w.typeStepComboBox->setCurrentIndex(mode);
        w.typeStepComboBox_activated(mode);
        // Checked against the box's range before the conversion to int.
        if (!(amount <= double(w.tuningSpinBox->maximum()) + 0.05))
            return fail(QStringLiteral("%1 is outside %2..%3 for this mode")
                            .arg(amount)
                            .arg(w.tuningSpinBox->minimum())
                            .arg(w.tuningSpinBox->maximum()));
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
        (r.east ? w.eastButton : w.westButton)->click();
        if (mode == 3)
            waitForMotor();
        return status();
    }
    if (command == QLatin1String("autotune")) {
        if (r.number >= 0)
            w.stepTuningSpinBox->setValue(r.number);
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
        QElapsedTimer timer;
        timer.start();
        while (!w.m_lastReading.locked && timer.elapsed() < qint64(r.value * 1000))
            waitMs(50);
        return status();
    }
    // get and set: the keys the options dialog edits.
    double* real = nullptr;
    int* whole = nullptr;
    bool* flag = nullptr;
    const QString& name = r.key;
    if (name == QLatin1String("LocationLongitude"))
        real = &w.locationLongitude;
    else if (name == QLatin1String("LocationLatitude"))
        real = &w.locationLatitude;
    else if (name == QLatin1String("OneDegreSteps"))
        real = &w.oneDegreSteps;
    else if (name == QLatin1String("Curves/AGCAutoScale"))
        flag = &w.agcAutoScale;
    else {
        int* const wholes[] = {&w.agcScaleMin,          &w.agcScaleMax,       &w.driveVersion,
                               &w.maxTimeOfPositioning, &w.gapTime,           &w.maxAngle,
                               &w.acousticFreqMinHz,    &w.acousticFreqMaxHz, &w.acousticVolume,
                               &w.acousticScaleMin,     &w.acousticScaleMax};
        static const char* const names[] = {"Curves/AGCScaleMin",
                                            "Curves/AGCScaleMax",
                                            "DriveVersion",
                                            "MaxTimeOfPositioning",
                                            "GAPTime",
                                            "MaxAngle",
                                            "AcousticFreqMinHz",
                                            "AcousticFreqMaxHz",
                                            "AcousticVolume",
                                            "AcousticScaleMin",
                                            "AcousticScaleMax"};
        for (int i = 0; i < int(sizeof(names) / sizeof(names[0])); ++i)
            if (name == QLatin1String(names[i]))
                whole = wholes[i];
    }
    if (!real && !whole && !flag)
        return fail(QStringLiteral("no such setting \"%1\"").arg(name));
    if (command == QLatin1String("set")) {
        const optionvalues::Values before = w.optionValues();
        if (real)
            *real = r.value;
        else if (whole)
            *whole = int(r.value);
        else
            *flag = r.value != 0;
        // As the dialog does: refused when it cannot be kept, else applied.
        const QString problem = optionvalues::problem(w.optionValues());
        if (!problem.isEmpty()) {
            if (real)
                *real = name == QLatin1String("OneDegreSteps")      ? before.oneDegreSteps
                        : name == QLatin1String("LocationLatitude") ? before.latitude
                                                                    : before.longitude;
            return fail(problem);
        }
        w.applyOptions();
    }
    const QJsonValue value = real    ? QJsonValue(*real)
                             : whole ? QJsonValue(*whole)
                                     : QJsonValue(*flag);
    return QJsonObject{{QStringLiteral("key"), QStringLiteral("Settings/") + name},
                       {QStringLiteral("value"), value}};
}
