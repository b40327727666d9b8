#include "forms/zenaraform.h"

#include "forms/arcpanel.h"

#include "core/arccalibrator.h"

#include "app/embeddedimages.h"
#include "app/messages.h"
#include "app/terminationwatcher.h"
#include "forms/about.h"
#include "forms/disqoptions.h"
#include "forms/siteview.h"
#include "web/webserver.h"
#include "hw/cardlibrary.h"
#include "lists/satellitelist.h"
#include "monitor/contrast.h"
#include "monitor/linkmargin.h"
#include "positioner/commands.h"
#include "settings/datafiles.h"
#include "settings/logging.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QDockWidget>
#include <QLabel>
#include <QMenu>
#include <QRegularExpressionValidator>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTimerEvent>
#include <QToolBar>
#include <QToolButton>

#include <cmath>
#include <cstdio>
#include <limits>
#include <unistd.h>

namespace {

struct LnbPreset
{
    const char* lof1;
    const char* sw;
    const char* lof2;
    bool editable;
};

// UNIVERSAL, DBS, STANDARD, ENHANCED, C-BAND, CUSTOM
const LnbPreset LnbPresets[] = {
    {"9750", "11700", "10600", false}, {"11250", "0", "0", false}, {"10000", "0", "0", false},
    {"9750", "0", "0", false},         {"5150", "0", "0", false},  {"9750", "11700", "10600", true},
};

} // namespace

zenaraForm::zenaraForm(QWidget* parent, Qt::WindowFlags windowFlags)
    : QMainWindow(parent, windowFlags), m_session(std::make_unique<core::Session>())
{
    setupUi(this);
    comboBoxSystem->addItems(core::systemchoice::texts());
    // Numbers in one form whatever the language: a point, no thousands
    // separator, as the readings, the satellite labels and the data files.
    setLocale(QLocale::c());
    buttonGroupPolar->setId(radioButtonHorz, 0);
    buttonGroupPolar->setId(radioButtonVert, 1);
    buttonGroupDiSEqC->setId(radioButtonDiSEqCNone, 0);
    buttonGroupDiSEqC->setId(radioButtonDiSEqCSimple, 1);
    buttonGroupDiSEqC->setId(radioButtonDiSEqC10, 2);

    satListToolbarComboBox = new QComboBox(satelliteToolbar);
    satListToolbarComboBox->setObjectName(QStringLiteral("satListToolbarComboBox"));
    // Reached by Tab, but a click does not take the focus from the fields.
    satListToolbarComboBox->setFocusPolicy(Qt::TabFocus);
    satelliteToolbar->addWidget(satListToolbarComboBox);
    goToolButton = new QToolButton(satelliteToolbar);
    goToolButton->setObjectName(QStringLiteral("goToolButton"));
    goToolButton->setIcon(EmbeddedImageFactory::icon(QStringLiteral("exec.png")));
    satelliteToolbar->addWidget(goToolButton);
    toolButtonHaltMotor = new QToolButton(haltMotorToolbar);
    toolButtonHaltMotor->setObjectName(QStringLiteral("toolButtonHaltMotor"));
    toolButtonHaltMotor->setIcon(EmbeddedImageFactory::icon(QStringLiteral("halt.png")));
    haltMotorToolbar->addWidget(toolButtonHaltMotor);

    // A long satellite name widens the box's list, not the window.
    for (QComboBox* box : {satlistComboBox, satListToolbarComboBox, freqListComboBox}) {
        box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        box->setMinimumContentsLength(24);
    }
    applyLook();
    languageChange();
    resize(QSize(596, 597).expandedTo(minimumSizeHint()));
    connectSignals();
    setTabOrder();
    initWindow();
}

zenaraForm::~zenaraForm()
{
    saveSettings();
}

