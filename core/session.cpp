#include "core/session.h"

#include "core/arccalibrator.h"
#include "hw/demodulatoraccess.h"
#include "lists/satellitelist.h"
#include "lists/transponderlist.h"
#include "monitor/logging.h"
#include "positioner/commands.h"
#include "settings/datafiles.h"
#include "settings/logging.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QEventLoop>
#include <QTimer>
#include <QTimerEvent>

#include <cmath>
#include <limits>

namespace core {

namespace {

// The window's words: its translations hold them under its name.
QString windowTr(const char* text)
{
    return QCoreApplication::translate("zenaraForm", text);
}

constexpr quint8 SignalFlag = 0x01, CarrierFlag = 0x02;

} // namespace

Session::Session(QObject* parent) : QObject(parent)
{
    m_satellites = std::make_unique<SatelliteList>();
    m_calibrator = std::make_unique<ArcCalibrator>(*this);
    m_demodulator = std::make_unique<DemodulatorAccess>();
    m_tuner = std::make_unique<tuning::Tuner>(m_frontend, *m_demodulator, hw::CardLayer::clock());
    m_poll = std::make_unique<StatusPoll>(*m_demodulator, hw::CardLayer::clock(), m_flags);
    m_poll->lockedFormat = [this](hw::SignalFormat* format) {
        return m_frontend.GetLockedFormat(format);
    };
    m_poll->retune = [this] {
        tune(false);
    };
    createPositioner();
}

Session::~Session()
{
    if (m_poll) // never closed: a test's session
        closeCard();
}

void Session::createPositioner()
{
    positioner::Positioner::Hooks hooks;
    hooks.send = [this](const QByteArray& m) {
        if (!m_demodulator) // closed: a repeat still due goes nowhere
            return -1;
        return m_demodulator->tda10086_send_master_cmd(
            reinterpret_cast<const unsigned char*>(m.constData()), m.size());
    };
    hooks.marker = [this](const QString& label) {
        addMarker(label);
    };
    hooks.warn = [this](const QString& text) {
        warn(text);
    };
    hooks.showRaw = [this](const QByteArray& m) {
        emit rawShown(positioner::rawFieldTexts(m));
    };
    hooks.processEvents = [] {
        // Sleeps until something happens (the poll, a click) or 20 ms pass,
        // rather than spinning through an empty event queue.
        QEventLoop loop;
        QTimer::singleShot(20, &loop, &QEventLoop::quit);
        loop.exec();
    };
    hooks.motionChanged = [this] {
        emit motionChanged();
    };
    hooks.later = [this](int ms, std::function<void()> run) {
        QTimer::singleShot(ms, this, [this, run = std::move(run)] {
            if (m_demodulator) // not after the card is closed
                run();
        });
    };
    m_positioner = std::make_unique<positioner::Positioner>(hw::CardLayer::clock(), hooks);
    m_positioner->haltRequested = false;
    m_positioner->diseqcRepeatCount = 3;
}

void Session::warn(const QString& text)
{
    if (m_commandDepth > 0) {
        if (m_commandWarning.isEmpty())
            m_commandWarning = text;
        return;
    }
    emit warning(text);
}

Result Session::run(const std::function<void()>& command)
{
    // A command run while another waits (a Halt during a drive) has warnings
    // of its own.
    const QString outer = std::exchange(m_commandWarning, QString());
    ++m_commandDepth;
    command();
    --m_commandDepth;
    return {std::exchange(m_commandWarning, outer)};
}

void Session::note(const Result& result)
{
    if (result.ok())
        return;
    if (!m_commandWarning.isEmpty())
        m_commandWarning += QLatin1Char('\n');
    m_commandWarning += result.warning;
}

bool Session::rowValid(int row) const
{
    return row > 0 && row < m_satellites->shownNumbers.size();
}

namespace systemchoice {
namespace {
const hw::Modulation Modulations[] = {hw::Modulation::Auto, hw::Modulation::Qpsk,
                                      hw::Modulation::Psk8, hw::Modulation::Apsk16,
                                      hw::Modulation::Apsk32};
}

QStringList texts()
{
    QStringList list{QStringLiteral("DVB-S")};
    for (hw::Modulation m : Modulations)
        list.append(QStringLiteral("DVB-S2 ") + hw::modcod::modulationName(m));
    for (QString& text : list)
        text = text.trimmed();
    return list;
}

int indexOf(const hw::SignalFormat& format)
{
    if (!format.isS2())
        return 0;
    for (int i = 0; i < int(std::size(Modulations)); ++i)
        if (Modulations[i] == format.modulation)
            return i + 1;
    return 1;
}

hw::SignalFormat apply(int index, hw::SignalFormat format)
{
    const bool s2 = index >= 1 && index <= int(std::size(Modulations));
    if (s2 != format.isS2()) {
        const hw::CodeRate rate = format.rate;
        format = hw::SignalFormat{};
        format.rate = rate;
    }
    if (s2) {
        format.system = hw::DeliverySystem::DvbS2;
        format.modulation = Modulations[index - 1];
    }
    return format;
}
} // namespace systemchoice

// ---- start-up and shutdown

StoredSettings Session::loadSettings()
{
    const auto settings = openSettings();
    const StoredSettings v = readSettings(*settings);
    m_frequency = v.frequency;
    m_symbolRate = v.symbolRate;
    m_polarization = v.polarization;
    m_tunedHorizontal = m_polarization != 1;
    m_entry = {
        QString::number(m_frequency), QString::number(m_symbolRate), m_polarization != 1, {}};
    m_options = v.options;
    m_signalLogPath = v.signalLog;
    m_transpondersPath = v.transpondersPath;
    m_calibration = positioner::ArcCalibration::fromText(v.arcCalibration);
    emit calibrationChanged();

    pushSiteToCard();
    SatelliteList& list = *m_satellites;
    list.setSiteLatitude(m_options.latitude);
    list.setSiteLongitude(m_options.longitude);
    list.setMinimumElevation(m_options.minElevation);
    m_satelliteListPath = findDataFile(QStringLiteral("satlist.znr"));
    list.loadFile(m_satelliteListPath);
    if (!v.motorPositions.isEmpty())
        list.parseStoredPositions(v.motorPositions);
    list.applySavedTransponders(v.freqList);
    m_savedFreqList = v.freqList;

    // A stored selection that is no longer in the lists is not used.
    m_currentPosition =
        v.currentPosition >= 0 && v.currentPosition < SatelliteList::StoredPositionCount
            ? v.currentPosition
            : 0;
    m_currentSat = v.currentSat > 0 && v.currentSat < list.labels.size() ? v.currentSat : 0;
    m_keptCurrentSat = m_currentSat != v.currentSat ? v.currentSat : -1;
    m_keptCurrentPosition = m_currentPosition != v.currentPosition ? v.currentPosition : -1;
    if (list.satelliteCount() == 0) {
        const QString text =
            windowTr(QT_TRANSLATE_NOOP(
                         "zenaraForm",
                         "No satellites: %1 was not found or holds none (looked for in the "
                         "working folder and in %2)"))
                .arg(QStringLiteral("satlist.znr"), dataFolders().join(QStringLiteral(", ")));
        qCWarning(lcSettings, "%s", qPrintable(text));
        emit statusMessage(text, 0);
    }
    emit labelsChanged();
    if (m_currentSat != 0) {
        m_chosenRow = m_currentSat;
        emit satelliteChosen(m_chosenRow);
        readTransponders(m_currentSat);
        m_entry.format = listedFormat(m_entry.frequency, m_entry.horizontal, m_entry.symbolRate);
    } else {
        choosePosition(m_currentPosition);
    }
    m_tunedFormat = m_entry.format;
    applyPositionerSettings();
    placeDish();
    return v;
}

// Where the dish was last sent: the satellite of the last USALS goto, or the
// reference (position 0, and where a new motor stands).
void Session::placeDish()
{
    double angle = qQNaN();
    QChar side;
    if (m_currentSat > 0 && m_currentSat < m_satellites->labels.size()) {
        if (positioner::labelAngle(m_satellites->labels.at(m_currentSat), &angle, &side))
            angle = side == QLatin1Char('W') ? -angle : angle;
    } else if (m_currentSat == 0 && m_currentPosition == 0) {
        angle = 0.0;
    }
    m_positioner->motion().assume(angle, hw::CardLayer::clock().nowMs());
}

const char* Session::openCard()
{
    if (CDVBCommon::OpenDevice(0, nullptr, 0) == 0)
        return QT_TRANSLATE_NOOP("zenaraForm", "CDVBCommon::OpenDevice(0) failed");
    if (m_frontend.Init() != DVB_ERR_NONE)
        return QT_TRANSLATE_NOOP("zenaraForm", "CDVBFrontend::Init() failed");
    if (locateBusRoutines() != 0)
        return QT_TRANSLATE_NOOP("zenaraForm", "Unknown version ttlcdacc.dll");
    return nullptr;
}

void Session::startPolling()
{
    m_pollTimer = startTimer(StatusPoll::IntervalMs, Qt::PreciseTimer);
    if (!m_signalLogPath.isEmpty()) {
        QString error;
        startSignalLog(m_signalLogPath, &error);
    }
}

bool Session::writeAtExit()
{
    if (m_pollTimer)
        killTimer(std::exchange(m_pollTimer, 0));
    emit closing();
    const bool written = writeStore();
    if (!written)
        m_lastSaveError =
            windowTr(
                QT_TRANSLATE_NOOP("zenaraForm",
                                  "The settings could not be written to %1; the changes of this "
                                  "session are lost."))
                .arg(QDir::toNativeSeparators(settingsPath()));
    return written;
}

void Session::closeCard()
{
    m_poll.reset();
    m_tuner.reset();
    m_demodulator.reset();
    CDVBCommon::CloseDevice();
}

// ---- the settings store

StoredSettings Session::currentSettings() const
{
    StoredSettings v;
    if (windowSettings)
        windowSettings(&v);
    v.frequency = m_frequency;
    v.symbolRate = m_symbolRate;
    v.polarization = m_polarization;
    v.lnbPower = m_lnb.supplyOn;
    v.lof1 = m_lnb.lof1;
    v.lof2 = m_lnb.lof2;
    v.lofSwitch = m_lnb.switchFrequency;
    v.iout650mA = m_lnb.iout650mA;
    v.voutHigh = m_lnb.voutHigh;
    v.diseqc = m_lnb.diseqc;
    v.simplePosition = m_lnb.burst;
    v.multiOption = m_lnb.switchItem;
    v.currentPosition = m_keptCurrentPosition >= 0 ? m_keptCurrentPosition : m_currentPosition;
    v.currentSat = m_keptCurrentSat >= 0 ? m_keptCurrentSat : m_currentSat;
    v.options = m_options;
    v.signalLog = m_signalLogPath;
    v.transpondersPath = m_transpondersPath;
    v.arcCalibration = m_calibration.toText();
    v.motorPositions = m_satellites->storedPositionsText();
    v.freqList = transpondersToSave();
    return v;
}

QStringList Session::transpondersToSave() const
{
    // Without a satellite list nothing could have changed: what was read is
    // written back as it was, not an empty list.
    return m_satellites->satelliteCount() == 0 ? m_savedFreqList : m_satellites->lastTransponders;
}

bool Session::saveListsNow()
{
    const bool written = writeListsNow(m_satellites->storedPositionsText(), transpondersToSave());
    reportWrite(written);
    return written;
}

bool Session::writeStore() const
{
    const auto settings = openSettings();
    writeSettings(*settings, currentSettings());
    settings->sync();
    return writtenOut(*settings);
}

bool Session::saveSettingsNow()
{
    const bool written = writeStore();
    reportWrite(written);
    return written;
}

void Session::reportWrite(bool written)
{
    ++m_saveAttempts;
    m_lastSaveError =
        written
            ? QString()
            : windowTr(QT_TRANSLATE_NOOP("zenaraForm", "The settings could not be written to %1"))
                  .arg(QDir::toNativeSeparators(settingsPath()));
    // Said once until a write succeeds again: the user may be clicking through
    // positions, and a box on every click would be worse than the fault.
    if (written == !m_settingsWriteFailed)
        return;
    m_settingsWriteFailed = !written;
    if (!written)
        qCWarning(lcSettings, "%s", qPrintable(m_lastSaveError));
    emit settingsWriteFailed(m_lastSaveError, !written);
}

// ---- options

QString Session::setOptions(const optionvalues::Values& values)
{
    if (const QString problem = optionvalues::problem(values, m_options); !problem.isEmpty())
        return problem;
    m_options = values;
    applySite();
    applyPositionerSettings();
    emit optionsChanged();
    return QString();
}

QString Session::setOption(const QString& name, double value)
{
    const optionvalues::Key* key = optionvalues::findKey(name);
    if (!key)
        return QStringLiteral("no such setting \"%1\"").arg(name);
    if (const QString refused = optionvalues::refusal(*key, value); !refused.isEmpty())
        return refused;
    optionvalues::Values v = m_options;
    optionvalues::setValue(&v, *key, value);
    return setOptions(v);
}

// A simulated installation stands where the user says the dish does.
void Session::pushSiteToCard()
{
    if (hw::CardBackend* card = hw::CardLayer::backend())
        card->setSite(m_options.latitude, m_options.longitude);
}

void Session::applySite()
{
    pushSiteToCard();
    SatelliteList& list = *m_satellites;
    if (m_options.latitude == list.siteLatitude() && m_options.longitude == list.siteLongitude() &&
        m_options.minElevation == list.minimumElevation())
        return;
    list.setMinimumElevation(m_options.minElevation);
    list.setLocation(m_options.longitude, m_options.latitude);
    // The rows are those of another list now.
    m_chosenRow = 0;
    emit labelsChanged();
    choosePosition(m_position);
}

int Session::motorMsPerDegree() const
{
    const int learned =
        m_tunedHorizontal ? m_options.learnedMsPerDegree18V : m_options.learnedMsPerDegree13V;
    // A tenth over what was learnt: a goto that locks is ended by the
    // readings, at the dish's arrival, not by an estimate a little short.
    return learned > 0 ? learned + learned / 10 : m_options.maxTimeOfPositioning;
}

void Session::applyPositionerSettings()
{
    positioner::Positioner::Settings s;
    s.stepsPerDegree = m_options.oneDegreSteps;
    s.msPerDegree = motorMsPerDegree();
    s.driveVersion = m_options.driveVersion;
    s.siteLatitude = m_options.latitude;
    m_positioner->setSettings(s);
}

bool Session::startSignalLog(const QString& path, QString* error)
{
    m_markersSinceLog.clear();
    if (m_log.open(path, error))
        return true;
    const QString text =
        windowTr(QT_TRANSLATE_NOOP("zenaraForm", "The signal log %1 cannot be written: %2"))
            .arg(QDir::toNativeSeparators(path), *error);
    qCWarning(lcSettings, "%s", qPrintable(text));
    emit statusMessage(text, 0);
    return false;
}

// ---- tuning

tuning::Request Session::request(bool fromEntry) const
{
    tuning::Request r;
    if (fromEntry) {
        r.frequency = m_entry.frequency;
        r.symbolRate = m_entry.symbolRate;
        r.horizontal = m_entry.horizontal;
        r.format = m_entry.format;
    } else {
        r.frequency = QString::number(m_frequency);
        r.symbolRate = QString::number(m_symbolRate);
        r.horizontal = m_polarization != 1;
        r.format = m_tunedFormat;
    }
    r.lof1 = m_lnb.lof1;
    r.lof2 = m_lnb.lof2;
    r.switchFrequency = m_lnb.switchFrequency;
    r.diseqc = tuning::DiseqcMode(std::clamp(m_lnb.diseqc, 0, 2));
    r.burst = m_lnb.burst;
    r.switchItem = m_lnb.switchItem;
    r.supplyOn = m_lnb.supplyOn;
    return r;
}

Result Session::tune(bool fromEntry)
{
    const tuning::Request request = this->request(fromEntry);
    const tuning::Result result = m_tuner->tune(request, m_flags);
    if (result.refused && !fromEntry)
        m_flags.tuneFailed = true; // the remembered transponder itself: no more re-tunes
    if (!result.refused) {
        // What was measured before belongs to the old channel (wait-lock,
        // status, margin, network). A refused tune sent nothing: the receiver
        // is still on it.
        m_fecText.clear();
        m_lockedFormatKnown = false;
        m_unlockedPolls = 0;
        m_tunedFormat = request.format;
        // The automatic re-tune goes back to the same transponder: what was
        // said of it still holds.
        if (fromEntry || result.wrongSystem)
            setLockHint(result.wrongSystem ? windowTr(tuning::Tuner::NoDvbS2Warning) : QString());
        m_lastReading = PollReading();
        m_margin = linkmargin::Estimate();
        m_networkState = Network::NotAsked;
        emit tuned();
    }
    if (result.status != 0) {
        QString text = windowTr(result.error.toLatin1().constData());
        if (!result.errorArg1.isEmpty())
            text = text.arg(result.errorArg1, result.errorArg2);
        // The automatic re-tune comes back every 5.5 s: a failure the user has
        // already been shown is not shown again until a tune succeeds.
        if (!fromEntry && text == m_tuneWarningShown) {
            qCDebug(lcMonitor, "The automatic re-tune failed again: %s", qPrintable(text));
            return {};
        }
        m_tuneWarningShown = text;
        if (fromEntry)
            return {text};
        emit warning(text); // the poll's, not that of a command under way
        return {};
    }
    m_tuneWarningShown.clear();
    if (fromEntry)
        m_arrival.retuned(); // a goto's own tune comes before its watch starts
    m_tunedHorizontal = request.horizontal;
    writeLnbControl();
    // The motor's speed follows the supply the tune set, a goto under way too.
    m_positioner->motion().retime(motorMsPerDegree(), hw::CardLayer::clock().nowMs());
    if (fromEntry) {
        remember(m_entry);
        clearUcb();
    }
    return {};
}

void Session::writeLnbControl()
{
    if (!m_demodulator)
        return;
    // The supply voltage follows the polarisation last tuned, not the one in
    // the fields: the automatic re-tune tunes the remembered transponder.
    m_demodulator->lnbp21_write_byte(
        tuning::lnbp21Byte(m_lnb.supplyOn, m_tunedHorizontal, m_lnb.iout650mA, m_lnb.voutHigh));
}

void Session::remember(const Entry& e)
{
    m_frequency = int(tuning::parseField(e.frequency).value);
    m_symbolRate = int(tuning::parseField(e.symbolRate).value);
    m_polarization = e.horizontal ? 0 : 1;
    const QString letter = m_polarization != 0 ? QStringLiteral("V") : QStringLiteral("H");
    addMarker(QStringLiteral("%1, %2, %3").arg(m_frequency).arg(letter).arg(m_symbolRate));
    // A number without an entry is never used as an index.
    if (rowValid(m_chosenRow) &&
        m_satellites->setLastTransponder(
            m_satellites->shownNumbers.at(m_chosenRow),
            QStringLiteral("%1,%2,%3").arg(e.frequency, letter, e.symbolRate)))
        saveListsNow();
}

void Session::enter(const Entry& entry)
{
    m_entry = entry;
    emit entryChanged();
}

void Session::clearUcb()
{
    m_poll->clearUcb();
    emit ucbCleared();
}

// ---- choosing

QString Session::chosenLabel() const
{
    return m_chosenRow >= 0 && m_chosenRow < m_satellites->labels.size()
               ? m_satellites->labels.at(m_chosenRow)
               : QString();
}

double Session::chosenPosition() const
{
    if (!rowValid(m_chosenRow))
        return std::numeric_limits<double>::quiet_NaN();
    const int at = m_satellites->numbers.indexOf(m_satellites->shownNumbers.at(m_chosenRow));
    return at >= 0 ? m_satellites->orbitalPositions.at(at)
                   : std::numeric_limits<double>::quiet_NaN();
}

void Session::setChosen(int row)
{
    m_chosenRow = row;
    emit satelliteChosen(row);
    if (m_networkState == Network::Found)
        judgeNetwork(); // the verdict depends on the chosen satellite
}

void Session::chooseSatellite(int row)
{
    setChosen(row);
    if (row == 0) {
        m_transponders.clear();
        emit transpondersChanged();
        return;
    }
    if (!rowValid(row))
        return;
    readTransponders(row);
    fillEntryFromRemembered(row);
    const int position = m_satellites->storedPositionOf(m_satellites->shownNumbers.at(row));
    if (position >= 0)
        m_position = position;
    m_positionSet = position >= 0;
    emit positionChanged(m_position);
}

void Session::fillEntryFromRemembered(int row)
{
    const QString last = m_satellites->lastTransponderOf(m_satellites->shownNumbers.at(row));
    if (last == QLatin1String("None"))
        return;
    const transponders::Fields f = transponders::parseRemembered(last);
    if (!f.ok)
        return;
    enter({f.frequency, f.symbolRate, !f.vertical(),
           listedFormat(f.frequency, !f.vertical(), f.symbolRate)});
}

hw::SignalFormat Session::listedFormat(const QString& frequency, bool horizontal,
                                       const QString& symbolRate) const
{
    for (const transponders::Transponder& t : m_transponderList)
        if (t.frequency == frequency && t.symbolRate == symbolRate &&
            (t.polarization != QLatin1String("V")) == horizontal)
            return t.format;
    return hw::SignalFormat{};
}

QVector<transponders::Transponder> Session::transpondersOf(int row) const
{
    QVector<transponders::Transponder> list;
    if (row > 0 && row < m_satellites->shownFiles.size())
        transponders::readTransponders(
            resolveTranspondersPath(m_transpondersPath, m_satelliteListPath) +
                m_satellites->shownFiles.at(row),
            &list);
    return list;
}

void Session::readTransponders(int row)
{
    if (row <= 0 || row >= m_satellites->shownFiles.size())
        return;
    QVector<transponders::Transponder> list;
    if (!transponders::readTransponders(
            resolveTranspondersPath(m_transpondersPath, m_satelliteListPath) +
                m_satellites->shownFiles.at(row),
            &list))
        return; // the previous entries stay
    m_transponderList = list;
    m_transponders = QStringList{QString()};
    for (const transponders::Transponder& t : list)
        m_transponders.append(transponders::entryText(t));
    emit transpondersChanged();
}

void Session::chooseTransponder(int index)
{
    if (index <= 0 || index >= m_transponders.size())
        return;
    const transponders::Fields f = transponders::parseEntry(m_transponders.at(index));
    if (!f.ok)
        return;
    emit transponderChosen(index);
    enter({f.frequency, f.symbolRate, !f.vertical(), m_transponderList.value(index - 1).format});
}

bool Session::positionSettable() const
{
    // The motor takes position 60; the table has positions 0 to 59 only.
    return m_position >= 0 && m_position < SatelliteList::StoredPositionCount;
}

void Session::choosePosition(int position)
{
    m_position = position;
    m_positionSet = false;
    if (positionSettable()) {
        const int number = m_satellites->storedPositions.at(position);
        const int row = number == -1 ? -1 : m_satellites->indexOfShown(number);
        // Set when the position holds the satellite chosen now.
        m_positionSet = number != -1 && row != -1;
        if (m_positionSet) {
            readTransponders(row);
            setChosen(row);
        }
    }
    emit positionChanged(m_position);
}

Result Session::togglePosition()
{
    if (!rowValid(m_chosenRow) || !positionSettable())
        return {};
    SatelliteList& list = *m_satellites;
    const int number = list.shownNumbers.at(m_chosenRow);
    const QString suffix = SatelliteList::positionLabel(QString(), m_position);
    QString text = list.labels.at(m_chosenRow);
    if (list.storedPositions.at(m_position) == number) {
        list.storedPositions[m_position] = -1;
        text.remove(suffix);
        m_positionSet = false;
    } else {
        // The satellite that held the position loses its suffix for it.
        const int previous = list.storedPositions.at(m_position);
        const int previousRow = previous == -1 ? -1 : list.indexOfShown(previous);
        if (previousRow > 0) {
            list.labels[previousRow].remove(suffix);
            emit labelChanged(previousRow, list.labels.at(previousRow));
        }
        list.storedPositions[m_position] = number;
        text = SatelliteList::positionLabel(text, m_position);
        m_positionSet = true;
    }
    list.labels[m_chosenRow] = text;
    emit labelChanged(m_chosenRow, text);
    emit positionChanged(m_position);
    // Stored positions are written at once, not only at exit.
    saveListsNow();
    return {};
}

// ---- the motor

Result Session::halt()
{
    emit haltSent(); // a calibration under way ends too
    return run([this] {
        watchWestGoto(false);
        m_arrival.stop();
        m_positioner->halt();
        emit motionChanged();
    });
}

Result Session::limit(Limit which)
{
    return run([this, which] {
        if (which == Limit::East)
            m_positioner->limitEast();
        else if (which == Limit::West)
            m_positioner->limitWest();
        else
            m_positioner->limitsOff();
    });
}

Result Session::storePosition()
{
    return run([this] { m_positioner->storePosition(m_position); });
}

Result Session::sendRaw(const QStringList& fields)
{
    return run([this, &fields] { m_positioner->sendRaw(fields); });
}

Result Session::gotoPosition()
{
    return run([this] {
        const int position = m_position;
        const double from = m_positioner->motion().angle(hw::CardLayer::clock().nowMs());
        if (!m_positioner->gotoPosition(position))
            return;
        watchWestGoto(false);
        m_currentPosition = position;
        m_currentSat = 0;
        m_keptCurrentSat = m_keptCurrentPosition = -1;
        emit motionChanged();
        // Position 60 can be sent, but the table ends at 59. The satellite
        // chosen (not the one stored there) is tuned.
        if (positionSettable() && m_satellites->storedPositions.at(position) != -1 &&
            rowValid(m_chosenRow) &&
            m_satellites->lastTransponderOf(m_satellites->shownNumbers.at(m_chosenRow)) !=
                QLatin1String("None"))
            note(tune());
        watchArrival(from); // at the supply of the new channel
    });
}

Result Session::go()
{
    if (!rowValid(m_chosenRow))
        return {};
    if (m_satellites->storedPositionOf(m_satellites->shownNumbers.at(m_chosenRow)) == -1)
        return usalsGoto();
    return gotoPosition();
}

Result Session::usalsGoto()
{
    if (!rowValid(m_chosenRow))
        return {};
    double angle = 0;
    QChar side;
    if (!positioner::labelAngle(chosenLabel(), &angle, &side) ||
        (side != QLatin1Char('E') && side != QLatin1Char('W'))) {
        // Nothing went out, so nothing is remembered or tuned either.
        emit statusMessage(
            windowTr(QT_TRANSLATE_NOOP(
                "zenaraForm",
                "Goto x.x°: the selected row shows no motor angle, so nothing was sent")),
            10000);
        return {};
    }
    // A calibrated mount, or a satellite the user moved: where it peaks.
    const double position = chosenPosition();
    if (m_calibration.fitted || m_calibration.offsetOf(position) != 0) {
        const double corrected =
            m_calibration.gotoAngle(m_options.latitude, m_options.longitude, position);
        // The goto carries whole sixteenths, cut off: the nearest one goes.
        angle = (std::round(std::abs(corrected) * 16) + 0.01) / 16;
        side = corrected >= 0 ? QLatin1Char('E') : QLatin1Char('W');
    }
    return run([this, angle, side] {
        const bool carrier = hasCarrier();
        const double from = m_positioner->motion().angle(hw::CardLayer::clock().nowMs());
        if (!m_positioner->usalsGoto(angle, side == QLatin1Char('E')))
            return;
        m_currentPosition = 0;
        m_currentSat = m_chosenRow;
        m_keptCurrentSat = m_keptCurrentPosition = -1;
        // The entry holds the satellite's remembered transponder since it was chosen.
        if (m_satellites->lastTransponderOf(m_satellites->shownNumbers.at(m_chosenRow)) !=
            QLatin1String("None"))
            note(tune());
        watchWestGoto(side == QLatin1Char('W'), carrier); // from the new channel's readings
        watchArrival(from);
    });
}

Result Session::drive(bool east, int mode, const std::function<double()>& amount)
{
    return run([&] {
        watchWestGoto(false);
        m_arrival.stop();
        m_positioner->haltRequested = false;
        switch (mode) {
        case 0:
            m_positioner->driveSteps(east, int(amount()));
            break;
        case 1:
            m_positioner->driveSeconds(east, [&amount] { return int(amount()); });
            break;
        case 2:
            m_positioner->driveDegrees(east, amount());
            break;
        case 3: {
            const double from = m_positioner->motion().angle(hw::CardLayer::clock().nowMs());
            if (const bool carrier = hasCarrier(); m_positioner->gotoAngle(east, amount())) {
                watchWestGoto(!east, carrier);
                watchArrival(from);
            }
            break;
        }
        default:
            break;
        }
        emit motionChanged();
    });
}

void Session::setCalibration(const positioner::ArcCalibration& calibration)
{
    m_calibration = calibration;
    saveSettingsNow();
    emit calibrationChanged();
}

Result Session::autotune(int method, int steps)
{
    return run([this, method, steps] {
        if (method == 1) {
            m_positioner->sweepTune(
                m_positioner->beamwidthSteps(m_options.dishDiameter, m_frequency),
                std::max(m_options.gapTime, int(StatusPoll::IntervalMs)), [this] {
                    return positioner::Reading{m_poll->currentAgc, m_poll->currentSnr,
                                               m_poll->currentLocked, 0, m_poll->currentAtMs};
                });
            return;
        }
        m_positioner->autotune(steps, m_options.gapTime, [this] { return m_poll->currentAgc; });
    });
}

void Session::watchWestGoto(bool west, bool hadCarrier)
{
    m_motorHint.clear();
    // Only a dish that had a carrier says by its signal whether it moved: on
    // empty sky the readings stay flat either way.
    if (west && hadCarrier)
        m_stillness.start(hw::CardLayer::clock().nowMs());
    else
        m_stillness.stop();
}

// A goto from a known angle to a known one can be seen to end in the
// readings; one from or to somewhere unknown ends on the estimate alone.
void Session::watchArrival(double from)
{
    const positioner::MotionEstimate& motion = m_positioner->motion();
    const qint64 now = hw::CardLayer::clock().nowMs();
    const double to = motion.to();
    if (!std::isfinite(from) || !std::isfinite(to) || !motion.moving(now)) {
        m_arrival.stop();
        return;
    }
    // No sooner than nine tenths of what was learnt (a motor's speed varies
    // little at one supply), or half the option's.
    const int learned =
        m_tunedHorizontal ? m_options.learnedMsPerDegree18V : m_options.learnedMsPerDegree13V;
    const int lowest = learned > 0 ? learned * 9 / 10 : m_options.maxTimeOfPositioning / 2;
    m_arrival.start(to - from, now, lowest, learned > 0);
    qCDebug(lcMonitor, "Motor: watching a goto of %.1f degrees, %lld ms on the estimate", to - from,
            motion.remainingMs(now));
}

void Session::checkArrival()
{
    using Event = positioner::ArrivalWatch::Event;
    const PollReading& r = m_lastReading;
    const qint64 now = hw::CardLayer::clock().nowMs();
    // Watched on after the estimate ran out: a motor slower than it was
    // thought to be is still learnt from.
    switch (m_arrival.poll(now, r.locked, r.agcValid, r.agcPercent)) {
    case Event::None:
        return;
    case Event::Arrived:
        qCDebug(lcMonitor, "Motor: the readings say the dish is there (%lld ms left)",
                m_positioner->motion().remainingMs(now));
        m_positioner->motion().arrived(now);
        break;
    case Event::Refuted:
        m_positioner->motion().resume(now);
        qCDebug(lcMonitor, "Motor: the lock went again; the goto goes on (%lld ms left)",
                m_positioner->motion().remainingMs(now));
        break;
    case Event::Confirmed:
        learnMotorSpeed(m_arrival.measuredMsPerDegree());
        return;
    }
    emit motionChanged();
}

void Session::learnMotorSpeed(int measured)
{
    if (measured <= 0)
        return;
    int& learned =
        m_tunedHorizontal ? m_options.learnedMsPerDegree18V : m_options.learnedMsPerDegree13V;
    learned = std::clamp(positioner::learnedMsPerDegree(learned, measured), 1, 9999);
    qCInfo(lcMonitor, "Motor: a goto took %d ms a degree; %d ms a degree at %d V now", measured,
           learned, m_tunedHorizontal ? 18 : 13);
    applyPositionerSettings();
    emit optionsChanged();
}

bool Session::hasCarrier() const
{
    return m_lastReading.flagsValid && (m_lastReading.flags & (SignalFlag | CarrierFlag));
}

// ---- the poll

void Session::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == m_pollTimer)
        pollOnce();
}

