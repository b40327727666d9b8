#include "forms/remotecontrol.h"

#include "app/messages.h"
#include "forms/zenaraform.h"
#include "hw/cardlibrary.h"
#include "lists/satellitelist.h"
#include "lists/sitegeometry.h"
#include "monitor/statuspoll.h"
#include "settings/optionvalues.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTimer>
#include <qwt_plot_marker.h>

#include <cmath>

const char* const RemoteControl::ShuttingDown = "Zenara is shutting down";

RemoteControl::RemoteControl(zenaraForm& window) : QObject(&window), m_window(window)
{
    // Every change a waiting request may be waiting for.
    connect(&window, &zenaraForm::polled, this, &RemoteControl::checkWaits);
    connect(&window, &zenaraForm::motionChanged, this, &RemoteControl::checkWaits);
    connect(&window, &zenaraForm::closing, this, &RemoteControl::shutDown);
}

QByteArray RemoteControl::request(const QString& command, const QStringList& args)
{
    return remote::encode(command, args);
}

QByteArray RemoteControl::encode(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QByteArray RemoteControl::failure(const QString& text)
{
    return encode(QJsonObject{{QStringLiteral("error"), text}});
}

void RemoteControl::handle(const QByteArray& request, const Reply& reply)
{
    if (m_shutDown) {
        reply(failure(QLatin1String(ShuttingDown)));
        return;
    }
    const remote::Request r = remote::parse(request);
    if (!r.error.isEmpty()) {
        reply(failure(r.error));
        return;
    }
    // A box the command would show is the reply's error instead.
    const messages::Hook previous = messages::hook();
    QString warning;
    messages::setHook([&warning](QMessageBox::Icon, const QString&, const QString& text) {
        if (warning.isEmpty())
            warning = text;
    });
    const int saves = m_window.saveAttempts();
    Outcome outcome = run(r);
    messages::setHook(previous);
    if (m_shutDown) // a drive under way when the window closed
        outcome.error = QLatin1String(ShuttingDown);
    if (outcome.error.isEmpty() && !warning.isEmpty())
        outcome.error = warning;
    // Done, but not kept: the reply says so, as the status bar does.
    if (outcome.error.isEmpty() && m_window.saveAttempts() != saves &&
        !m_window.lastSaveError().isEmpty())
        outcome.error = m_window.lastSaveError();
    if (!outcome.error.isEmpty())
        reply(failure(outcome.error));
    else if (outcome.then == Then::Reply)
        reply(encode(outcome.reply));
    else
        startWait(outcome, reply);
}

void RemoteControl::startWait(const Outcome& outcome, const Reply& reply)
{
    Wait wait{outcome.then, QDeadlineTimer(QDeadlineTimer::Forever), reply};
    if (outcome.then == Then::Lock) {
        wait.deadline = QDeadlineTimer(qint64(std::ceil(outcome.seconds * 1000)));
        QTimer::singleShot(int(wait.deadline.remainingTime()), this, &RemoteControl::checkWaits);
    } else {
        const qint64 left =
            m_window.dishPositioner()->motion().remainingMs(hw::CardLayer::clock().nowMs());
        if (left >= 0 && left < 24 * 3600 * 1000)
            QTimer::singleShot(int(left) + 1, this, &RemoteControl::checkWaits);
    }
    if (waitIsOver(wait)) {
        reply(encode(status()));
        return;
    }
    m_waits.append(wait);
}

bool RemoteControl::waitIsOver(const Wait& wait) const
{
    if (wait.kind == Then::Lock)
        return m_window.m_lastReading.locked || wait.deadline.hasExpired();
    // Until the program reckons the dish has arrived, or a Halt stopped it.
    return !m_window.dishPositioner()->motion().moving(hw::CardLayer::clock().nowMs());
}

void RemoteControl::checkWaits()
{
    // A reply may lead to another request being handled: go through a copy.
    const QList<Wait> waits = std::exchange(m_waits, {});
    for (const Wait& wait : waits) {
        if (waitIsOver(wait))
            wait.reply(encode(status()));
        else
            m_waits.append(wait);
    }
}

void RemoteControl::shutDown()
{
    m_shutDown = true;
    const QList<Wait> waits = std::exchange(m_waits, {});
    for (const Wait& wait : waits)
        wait.reply(failure(QLatin1String(ShuttingDown)));
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
        // From the same flags as "LCK" above.
        {QStringLiteral("locked"), r.flagsValid && (r.flags & StatusPoll::LockFlag)},
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
        {QStringLiteral("network"), network()},
        {QStringLiteral("receiver"),
         hw::CardLayer::backend() ? hw::CardLayer::backend()->description() : QString()},
        {QStringLiteral("waiting"), m_waits.size()}, // requests waiting for a motor or a lock
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

QJsonValue RemoteControl::network() const
{
    const zenaraForm& w = m_window;
    if (w.m_networkState != zenaraForm::NetworkState::Found)
        return QJsonValue();
    const hw::NetworkInfo& n = w.m_network;
    return QJsonObject{
        {QStringLiteral("name"), n.name},
        {QStringLiteral("id"), int(n.networkId)},
        {QStringLiteral("providers"), QJsonArray::fromStringList(n.providers)},
        {QStringLiteral("orbital_position"),
         std::isfinite(n.orbitalPosition) ? QJsonValue(n.orbitalPosition) : QJsonValue()},
        {QStringLiteral("matches"), w.m_networkVerdict == networkcheck::Verdict::Unknown
                                        ? QJsonValue()
                                        : QJsonValue(w.m_networkVerdict ==
                                                     networkcheck::Verdict::Match)}};
}

RemoteControl::Outcome RemoteControl::run(const remote::Request& r)
{
    zenaraForm& w = m_window;
    const QString& command = r.command;
    const QJsonObject ok{{QStringLiteral("ok"), true}};
    if (command == QLatin1String("status"))
        return {status()};
    if (command == QLatin1String("tune")) {
        w.lineEditFreq->setText(r.args.at(0));
        (r.args.at(1) == QLatin1String("V") ? w.radioButtonVert : w.radioButtonHorz)
            ->setChecked(true);
        w.lineEditSmbRate->setText(r.args.at(2));
        w.buttonSet_clicked();
        return {ok};
    }
    if (command == QLatin1String("wait-lock"))
        return {QJsonObject(), QString(), Then::Lock, r.value};
    if (command == QLatin1String("markers")) {
        QJsonArray list;
        for (const QwtPlotMarker* m : w.history().plotMarkers())
            list.append(QJsonObject{{QStringLiteral("label"), m->label().text()},
                                    {QStringLiteral("age_seconds"), m->xValue()}});
        return {QJsonObject{{QStringLiteral("markers"), list}}};
    }
    if (command == QLatin1String("get") || command == QLatin1String("set"))
        return runSetting(r);
    if (command == QLatin1String("satellite") || command == QLatin1String("transponder") ||
        command == QLatin1String("set-position") || command == QLatin1String("unset-position"))
        return runSelection(r);
    return runMotion(r);
}

RemoteControl::Outcome RemoteControl::runSelection(const remote::Request& r)
{
    zenaraForm& w = m_window;
    const QJsonObject ok{{QStringLiteral("ok"), true}};
    if (r.command == QLatin1String("satellite")) {
        const SatelliteList& list = *w.satelliteList;
        for (int row = 1; row < list.shownNumbers.size(); ++row) {
            const int at = list.numbers.indexOf(list.shownNumbers.at(row));
            if (at >= 0 && std::abs(list.orbitalPositions.at(at) - r.degrees) < 0.05) {
                w.satListToolbarComboBox->setCurrentIndex(row);
                w.satListToolbarComboBox_activated(row);
                return {ok};
            }
        }
        return {{},
                QStringLiteral("no satellite at %1 in the list, or not visible from the site")
                    .arg(r.args.at(0))};
    }
    if (r.command == QLatin1String("transponder")) {
        const QString prefix = QString::number(r.number) + QLatin1Char(',');
        for (int i = 1; i < w.freqListComboBox->count(); ++i) {
            if (w.freqListComboBox->itemText(i).startsWith(prefix)) {
                w.freqListComboBox->setCurrentIndex(i);
                w.freqListComboBox_activated(i);
                return {ok};
            }
        }
        return {{}, QStringLiteral("no transponder %1 in the list").arg(r.number)};
    }
    const bool set = r.command == QLatin1String("set-position");
    if (w.satlistComboBox->currentIndex() <= 0)
        return {{}, QStringLiteral("no satellite selected")};
    if (!w.posSetButton->isEnabled())
        return {{},
                QStringLiteral("position %1 cannot hold a satellite")
                    .arg(w.positionsSpinBox->value())};
    const bool isSet = w.posSetButton->text() == zenaraForm::tr("UnSet");
    if (set == isSet)
        return {{},
                set ? QStringLiteral("already set at this position")
                    : QStringLiteral("not set at this position")};
    w.posSetButton_clicked();
    return {ok};
}

RemoteControl::Outcome RemoteControl::runMotion(const remote::Request& r)
{
    zenaraForm& w = m_window;
    const QString& command = r.command;
    const QJsonObject ok{{QStringLiteral("ok"), true}};
    // A goto replies when the dish should have arrived.
    const Outcome arrival{QJsonObject(), QString(), Then::Motor};
    if (command == QLatin1String("go")) {
        w.goToolButton_clicked();
        return arrival;
    }
    if (command == QLatin1String("usals")) {
        w.gotoXYButton_clicked();
        return arrival;
    }
    if (command == QLatin1String("goto") || command == QLatin1String("store")) {
        w.positionsSpinBox->setValue(r.number);
        if (command == QLatin1String("store")) {
            w.storeButton_clicked();
            return {ok};
        }
        w.gotoButton_clicked();
        return arrival;
    }
    if (command == QLatin1String("halt")) {
        w.haltMotorButton_clicked();
        return {ok};
    }
    if (command == QLatin1String("limit")) {
        if (r.args.at(0) == QLatin1String("east"))
            w.limitEButton_clicked();
        else if (r.args.at(0) == QLatin1String("west"))
            w.LimitWButton_clicked();
        else
            w.limitOffButton_clicked();
        return {ok};
    }
    if (command == QLatin1String("raw")) {
        QLineEdit* fields[6] = {w.raw0, w.raw1, w.raw2, w.raw3, w.raw4, w.raw5};
        for (int i = 0; i < 6; ++i)
            fields[i]->setText(r.args.value(i));
        w.sendButton_clicked();
        return {ok};
    }
    if (command == QLatin1String("autotune")) {
        if (r.number >= 0)
            w.stepTuningSpinBox->setValue(r.number);
        w.tuneButton_clicked(); // returns when the climb is over
        return {status()};
    }
    return runDrive(r);
}

RemoteControl::Outcome RemoteControl::runDrive(const remote::Request& r)
{
    zenaraForm& w = m_window;
    const int mode = r.driveMode;
    const double amount = r.value;
    w.typeStepComboBox->setCurrentIndex(mode);
    w.typeStepComboBox_activated(mode);
    // Checked against the box's range before the conversion to int.
    const int whole = amount <= double(w.tuningSpinBox->maximum()) + 0.05
                          ? int(std::floor(amount + 1e-9))
                          : w.tuningSpinBox->maximum() + 1;
    const int tenths = int(std::lround((amount - whole) * 10)) % 10;
    if (whole < w.tuningSpinBox->minimum() || whole > w.tuningSpinBox->maximum() ||
        (mode < 2 && tenths != 0))
        return {{},
                QStringLiteral("%1 is outside %2..%3 for this mode")
                    .arg(amount)
                    .arg(w.tuningSpinBox->minimum())
                    .arg(w.tuningSpinBox->maximum())};
    w.tuningSpinBox->setValue(whole);
    w.decimalSpinBox->setValue(tenths);
    (r.east ? w.eastButton : w.westButton)->click(); // a drive returns when it is over
    if (mode == 3)
        return {QJsonObject(), QString(), Then::Motor}; // a goto: when it should have arrived
    return {status()};
}

RemoteControl::Outcome RemoteControl::runSetting(const remote::Request& r)
{
    zenaraForm& w = m_window;
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
    else if (name == QLatin1String("MinElevation"))
        real = &w.minElevation;
    else if (name == QLatin1String("DishDiameter"))
        real = &w.dishDiameter;
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
        return {{}, QStringLiteral("no such setting \"%1\"").arg(name)};
    if (r.command == QLatin1String("set")) {
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
            w.setOptionValues(before);
            return {{}, problem};
        }
        w.applyOptions();
        w.saveSettingsNow();
    }
    const QJsonValue value = real    ? QJsonValue(*real)
                             : whole ? QJsonValue(*whole)
                                     : QJsonValue(*flag);
    return {QJsonObject{{QStringLiteral("key"), QStringLiteral("Settings/") + name},
                        {QStringLiteral("value"), value}}};
}