void zenaraForm::initWindow()
{
    // The View menu lists the toolbars with a check mark for each one shown.
    m_toolbarsMenu = viewMenu->addMenu(tr("&Toolbars"));
    for (QToolBar* bar : {fileToolbar, optionsToolbar, satelliteToolbar, haltMotorToolbar})
        m_toolbarsMenu->addAction(bar->toggleViewAction());
    addSiteView();
    addPhoneMeter();
    // The network line stays in sight whichever page is showing.
    QMainWindow::statusBar()->insertPermanentWidget(0, labelNetwork);
    labelNetwork->setMinimumWidth(120); // a long name must not widen the window

    ledMeterBER->addColorBand(30, Qt::red);
    ledMeterBER->addColorBand(14, Qt::yellow);
    ledMeterBER->addColorBand(56, Qt::green);
    ledMeterAGC->addColorBand(100, Qt::green);
    ledMeterSNR->addColorBand(30, Qt::red);
    ledMeterSNR->addColorBand(10, Qt::yellow);
    ledMeterSNR->addColorBand(60, Qt::green);
    static const QRegularExpression twoHexDigits(QStringLiteral("[0-9A-Fa-f][0-9A-Fa-f]"));
    for (QLineEdit* raw : {raw0, raw1, raw2, raw3, raw4, raw5})
        raw->setValidator(new QRegularExpressionValidator(twoHexDigits, raw));

    connectSession();
    loadSettings();
    initPlot();
    if (const char* fatal = m_session->openCard())
        fatalError(fatal);
    buttonSet_clicked();
    initSound();
    if (!soundAvailable) {
        checkBoxAcoustic->setEnabled(false);
        // Say why, where the user looks: the box is off, not broken.
        checkBoxAcoustic->setToolTip(
            tr("No audio output was found, so the acoustic signal is off. It needs a sound "
               "card or sound server and Qt's audio plugins (libqt5multimedia5-plugins)."));
    }
    m_session->startPolling();
    addReceiverLabel();
}

void zenaraForm::connectSession()
{
    core::Session* s = m_session.get();
    s->windowSettings = [this](StoredSettings* v) {
        windowSettings(v);
    };
    connect(s, &core::Session::polled, this, &zenaraForm::afterPoll);
    connect(s, &core::Session::calibrationChanged, this, &zenaraForm::showMountOnSiteView);
    new ArcPanel(*s,
                 {arcSatellitesEdit, calibrateArcButton, arcAdjustedButton, arcResetButton,
                  arcStatusLabel, arcOffsetSpinBox, arcOffsetButton},
                 this);
    // Why a carrier does not lock: dark red, as dark or light as the page needs.
    QPalette hint = labelLockHint->palette();
    hint.setColor(QPalette::WindowText,
                  contrast::readableShade(QColor(170, 0, 0), hint.color(QPalette::Window)));
    labelLockHint->setPalette(hint);
    connect(s, &core::Session::lockHintChanged, this,
            [this] { labelLockHint->setText(m_session->lockHint()); });
    connect(s, &core::Session::motionChanged, this, &zenaraForm::showMotorStatus);
    connect(s, &core::Session::entryChanged, this, &zenaraForm::showEntry);
    connect(s, &core::Session::labelsChanged, this, &zenaraForm::showSatelliteList);
    connect(s, &core::Session::satelliteChosen, this, &zenaraForm::showChosenSatellite);
    connect(s, &core::Session::labelChanged, this, [this](int row, const QString& text) {
        satlistComboBox->setItemText(row, text);
        satListToolbarComboBox->setItemText(row, text);
    });
    connect(s, &core::Session::transpondersChanged, this, &zenaraForm::showTransponders);
    connect(s, &core::Session::transponderChosen, freqListComboBox, &QComboBox::setCurrentIndex);
    connect(s, &core::Session::positionChanged, this, &zenaraForm::showPosition);
    connect(s, &core::Session::rawShown, this, [this](const QStringList& texts) {
        QLineEdit* const fields[6] = {raw0, raw1, raw2, raw3, raw4, raw5};
        for (int i = 0; i < 6; ++i)
            fields[i]->setText(texts.value(i));
    });
    connect(s, &core::Session::tuned, this, [this] {
        lineEditFEC->clear();
        labelNetwork->clear();
    });
    connect(s, &core::Session::ucbCleared, this, [this] { lCDNumberUCB->display(0); });
    connect(s, &core::Session::networkChanged, this, &zenaraForm::showNetwork);
    connect(s, &core::Session::statusMessage, this, &zenaraForm::showStatusMessage);
    connect(s, &core::Session::warning, this,
            [this](const QString& text) { messages::warning(this, tr("Error"), text); });
    connect(s, &core::Session::settingsWriteFailed, this, &zenaraForm::showSettingsWrite);
    connect(s, &core::Session::optionsChanged, this, &zenaraForm::showOptions);

    // What the user types or picks is what the commands work on.
    for (QLineEdit* field : {lineEditFreq, lineEditSmbRate})
        connect(field, &QLineEdit::textChanged, this, &zenaraForm::pushEntry);
    connect(buttonGroupPolar, &QButtonGroup::idToggled, this, &zenaraForm::pushEntry);
    connect(comboBoxSystem, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &zenaraForm::pushEntry);
    for (QLineEdit* field : {lineEditLOF1, lineEditLOF2, lineEditSwitch})
        connect(field, &QLineEdit::textChanged, this, &zenaraForm::pushLnb);
    connect(buttonGroupDiSEqC, &QButtonGroup::idToggled, this, &zenaraForm::pushLnb);
    for (QComboBox* box : {comboBoxSimple, comboBoxDiSEqC10})
        connect(box, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
                &zenaraForm::pushLnb);
    for (QAbstractButton* box : {checkBoxIOUT650mA, checkBoxVHigh})
        connect(box, &QAbstractButton::toggled, this, &zenaraForm::pushLnb);
    connect(tuneMethodComboBox, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &zenaraForm::pushFineTune);
    connect(stepTuningSpinBox, QOverload<int>::of(&QSpinBox::valueChanged), this,
            &zenaraForm::pushFineTune);
}