void Session::pollOnce()
{
    if (!m_poll)
        return;
    const PollReading reading = m_poll->poll();
    m_lastReading = reading;
    checkPresence();
    checkStillness();
    checkArrival();
    takeLockedFormat(reading);
    double measuredDb = std::numeric_limits<double>::quiet_NaN();
    bool meterInDb = false;
    if (const hw::CardBackend* card = hw::CardLayer::backend()) {
        card->carrierToNoiseDb(&measuredDb);
        meterInDb = card->snrMeterInDecibels();
    }
    m_margin = linkmargin::estimate(
        reading.snrValid, reading.snrMeter, reading.flagsValid && (reading.flags & CarrierFlag),
        reading.locked, m_lockedFormatKnown ? &m_lockedFormat : nullptr, measuredDb, meterInDb);
    checkLockHint(reading);
    checkNetwork(reading.locked);
    m_history.push(reading.berSample, reading.agcSample, reading.snrSample);
    if (m_log.isOpen())
        logReading(reading);
    m_history.ageMarkers();
    emit polled();
}

void Session::checkStillness()
{
    const PollReading& r = m_lastReading;
    if (!m_stillness.still(hw::CardLayer::clock().nowMs(), r.flagsValid, r.flags, r.agcValid,
                           r.agcPercent, r.snrValid, r.snrPercent))
        return;
    m_motorHint =
        m_options.driveVersion == 1
            ? windowTr(QT_TRANSLATE_NOOP(
                  "zenaraForm", "The signal has not changed since the goto west: if the dish did "
                                "not move, the motor may need the Typical west code 0x00 "
                                "(Options, Settings, Drive Motor, Version)."))
            : windowTr(QT_TRANSLATE_NOOP(
                  "zenaraForm", "The signal has not changed since the goto west: if the dish did "
                                "not move, the motor may need the STAB west code 0xD0 (Options, "
                                "Settings, Drive Motor, Version)."));
}

void Session::checkNetwork(bool locked)
{
    hw::CardBackend* card = hw::CardLayer::backend();
    hw::TransportStream* stream = card ? card->transportStream() : nullptr;
    if (!stream)
        return; // a register-only card: nothing to say
    if (!locked) {
        // The dish may be moving to another satellite: what was read no longer
        // holds, and the next lock reads again.
        if (m_networkState != Network::NotAsked) {
            m_networkState = Network::NotAsked;
            emit networkChanged();
        }
        return;
    }
    if (m_networkState == Network::NotAsked) {
        stream->startNetworkRead(NetworkTimeLimitMs);
        m_networkState = Network::Reading;
    }
    if (m_networkState != Network::Reading)
        return;
    switch (stream->networkState(&m_network)) {
    case hw::TransportStream::State::Reading:
        return;
    case hw::TransportStream::State::Found:
        m_networkState = Network::Found;
        judgeNetwork();
        return;
    case hw::TransportStream::State::None:
        m_networkState = Network::None;
        emit networkChanged();
        return;
    }
}

void Session::judgeNetwork()
{
    m_networkVerdict = networkcheck::verdict(m_network, chosenPosition());
    m_networkSatellite = networkcheck::satelliteAt(
        m_satellites->names, m_satellites->orbitalPositions, m_network.orbitalPosition);
    emit networkChanged();
}