void zenaraForm::pushEntry()
{
    m_session->setEntry(
        {lineEditFreq->text(), lineEditSmbRate->text(), buttonGroupPolar->checkedId() != 1,
         core::systemchoice::apply(comboBoxSystem->currentIndex(), m_session->entry().format)});
}

void zenaraForm::pushLnb()
{
    core::Lnb l;
    l.lof1 = lineEditLOF1->text();
    l.lof2 = lineEditLOF2->text();
    l.switchFrequency = lineEditSwitch->text();
    l.diseqc = buttonGroupDiSEqC->checkedId();
    l.burst = comboBoxSimple->currentIndex();
    l.switchItem = comboBoxDiSEqC10->currentIndex();
    l.supplyOn = buttonPower->isChecked();
    l.iout650mA = checkBoxIOUT650mA->isChecked();
    l.voutHigh = checkBoxVHigh->isChecked();
    m_session->setLnb(l);
}

void zenaraForm::pushFineTune()
{
    m_session->setFineTune({tuneMethodComboBox->currentIndex(), stepTuningSpinBox->value()});
}

void zenaraForm::showEntry()
{
    const core::Entry e = m_session->entry(); // each field pushes what it shows
    lineEditFreq->setText(e.frequency);
    lineEditSmbRate->setText(e.symbolRate);
    (e.horizontal ? radioButtonHorz : radioButtonVert)->setChecked(true);
    {
        // The list's code rate and pilots stay in the entry; the box shows the rest.
        const QSignalBlocker quiet(comboBoxSystem);
        comboBoxSystem->setCurrentIndex(core::systemchoice::indexOf(e.format));
    }
    // What the fields took (they cut what is too long) is what a tune tunes.
    pushEntry();
}

void zenaraForm::loadSettings()
{
    const StoredSettings v = m_session->loadSettings();
    m_storedGeometry = v;
    showEntry();
    showStoredControls(v);
    if (!v.layout.isEmpty())
        restoreState(QByteArray::fromBase64(v.layout.toLatin1()));
    tuningSpinBox->setMaximum(int(std::floor(v.options.maxAngle * 2 * v.options.oneDegreSteps)));
    // The stored layout may have shown the Site view before the list was read.
    updateSiteView();
    setPowerIndicator(buttonPower->isChecked());
    connect(buttonPower, &QPushButton::toggled, this, &zenaraForm::buttonPower_toggled);
}

void zenaraForm::showStoredControls(const StoredSettings& v)
{
    // Not yet connected: this does not reach the LNB supply.
    buttonPower->setChecked(v.lnbPower);
    checkBoxIOUT650mA->setChecked(v.iout650mA);
    checkBoxVHigh->setChecked(v.voutHigh);
    if (v.lnbType >= 0 && v.lnbType < lnbTypeComboBox->count())
        lnbTypeComboBox->setCurrentIndex(v.lnbType);
    lnbTypeComboBox_activated(lnbTypeComboBox->currentIndex());
    lineEditLOF1->setText(v.lof1);
    lineEditLOF2->setText(v.lof2);
    lineEditSwitch->setText(v.lofSwitch);
    if (QAbstractButton* button = buttonGroupDiSEqC->button(v.diseqc))
        button->setChecked(true);
    if (v.simplePosition >= 0 && v.simplePosition < comboBoxSimple->count())
        comboBoxSimple->setCurrentIndex(v.simplePosition);
    if (v.multiOption >= 0 && v.multiOption < comboBoxDiSEqC10->count())
        comboBoxDiSEqC10->setCurrentIndex(v.multiOption);
    const int diseqc = buttonGroupDiSEqC->checkedId();
    comboBoxSimple->setEnabled(diseqc == 1);
    comboBoxDiSEqC10->setEnabled(diseqc == 2);
    pushLnb();
    checkBoxAcoustic->setChecked(v.acoustic);
    toolButtonBER->setChecked(v.curveBer);
    toolButtonSNR->setChecked(v.curveSnr);
    toolButtonAGC->setChecked(v.curveAgc);
    tuneMethodComboBox->setCurrentIndex(v.tuneMethod);
    pushFineTune();
}