void Session::addMarker(const QString& label)
{
    m_history.addPlotMarker(label);
    if (m_log.isOpen())
        m_markersSinceLog.append(label);
}

QStringList Session::receptionLines() const
{
    QString system = QStringLiteral("DVB-S");
    if (m_tunedFormat.isS2())
        system = QStringLiteral("DVB-S2 ") + hw::modcod::modulationName(m_tunedFormat.modulation);
    QStringList lines{windowTr(QT_TRANSLATE_NOOP("zenaraForm", "Tuned %1 %2 %3, %4"))
                          .arg(m_frequency)
                          .arg(m_polarization == 1 ? QLatin1Char('V') : QLatin1Char('H'))
                          .arg(m_symbolRate)
                          .arg(system.trimmed())};
    if (!m_lastReading.locked) {
        lines << windowTr(QT_TRANSLATE_NOOP("zenaraForm", "Not locked"));
        if (!m_lockHint.isEmpty())
            lines << m_lockHint;
    } else if (m_margin.marginValid) {
        lines << windowTr(QT_TRANSLATE_NOOP("zenaraForm",
                                            "Locked: %1, needs %2 dB; takes %3 dB of rain"))
                     .arg(m_margin.modcod, QString::number(m_margin.thresholdDb, 'f', 1),
                          QString::number(m_margin.rainFadeDb, 'f', 1));
    } else {
        lines << windowTr(QT_TRANSLATE_NOOP("zenaraForm", "Locked: %1")).arg(m_fecText);
    }
    return lines;
}