void zenaraForm::windowSettings(StoredSettings* v) const
{
    // Never on screen: its size and place say nothing of the user's.
    const bool shown = m_everShown;
    v->maximized = shown ? isMaximized() : m_storedGeometry.maximized;
    v->x = shown ? pos().x() : m_storedGeometry.x;
    v->y = shown ? pos().y() : m_storedGeometry.y;
    v->width = shown ? width() : m_storedGeometry.width;
    v->height = shown ? height() : m_storedGeometry.height;
    v->lnbType = lnbTypeComboBox->currentIndex();
    v->tuneMethod = tuneMethodComboBox->currentIndex();
    v->acoustic = checkBoxAcoustic->isChecked();
    v->curveBer = toolButtonBER->isChecked();
    v->curveSnr = toolButtonSNR->isChecked();
    v->curveAgc = toolButtonAGC->isChecked();
    v->layout = QString::fromLatin1(saveState().toBase64());
}

void zenaraForm::saveSettings()
{
    if (!m_session->writeAtExit()) {
        // Everything changed in this session is lost: say it where the user
        // looks. After a signal nobody is at the window; the terminal hears.
        qCWarning(lcSettings, "%s", qPrintable(m_session->lastSaveError()));
        if (!TerminationWatcher::pending())
            messages::warning(nullptr, tr("Error"), m_session->lastSaveError());
    }
    shutdownSound();
    m_session->closeCard();
}

void zenaraForm::showSettingsWrite(const QString& text, bool failed)
{
    if (failed)
        Ui_zenaraForm::statusBar->showMessage(text);
    else
        Ui_zenaraForm::statusBar->clearMessage();
}

void zenaraForm::showStatusMessage(const QString& text, int timeoutMs)
{
    m_motorStatusShown = false; // the next poll leaves this line alone
    QMainWindow::statusBar()->showMessage(text, timeoutMs);
}

void zenaraForm::fatalError(const char* text)
{
    // The card's own words, such as the device and "busy", go under the line.
    QString message = tr(text);
    if (hw::CardLayer::backend() && !hw::CardLayer::backend()->openError().isEmpty())
        message += QStringLiteral("\n") + hw::CardLayer::backend()->openError();
    messages::critical(nullptr, tr("Fatal error"), message, tr("Quit"));
    // Ends here, before any settings are written and without closing the card.
    std::fflush(nullptr);
    ::_exit(-1);
}

bool zenaraForm::done(const core::Result& result)
{
    if (result.ok())
        return true;
    messages::warning(this, tr("Error"), result.warning);
    return false;
}

void zenaraForm::buttonPower_toggled(bool on)
{
    pushLnb();
    m_session->writeLnbControl();
    setPowerIndicator(on);
}

void zenaraForm::lnbTypeComboBox_activated(int item)
{
    if (item < 0 || item >= int(std::size(LnbPresets)))
        return;
    const LnbPreset& preset = LnbPresets[item];
    lineEditLOF1->setText(QString::fromLatin1(preset.lof1));
    lineEditSwitch->setText(QString::fromLatin1(preset.sw));
    lineEditLOF2->setText(QString::fromLatin1(preset.lof2));
    for (QLineEdit* field : {lineEditLOF1, lineEditSwitch, lineEditLOF2})
        field->setEnabled(preset.editable);
}

void zenaraForm::radioButtonDiSEqCNone_clicked()
{
    comboBoxDiSEqC10->setEnabled(false);
    comboBoxSimple->setEnabled(false);
}

void zenaraForm::radioButtonDiSEqCSimple_clicked()
{
    comboBoxSimple->setEnabled(true);
    comboBoxDiSEqC10->setEnabled(false);
}

void zenaraForm::radioButtonDiSEqC10_clicked()
{
    comboBoxDiSEqC10->setEnabled(true);
    comboBoxSimple->setEnabled(false);
}

void zenaraForm::buttonSet_clicked()
{
    done(m_session->tune());
}

void zenaraForm::freqListComboBox_activated(int index)
{
    m_session->chooseTransponder(index);
}

void zenaraForm::satlistComboBox_activated(int index)
{
    m_session->chooseSatellite(index);
}

void zenaraForm::satListToolbarComboBox_activated(int index)
{
    m_session->chooseSatellite(index);
}

void zenaraForm::positionsSpinBox_valueChanged(int position)
{
    m_session->choosePosition(position);
}

void zenaraForm::posSetButton_clicked()
{
    done(m_session->togglePosition());
}

void zenaraForm::showSatelliteList()
{
    const QStringList& labels = m_session->satellites().labels;
    for (QComboBox* box : {satlistComboBox, satListToolbarComboBox}) {
        box->clear();
        box->addItems(labels);
        box->setCurrentIndex(m_session->chosenRow());
    }
}

void zenaraForm::showChosenSatellite(int row)
{
    for (QComboBox* box : {satlistComboBox, satListToolbarComboBox})
        if (box->currentIndex() != row)
            box->setCurrentIndex(row);
    if (m_siteView && m_siteDock->isVisible())
        m_siteView->setSelectedRow(row);
}

void zenaraForm::showTransponders()
{
    freqListComboBox->clear();
    freqListComboBox->addItems(m_session->transponderEntries());
    freqListComboBox->setCurrentIndex(0);
}

void zenaraForm::showPosition(int position)
{
    const QSignalBlocker quiet(positionsSpinBox); // the session knows already
    positionsSpinBox->setValue(position);
    posSetButton->setEnabled(m_session->positionSettable());
    posSetButton->setText(m_session->positionSet() ? tr("UnSet") : tr("Set"));
}

void zenaraForm::haltMotorButton_clicked()
{
    done(m_session->halt());
}

void zenaraForm::limitEButton_clicked()
{
    done(m_session->limit(core::Session::Limit::East));
}

void zenaraForm::limitOffButton_clicked()
{
    done(m_session->limit(core::Session::Limit::Off));
}

void zenaraForm::LimitWButton_clicked()
{
    done(m_session->limit(core::Session::Limit::West));
}

void zenaraForm::storeButton_clicked()
{
    done(m_session->storePosition());
}

void zenaraForm::sendButton_clicked()
{
    done(m_session->sendRaw(
        {raw0->text(), raw1->text(), raw2->text(), raw3->text(), raw4->text(), raw5->text()}));
}

void zenaraForm::gotoButton_clicked()
{
    done(m_session->gotoPosition());
}

void zenaraForm::goToolButton_clicked()
{
    done(m_session->go());
}

void zenaraForm::gotoXYButton_clicked()
{
    done(m_session->usalsGoto());
}

void zenaraForm::tuneButton_clicked()
{
    done(m_session->autotune(tuneMethodComboBox->currentIndex(), stepTuningSpinBox->value()));
}

void zenaraForm::eastButton_clicked()
{
    drive(true);
}

void zenaraForm::westButton_clicked()
{
    drive(false);
}

void zenaraForm::drive(bool east)
{
    const int mode = typeStepComboBox->currentIndex();
    // Seconds are read again on every pass: the user may change them meanwhile.
    done(m_session->drive(east, mode, [this, mode] {
        return mode < 2 ? double(tuningSpinBox->value())
                        : tuningSpinBox->value() + decimalSpinBox->value() * 0.1;
    }));
}

void zenaraForm::typeStepComboBox_activated(int type)
{
    const optionvalues::Values& o = m_session->options();
    const positioner::ModeRange range = positioner::modeRange(type, o.maxAngle, o.oneDegreSteps);
    if (!range.valid)
        return;
    tuningSpinBox->setRange(range.minimum, range.maximum);
    if (range.resetValue)
        tuningSpinBox->setValue(0);
    if (!range.decimals)
        decimalSpinBox->setValue(0);
    decimalSpinBox->setEnabled(range.decimals);
}

void zenaraForm::showMotorStatus()
{
    QString text = m_session->positioner().motion().statusText(hw::CardLayer::clock().nowMs());
    const QString hint = m_session->motorHint();
    if (!hint.isEmpty())
        text = text.isEmpty() ? hint : text + QStringLiteral(". ") + hint;
    if (text.isEmpty()) {
        if (!m_motorStatusShown)
            return;
        QMainWindow::statusBar()->clearMessage();
        m_motorStatusShown = false;
        return;
    }
    if (QMainWindow::statusBar()->currentMessage() != text)
        QMainWindow::statusBar()->showMessage(text);
    m_motorStatusShown = true;
}