void Session::checkPresence()
{
    const hw::CardBackend* card = hw::CardLayer::backend();
    const bool present = !card || card->present();
    if (present == m_receiverPresent)
        return;
    m_receiverPresent = present;
    const QString name = QCoreApplication::translate(
        "Receivers", card ? card->description().toUtf8().constData() : "");
    if (!present) {
        const QString text =
            windowTr(QT_TRANSLATE_NOOP("zenaraForm",
                                       "The receiver %1 is gone (unplugged, or its driver "
                                       "unloaded); Zenara opens it again when it is back"))
                .arg(name);
        qCWarning(lcMonitor, "%s", qPrintable(text));
        emit statusMessage(text, 0);
        return;
    }
    emit statusMessage(
        windowTr(QT_TRANSLATE_NOOP("zenaraForm", "The receiver %1 is back")).arg(name), 10000);
    tune(false); // the channel it was on, again
}

void Session::takeLockedFormat(const PollReading& reading)
{
    if (!reading.fecChanged)
        return;
    m_fecText = reading.fecText;
    m_lockedFormatKnown = reading.formatKnown;
    m_lockedFormat = reading.format;
}

void Session::setLockHint(const QString& text)
{
    if (text == m_lockHint)
        return;
    m_lockHint = text;
    emit lockHintChanged();
}

// A carrier that is there but does not lock: said once the lock is overdue,
// when the C/N is short of what the listed modcod needs.
void Session::checkLockHint(const PollReading& reading)
{
    if (m_flags.cannotLock)
        return; // the receiver's reason stands
    if (reading.locked) {
        m_unlockedPolls = 0;
        setLockHint(QString());
        return;
    }
    if (!m_margin.valid || !m_lockHint.isEmpty() || ++m_unlockedPolls < HintAfterPolls)
        return;
    // Short of what the list's modcod needs (an unknown part at its least),
    // with the dB the lock is held below it to spare for the meter's error.
    const double needed = hw::modcod::leastEsN0Db(m_tunedFormat);
    if (!std::isfinite(needed) || m_margin.cnDb >= needed + 1.0)
        return;
    const QString modcod = hw::modcod::lockedText(m_tunedFormat);
    setLockHint(windowTr(QT_TRANSLATE_NOOP("zenaraForm",
                                           "No lock: C/N %1 dB, and %2 needs %3 dB. The signal "
                                           "is too weak for this dish here, or the dish is off "
                                           "the satellite."))
                    .arg(QString::number(m_margin.cnDb, 'f', 1),
                         m_tunedFormat.isS2() ? QStringLiteral("DVB-S2 ") + modcod : modcod,
                         QString::number(needed, 'f', 1)));
}