void zenaraForm::optionsDiSEqCButton_clicked()
{
    optionvalues::Values chosen;
    bool accepted = false;
    {
        DisqOptions dialog(this, m_session->options());
        accepted = dialog.exec() == QDialog::Accepted;
        chosen = dialog.values();
    }
    // Whichever button closed it, the window shows the options again; what
    // OK set is also written at once, so that a store that cannot be written
    // is said now.
    if (!accepted) {
        showOptions();
        return;
    }
    if (const QString problem = m_session->setOptions(chosen); !problem.isEmpty())
        messages::warning(this, tr("Settings"), problem);
    else
        m_session->saveSettingsNow();
}

void zenaraForm::showOptions()
{
    typeStepComboBox_activated(typeStepComboBox->currentIndex());
    const optionvalues::Values& o = m_session->options();
    m_session->history().applyAgcScale(o.agcScaleMin, o.agcScaleMax, o.agcAutoScale);
    updateSiteView();
}

void zenaraForm::helpAboutAction_activated()
{
    About about(this, nullptr, true);
    about.exec();
}

void zenaraForm::initPlot()
{
    HistoryPlot::Options options;
    options.agcScaleMin = m_session->options().agcScaleMin;
    options.agcScaleMax = m_session->options().agcScaleMax;
    options.agcAutoScale = m_session->options().agcAutoScale;
    options.showBer = toolButtonBER->isChecked();
    options.showSnr = toolButtonSNR->isChecked();
    options.showAgc = toolButtonAGC->isChecked();
    m_session->history().initPlot(statusPlot, options);
}

bool zenaraForm::startSignalLog(const QString& path)
{
    QString error;
    return m_session->startSignalLog(path, &error);
}

sound::ToneSettings zenaraForm::toneSettings() const
{
    const optionvalues::Values& o = m_session->options();
    sound::ToneSettings t;
    t.freqMinHz = o.acousticFreqMinHz;
    t.freqMaxHz = o.acousticFreqMaxHz;
    t.scaleMin = o.acousticScaleMin;
    t.scaleMax = o.acousticScaleMax;
    t.volume = o.acousticVolume;
    return t;
}

void zenaraForm::initSound()
{
    checkSoundResult(m_signaliser.init(findDataFile(QStringLiteral("lock.wav")), toneSettings()));
    soundAvailable = m_signaliser.available();
}

void zenaraForm::shutdownSound()
{
    checkSoundResult(m_signaliser.shutdown());
}

void zenaraForm::checkSoundResult(const QStringList& problems)
{
    for (const QString& problem : problems)
        messages::warning(this, tr("Error"), problem);
}

void zenaraForm::checkBoxAcoustic_toggled(bool on)
{
    m_signaliser.setEnabled(on);
}

void zenaraForm::toolButtonBER_toggled(bool on)
{
    m_session->history().setBerVisible(on);
}

void zenaraForm::toolButtonSNR_toggled(bool on)
{
    m_session->history().setSnrVisible(on);
}

void zenaraForm::toolButtonAGC_toggled(bool on)
{
    m_session->history().setAgcVisible(on);
}

void zenaraForm::toolButtonUcbClear_clicked()
{
    m_session->clearUcb();
}

void zenaraForm::showEvent(QShowEvent* event)
{
    m_everShown = true;
    QMainWindow::showEvent(event);
}

void zenaraForm::closeEvent(QCloseEvent* event)
{
    emit closing();
    // Closed while a drive waits: stop the motor rather than leave it running
    // to a time-out, and let the waits end so that the program can; a
    // calibration under way ends as a Halt ends it, changing nothing.
    m_session->calibrator().stop();
    if (m_session->positioner().driving())
        m_session->positioner().abandon();
    QMainWindow::closeEvent(event);
}

void zenaraForm::afterPoll()
{
    const PollReading& reading = m_session->lastReading();
    showReading(reading);
    if (soundAvailable)
        m_signaliser.tick(reading.locked, m_session->statusPoll()->currentAgc, toneSettings(),
                          checkBoxAcoustic->isChecked());
    showMotorStatus();
    if (m_siteDock && m_siteDock->isVisible())
        showDishOnSiteView();
    // The costly redraw is skipped while minimised; the history still moves.
    if (!isMinimized())
        statusPlot->replot();
}