void Session::logReading(const PollReading& r)
{
    SignalLog::Entry e;
    e.when = QDateTime::currentDateTime().toOffsetFromUtc(
        QDateTime::currentDateTime().offsetFromUtc()); // local time with its offset
    e.frequencyMHz = m_frequency;
    e.horizontal = m_polarization != 1;
    e.symbolRateKs = m_symbolRate;
    e.flagsValid = r.flagsValid;
    e.flags = r.flags;
    e.locked = r.locked;
    e.agcValid = r.agcValid;
    e.agcPercent = r.agcPercent;
    e.snrValid = r.snrValid;
    e.snrPercent = r.snrPercent;
    e.berValid = r.berValid;
    e.ber = r.ber;
    e.ucbTotal = r.ucbTotal;
    e.marker = m_markersSinceLog.join(QStringLiteral("; "));
    e.system = m_tunedFormat.isS2() ? QStringLiteral("DVB-S2") : QStringLiteral("DVB-S");
    e.modcod = r.locked ? m_fecText : QString();
    m_markersSinceLog.clear();
    if (m_log.write(e))
        return;
    // Said once: the log has stopped.
    const QString text =
        windowTr(QT_TRANSLATE_NOOP("zenaraForm",
                                   "The signal log %1 could not be written; logging stopped"))
            .arg(QDir::toNativeSeparators(m_log.path()));
    qCWarning(lcSettings, "%s", qPrintable(text));
    emit statusMessage(text, 0);
}

} // namespace core
