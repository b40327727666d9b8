#include "forms/zenaraform.h"

#include "app/embeddedimages.h"
#include "app/messages.h"
#include "app/terminationwatcher.h"
#include "forms/about.h"
#include "forms/disqoptions.h"
#include "forms/siteview.h"
#include "hw/cardlibrary.h"
#include "hw/demodulatoraccess.h"
#include "lists/satellitelist.h"
#include "lists/transponderlist.h"
#include "monitor/contrast.h"
#include "monitor/linkmargin.h"
#include "monitor/logging.h"
#include "monitor/networkcheck.h"
#include "monitor/statuspoll.h"
#include "positioner/commands.h"
#include "settings/datafiles.h"
#include "settings/logging.h"
#include "settings/settingsstore.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QDockWidget>
#include <QEventLoop>
#include <QLabel>
#include <QMenu>
#include <QRegularExpressionValidator>
#include <QShowEvent>
#include <QStatusBar>
#include <QTimer>
#include <QTimerEvent>
#include <QToolBar>
#include <QToolButton>

#include <cmath>
#include <cstdio>
#include <limits>
#include <unistd.h>

namespace {

const QColor FlagSet(0, 128, 0);   // dark green
const QColor FlagClear(128, 0, 0); // dark red
const QColor FlagInitial(170, 0, 0);
const QColor FlagUnknown(128, 128, 128); // the flag byte could not be read

void setBackground(QWidget* widget, const QBrush& brush)
{
    QPalette p = widget->palette();
    p.setBrush(QPalette::Window, brush);
    widget->setPalette(p);
    widget->setAutoFillBackground(true);
}

// A lock flag's colour says its state; its name stays readable on it in any
// theme (black on maroon was not).
void setFlagColour(QWidget* flag, const QColor& colour)
{
    QPalette p = flag->palette();
    if (p.color(QPalette::Window) == colour && flag->autoFillBackground())
        return;
    p.setColor(QPalette::Window, colour);
    p.setColor(QPalette::WindowText, contrast::textOn(colour));
    flag->setPalette(p);
    flag->setAutoFillBackground(true);
}

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
    : QMainWindow(parent, windowFlags)
{
    setupUi(this);
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

void zenaraForm::applyLook()
{
    for (QFrame* frame : {frame4, frame4_3, frame4_3_2, frame9, frameStatus})
        setBackground(frame, Qt::black);
    const QBrush black(EmbeddedImageFactory::pixmap(QStringLiteral("bg_black.png")));
    // The margin line is the longest text in the meters' frames.
    QFont small = labelMargin->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    labelMargin->setFont(small);
    for (QLabel* label : std::initializer_list<QLabel*>{
             textLabel4, textLabelBER, textLabel1_3, textLabel37, textLabelAGC, textLabel24,
             textLabel4_4_2, textLabelSNR, textLabel1_3_3_2, labelMargin}) {
        setBackground(label, black);
        QPalette p = label->palette();
        p.setColor(QPalette::WindowText, QColor(0, 255, 0));
        label->setPalette(p);
    }
    const QBrush green(EmbeddedImageFactory::pixmap(QStringLiteral("bg_green.gif")));
    const std::pair<QFrame*, LedMeter*> meters[] = {
        {frame4, ledMeterBER}, {frame4_3, ledMeterAGC}, {frame4_3_2, ledMeterSNR}};
    for (const auto& [frame, meter] : meters) {
        // A frame's own minimum width would hide from the layout what its
        // texts need (the margin line grows with its values and the font):
        // the meter keeps the frame's width instead.
        const QMargins m = frame->layout()->contentsMargins();
        meter->setMinimumSize(frame->minimumWidth() - m.left() - m.right() - 2 * frame->frameWidth(),
                              15);
        frame->setMinimumWidth(0);
        setBackground(meter, green);
        meter->setLineWidth(2);
    }
    setBackground(lCDNumberUCB,
                  QBrush(EmbeddedImageFactory::pixmap(QStringLiteral("bg_green3.gif"))));
    QPalette lcd = lCDNumberUCB->palette();
    lcd.setColor(QPalette::WindowText, QColor(0, 255, 0));
    lCDNumberUCB->setPalette(lcd);
    for (QLabel* label : {textLabelSIG, textLabelCAR, textLabelVIT, textLabelSYN, textLabelLCK,
                          textLabelTIM, textLabelRNT})
        setFlagColour(label, FlagInitial);
}

void zenaraForm::connectSignals()
{
    connect(radioButtonDiSEqCNone, &QRadioButton::clicked, this,
            &zenaraForm::radioButtonDiSEqCNone_clicked);
    connect(radioButtonDiSEqCSimple, &QRadioButton::clicked, this,
            &zenaraForm::radioButtonDiSEqCSimple_clicked);
    connect(radioButtonDiSEqC10, &QRadioButton::clicked, this,
            &zenaraForm::radioButtonDiSEqC10_clicked);
    connect(eastButton, &QToolButton::clicked, this, &zenaraForm::eastButton_clicked);
    connect(westButton, &QToolButton::clicked, this, &zenaraForm::westButton_clicked);
    connect(haltMotorButton, &QPushButton::clicked, this, &zenaraForm::haltMotorButton_clicked);
    connect(limitEButton, &QToolButton::clicked, this, &zenaraForm::limitEButton_clicked);
    connect(limitOffButton, &QToolButton::clicked, this, &zenaraForm::limitOffButton_clicked);
    connect(LimitWButton, &QToolButton::clicked, this, &zenaraForm::LimitWButton_clicked);
    connect(tuneButton, &QPushButton::clicked, this, &zenaraForm::tuneButton_clicked);
    connect(sendButton, &QToolButton::clicked, this, &zenaraForm::sendButton_clicked);
    connect(posSetButton, &QToolButton::clicked, this, &zenaraForm::posSetButton_clicked);
    connect(positionsSpinBox, QOverload<int>::of(&QSpinBox::valueChanged), this,
            &zenaraForm::positionsSpinBox_valueChanged);
    connect(satlistComboBox, QOverload<int>::of(&QComboBox::activated), this,
            &zenaraForm::satlistComboBox_activated);
    connect(typeStepComboBox, QOverload<int>::of(&QComboBox::activated), this,
            &zenaraForm::typeStepComboBox_activated);
    connect(freqListComboBox, QOverload<int>::of(&QComboBox::activated), this,
            &zenaraForm::freqListComboBox_activated);
    connect(lnbTypeComboBox, QOverload<int>::of(&QComboBox::activated), this,
            &zenaraForm::lnbTypeComboBox_activated);
    connect(buttonSet, &QPushButton::clicked, this, &zenaraForm::buttonSet_clicked);
    connect(fileExitAction, &QAction::triggered, this, &QWidget::close);
    connect(optionsSettingsAction, &QAction::triggered, this,
            &zenaraForm::optionsDiSEqCButton_clicked);
    connect(satListToolbarComboBox, QOverload<int>::of(&QComboBox::activated), this,
            &zenaraForm::satListToolbarComboBox_activated);
    connect(goToolButton, &QToolButton::clicked, this, &zenaraForm::goToolButton_clicked);
    connect(toolButtonUcbClear, &QToolButton::clicked, this,
            &zenaraForm::toolButtonUcbClear_clicked);
    connect(gotoButton, &QToolButton::clicked, this, &zenaraForm::gotoButton_clicked);
    connect(storeButton, &QToolButton::clicked, this, &zenaraForm::storeButton_clicked);
    connect(gotoXYButton, &QToolButton::clicked, this, &zenaraForm::gotoXYButton_clicked);
    connect(toolButtonBER, &QToolButton::toggled, this, &zenaraForm::toolButtonBER_toggled);
    connect(toolButtonSNR, &QToolButton::toggled, this, &zenaraForm::toolButtonSNR_toggled);
    connect(toolButtonAGC, &QToolButton::toggled, this, &zenaraForm::toolButtonAGC_toggled);
    connect(toolButtonHaltMotor, &QToolButton::clicked, this, &zenaraForm::haltMotorButton_clicked);
    connect(checkBoxAcoustic, &QCheckBox::toggled, this, &zenaraForm::checkBoxAcoustic_toggled);
    connect(helpAboutAction, &QAction::triggered, this, &zenaraForm::helpAboutAction_activated);
    // Return in a tuner field tunes, as Set does.
    for (QLineEdit* field : {lineEditFreq, lineEditSmbRate})
        connect(field, &QLineEdit::returnPressed, this, &zenaraForm::buttonSet_clicked);
    // Esc stops the motor from anywhere in the window.
    m_haltAction = new QAction(this);
    m_haltAction->setShortcut(QKeySequence(Qt::Key_Escape));
    m_haltAction->setShortcutContext(Qt::WindowShortcut);
    addAction(m_haltAction);
    connect(m_haltAction, &QAction::triggered, this, &zenaraForm::haltMotorButton_clicked);
    // buttonPower's toggled signal is connected only once the settings are loaded.
}

void zenaraForm::setTabOrder()
{
    // One round through every control, as the window reads: the toolbar, the
    // left pane, the right pane, the plot's buttons. A tab widget comes before
    // its pages (its tab bar then changes the page with the arrow keys); the
    // controls of a page not shown are passed over.
    const QList<QWidget*> order = {
        satListToolbarComboBox, goToolButton, toolButtonHaltMotor,
        // Tuner-Status, DiSEqC 1.0/2.0, LNB
        tabWidget, toolButtonUcbClear, checkBoxAcoustic, radioButtonDiSEqCNone,
        radioButtonDiSEqCSimple, comboBoxSimple, radioButtonDiSEqC10, comboBoxDiSEqC10,
        lnbTypeComboBox, lineEditLOF1, lineEditSwitch, lineEditLOF2, checkBoxIOUT650mA,
        checkBoxVHigh, buttonPower,
        // Tuner-Settings, DiSEqC 1.2 (with its own pages)
        tabWidget4, freqListComboBox, lineEditFreq, radioButtonVert, radioButtonHorz,
        lineEditSmbRate, buttonSet, Tune, satlistComboBox, gotoXYButton, positionsSpinBox,
        gotoButton, storeButton, posSetButton, eastButton, tuningSpinBox, decimalSpinBox,
        westButton, typeStepComboBox, stepTuningSpinBox, tuneMethodComboBox, tuneButton,
        limitEButton, limitOffButton, LimitWButton, raw0, raw1, raw2, raw3, raw4, raw5,
        sendButton, haltMotorButton,
        // the plot
        toolButtonBER, toolButtonAGC, toolButtonSNR};
    for (int i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order.at(i - 1), order.at(i));
}

void zenaraForm::languageChange()
{
    retranslateUi(this);
    satListToolbarComboBox->setToolTip(tr("Sattelite"));
    goToolButton->setToolTip(tr("Drive Motor to Satellite Position [nn] or Angular Position [°]"));
    // The key that does the same, where the button says what it does.
    const QString halt = tr("Stop Positioner Motor") + QStringLiteral(" (") +
                         QKeySequence(Qt::Key_Escape).toString(QKeySequence::NativeText) +
                         QLatin1Char(')');
    toolButtonHaltMotor->setToolTip(halt);
    haltMotorButton->setToolTip(halt);
    if (m_toolbarsMenu)
        m_toolbarsMenu->setTitle(tr("&Toolbars"));
    labelMargin->setWidestText(linkmargin::widestText());
}

void zenaraForm::initWindow()
{
    satelliteList = new SatelliteList;
    demodulatorAccess = new DemodulatorAccess;
    m_tuner = std::make_unique<tuning::Tuner>(frontend, *demodulatorAccess, hw::CardLayer::clock());
    m_poll = std::make_unique<StatusPoll>(*demodulatorAccess, hw::CardLayer::clock(), flags);
    m_poll->retune = [this] {
        tune(false);
    };

    // The View menu lists the toolbars with a check mark for each one shown.
    m_toolbarsMenu = viewMenu->addMenu(tr("&Toolbars"));
    for (QToolBar* bar : {fileToolbar, optionsToolbar, satelliteToolbar, haltMotorToolbar})
        m_toolbarsMenu->addAction(bar->toggleViewAction());

    // The installer's sky, in a window of its own until the user docks it; made
    // before the settings so that the stored layout can show it again.
    m_siteView = new SiteView;
    m_siteDock = new QDockWidget(tr("Site"), this);
    m_siteDock->setObjectName(QStringLiteral("siteDock"));
    m_siteDock->setWidget(m_siteView);
    // Beside the window, where a laptop's screen has room, not under it.
    m_siteDock->setAllowedAreas(Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea);
    addDockWidget(Qt::RightDockWidgetArea, m_siteDock);
    m_siteDock->setFloating(true);
    m_siteDock->resize(620, 580);
    m_siteDock->hide();
    viewMenu->addAction(m_siteDock->toggleViewAction());
    m_siteDock->addAction(m_haltAction); // a window of its own when floating
    // The network line stays in sight whichever page is showing.
    QMainWindow::statusBar()->insertPermanentWidget(0, labelNetwork);
    labelNetwork->setMinimumWidth(120); // a long name must not widen the window
    m_siteView->chosen = [this](int row) {
        satListToolbarComboBox->setCurrentIndex(row);
        satListToolbarComboBox_activated(row);
    };
    connect(m_siteDock, &QDockWidget::visibilityChanged, this, [this](bool visible) {
        if (visible)
            updateSiteView();
    });

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

    createPositioner();
    flags = tuning::ReceiverFlags{};

    loadSettings();
    initPlot();
    openBoard();
    buttonSet_clicked();
    initSound();
    if (!soundAvailable) {
        checkBoxAcoustic->setEnabled(false);
        // Say why, where the user looks: the box is off, not broken.
        checkBoxAcoustic->setToolTip(
            tr("No audio output was found, so the acoustic signal is off. It needs a sound "
               "card or sound server and Qt's audio plugins (libqt5multimedia5-plugins)."));
    }
    pollTimer = startTimer(StatusPoll::IntervalMs, Qt::PreciseTimer);
    if (!signalLogPath.isEmpty())
        startSignalLog(signalLogPath);
    // Which receiver this is, for good, at the right of the status bar.
    if (hw::CardLayer::backend() && !hw::CardLayer::backend()->description().isEmpty()) {
        // A frontend's own name stays as it is; the simulator's is translated.
        const QByteArray name = hw::CardLayer::backend()->description().toUtf8();
        auto* receiver = new QLabel(
            tr("Receiver: %1").arg(QCoreApplication::translate("Receivers", name.constData())));
        receiver->setObjectName(QStringLiteral("receiverLabel"));
        QMainWindow::statusBar()->addPermanentWidget(receiver);
    }
}

void zenaraForm::loadSettings()
{
    const auto settings = openSettings();
    const StoredSettings v = readSettings(*settings);

    frequency = v.frequency;
    lineEditFreq->setText(QString::number(frequency));
    symbolRate = v.symbolRate;
    lineEditSmbRate->setText(QString::number(symbolRate));
    polarization = v.polarization;
    m_tunedHorizontal = polarization != 1;
    m_storedGeometry = v;
    if (QAbstractButton* button = buttonGroupPolar->button(polarization))
        button->setChecked(true);

    agcScaleMin = v.agcScaleMin;
    agcScaleMax = v.agcScaleMax;
    agcAutoScale = v.agcAutoScale;
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

    acousticFreqMinHz = v.acousticFreqMinHz;
    acousticFreqMaxHz = v.acousticFreqMaxHz;
    acousticVolume = v.acousticVolume;
    acousticScaleMin = v.acousticScaleMin;
    acousticScaleMax = v.acousticScaleMax;
    checkBoxAcoustic->setChecked(v.acoustic);
    toolButtonBER->setChecked(v.curveBer);
    toolButtonSNR->setChecked(v.curveSnr);
    toolButtonAGC->setChecked(v.curveAgc);

    oneDegreSteps = v.oneDegreSteps;
    maxTimeOfPositioning = v.maxTimeOfPositioning;
    gapTime = v.gapTime;
    maxAngle = v.maxAngle;
    locationLatitude = v.locationLatitude;
    locationLongitude = v.locationLongitude;
    minElevation = v.minElevation;
    driveVersion = v.driveVersion;
    dishDiameter = v.dishDiameter;
    signalLogPath = v.signalLog;
    tuneMethodComboBox->setCurrentIndex(v.tuneMethod);
    transpondersPath = v.transpondersPath;

    if (!v.layout.isEmpty())
        restoreState(QByteArray::fromBase64(v.layout.toLatin1()));

    satelliteList->setSiteLatitude(locationLatitude);
    satelliteList->setSiteLongitude(locationLongitude);
    satelliteList->setMinimumElevation(minElevation);
    satelliteListPath = findDataFile(QStringLiteral("satlist.znr"));
    satelliteList->loadFile(satelliteListPath);
    if (!v.motorPositions.isEmpty())
        satelliteList->parseStoredPositions(v.motorPositions);
    satlistComboBox->addItems(satelliteList->labels);
    satListToolbarComboBox->addItems(satelliteList->labels);
    satelliteList->applySavedTransponders(v.freqList);
    m_savedFreqList = v.freqList;

    // A stored selection that is no longer in the lists is not used.
    currentPosition =
        v.currentPosition >= 0 && v.currentPosition < SatelliteList::StoredPositionCount
            ? v.currentPosition
            : 0;
    currentSat = v.currentSat > 0 && v.currentSat < satlistComboBox->count() ? v.currentSat : 0;
    m_keptCurrentSat = currentSat != v.currentSat ? v.currentSat : -1;
    m_keptCurrentPosition = currentPosition != v.currentPosition ? v.currentPosition : -1;
    if (satelliteList->satelliteCount() == 0) {
        const QString text = tr("No satellites: %1 was not found or holds none (looked for in the "
                                "working folder and in %2)")
                                 .arg(QStringLiteral("satlist.znr"),
                                      dataFolders().join(QStringLiteral(", ")));
        qCWarning(lcSettings, "%s", qPrintable(text));
        Ui_zenaraForm::statusBar->showMessage(text);
    }

    switch (buttonGroupDiSEqC->checkedId()) {
    case 0:
        radioButtonDiSEqCNone_clicked();
        break;
    case 1:
        radioButtonDiSEqCSimple_clicked();
        break;
    case 2:
        radioButtonDiSEqC10_clicked();
        break;
    default:
        break;
    }

    if (currentSat != 0) {
        satlistComboBox->setCurrentIndex(currentSat);
        satListToolbarComboBox->setCurrentIndex(currentSat);
        updateTransponders(currentSat);
    } else {
        positionsSpinBox->setValue(currentPosition);
        positionsSpinBox_valueChanged(currentPosition);
    }
    tuningSpinBox->setMaximum(int(std::floor(maxAngle * 2 * oneDegreSteps)));
    applyPositionerSettings();
    // Where the dish was last sent: the satellite of the last USALS goto, or
    // the reference (position 0, and where a new motor stands).
    double angle = qQNaN();
    QChar side;
    if (currentSat > 0 && currentSat < satlistComboBox->count()) {
        if (positioner::labelAngle(satlistComboBox->itemText(currentSat), &angle, &side))
            angle = side == QLatin1Char('W') ? -angle : angle;
    } else if (currentSat == 0 && currentPosition == 0) {
        angle = 0.0;
    }
    m_positioner->motion().assume(angle, hw::CardLayer::clock().nowMs());
    // The stored layout may have shown the Site view before the list was read.
    updateSiteView();
    setPowerIndicator(buttonPower->isChecked());
    connect(buttonPower, &QPushButton::toggled, this, &zenaraForm::buttonPower_toggled);
}

StoredSettings zenaraForm::currentSettings() const
{
    StoredSettings v;
    v.maximized = isMaximized();
    v.x = pos().x();
    v.y = pos().y();
    v.width = width();
    v.height = height();
    if (!m_everShown) {
        // Never on screen: its size and place say nothing of the user's.
        v.maximized = m_storedGeometry.maximized;
        v.x = m_storedGeometry.x;
        v.y = m_storedGeometry.y;
        v.width = m_storedGeometry.width;
        v.height = m_storedGeometry.height;
    }
    v.frequency = frequency;
    v.symbolRate = symbolRate;
    v.polarization = polarization;
    v.lnbPower = buttonPower->isChecked();
    v.lof1 = lineEditLOF1->text();
    v.lof2 = lineEditLOF2->text();
    v.lofSwitch = lineEditSwitch->text();
    v.lnbType = lnbTypeComboBox->currentIndex();
    v.iout650mA = checkBoxIOUT650mA->isChecked();
    v.voutHigh = checkBoxVHigh->isChecked();
    v.diseqc = buttonGroupDiSEqC->checkedId();
    v.simplePosition = comboBoxSimple->currentIndex();
    v.multiOption = comboBoxDiSEqC10->currentIndex();
    v.currentPosition = m_keptCurrentPosition >= 0 ? m_keptCurrentPosition : currentPosition;
    v.currentSat = m_keptCurrentSat >= 0 ? m_keptCurrentSat : currentSat;
    v.oneDegreSteps = oneDegreSteps;
    v.maxTimeOfPositioning = maxTimeOfPositioning;
    v.gapTime = gapTime;
    v.maxAngle = maxAngle;
    v.locationLongitude = locationLongitude;
    v.locationLatitude = locationLatitude;
    v.minElevation = minElevation;
    v.driveVersion = driveVersion;
    v.dishDiameter = dishDiameter;
    v.signalLog = signalLogPath;
    v.tuneMethod = tuneMethodComboBox->currentIndex();
    v.transpondersPath = transpondersPath;
    v.agcScaleMin = agcScaleMin;
    v.agcScaleMax = agcScaleMax;
    v.agcAutoScale = agcAutoScale;
    v.acoustic = checkBoxAcoustic->isChecked();
    v.acousticFreqMinHz = acousticFreqMinHz;
    v.acousticFreqMaxHz = acousticFreqMaxHz;
    v.acousticVolume = acousticVolume;
    v.acousticScaleMin = acousticScaleMin;
    v.acousticScaleMax = acousticScaleMax;
    v.curveBer = toolButtonBER->isChecked();
    v.curveSnr = toolButtonSNR->isChecked();
    v.curveAgc = toolButtonAGC->isChecked();
    v.motorPositions = satelliteList->storedPositionsText();
    v.freqList = transpondersToSave();
    v.layout = QString::fromLatin1(saveState().toBase64());
    return v;
}

QStringList zenaraForm::transpondersToSave() const
{
    // Without a satellite list nothing could have changed: what was read is
    // written back as it was, not an empty list.
    return satelliteList->satelliteCount() == 0 ? m_savedFreqList : satelliteList->lastTransponders;
}

bool zenaraForm::saveListsNow()
{
    const bool written = writeListsNow(satelliteList->storedPositionsText(), transpondersToSave());
    reportSettingsWrite(written);
    return written;
}

void zenaraForm::reportSettingsWrite(bool written)
{
    ++m_saveAttempts;
    m_lastSaveError =
        written ? QString()
                : tr("The settings could not be written to %1")
                      .arg(QDir::toNativeSeparators(settingsPath()));
    // Said once until a write succeeds again: the user may be clicking through
    // positions, and a box on every click would be worse than the fault.
    if (written) {
        if (m_settingsWriteFailed)
            Ui_zenaraForm::statusBar->clearMessage();
        m_settingsWriteFailed = false;
        return;
    }
    if (m_settingsWriteFailed)
        return;
    m_settingsWriteFailed = true;
    qCWarning(lcSettings, "%s", qPrintable(m_lastSaveError));
    Ui_zenaraForm::statusBar->showMessage(m_lastSaveError);
}

bool zenaraForm::saveSettingsNow()
{
    const auto settings = openSettings();
    writeSettings(*settings, currentSettings());
    settings->sync();
    const bool written = writtenOut(*settings);
    reportSettingsWrite(written);
    return written;
}

void zenaraForm::saveSettings()
{
    {
        const auto settings = openSettings();
        writeSettings(*settings, currentSettings());
        settings->sync();
        if (!writtenOut(*settings)) {
            // Everything changed in this session is lost: say it where the user
            // looks. After a signal nobody is at the window; the terminal hears.
            const QString text =
                tr("The settings could not be written to %1; the changes of this session "
                   "are lost.")
                    .arg(QDir::toNativeSeparators(settings->fileName()));
            qCWarning(lcSettings, "%s", qPrintable(text));
            if (!TerminationWatcher::pending())
                messages::warning(nullptr, tr("Error"), text);
        }
    }

    shutdownSound();
    m_poll.reset();
    m_tuner.reset();
    delete demodulatorAccess;
    demodulatorAccess = nullptr;
    delete satelliteList;
    satelliteList = nullptr;
    CDVBCommon::CloseDevice();
}

int zenaraForm::openBoard()
{
    if (CDVBCommon::OpenDevice(0, nullptr, 0) == 0)
        fatalError(QT_TR_NOOP("CDVBCommon::OpenDevice(0) failed"));
    if (frontend.Init() != DVB_ERR_NONE)
        fatalError(QT_TR_NOOP("CDVBFrontend::Init() failed"));
    if (locateBusRoutines() != 0)
        fatalError(QT_TR_NOOP("Unknown version ttlcdacc.dll"));
    return 0;
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

tuning::Request zenaraForm::requestFromControls(bool fromControls) const
{
    tuning::Request r;
    if (fromControls) {
        r.frequency = lineEditFreq->text();
        r.symbolRate = lineEditSmbRate->text();
        r.horizontal = buttonGroupPolar->checkedId() != 1;
    } else {
        r.frequency = QString::number(frequency);
        r.symbolRate = QString::number(symbolRate);
        r.horizontal = polarization != 1;
    }
    r.lof1 = lineEditLOF1->text();
    r.lof2 = lineEditLOF2->text();
    r.switchFrequency = lineEditSwitch->text();
    r.diseqc = tuning::DiseqcMode(std::clamp(buttonGroupDiSEqC->checkedId(), 0, 2));
    r.burst = comboBoxSimple->currentIndex();
    r.switchItem = comboBoxDiSEqC10->currentIndex();
    r.supplyOn = buttonPower->isChecked();
    return r;
}

int zenaraForm::tune(bool fromControls)
{
    const tuning::Request request = requestFromControls(fromControls);
    const tuning::Result result = m_tuner->tune(request, flags);
    if (result.refused && !fromControls)
        flags.tuneFailed = true; // the remembered transponder itself: no more re-tunes
    if (!result.refused) {
        // What was measured before belongs to the old channel (wait-lock,
        // status, margin, network). A refused tune sent nothing: the receiver
        // is still on it.
        lineEditFEC->clear();
        m_lastReading = PollReading();
        m_margin = linkmargin::Estimate();
        m_networkState = NetworkState::NotAsked;
        labelNetwork->clear();
    }
    if (result.status != 0) {
        QString text = tr(result.error.toLatin1().constData());
        if (!result.errorArg1.isEmpty())
            text = text.arg(result.errorArg1, result.errorArg2);
        // The automatic re-tune comes back every 5.5 s: a failure the user has
        // already been shown is not shown again until a tune succeeds.
        if (!fromControls && text == m_tuneWarningShown) {
            qCDebug(lcMonitor, "The automatic re-tune failed again: %s", qPrintable(text));
            return -1;
        }
        m_tuneWarningShown = text;
        messages::warning(this, tr("Error"), text);
        return -1;
    }
    m_tuneWarningShown.clear();
    m_tunedHorizontal = request.horizontal;
    writeLnbControl(buttonPower->isChecked());
    return 0;
}

void zenaraForm::writeLnbControl(bool supplyOn)
{
    // The supply voltage follows the polarisation last tuned, not a radio button
    // clicked since: the automatic re-tune tunes the remembered transponder.
    demodulatorAccess->lnbp21_write_byte(tuning::lnbp21Byte(
        supplyOn, m_tunedHorizontal, checkBoxIOUT650mA->isChecked(), checkBoxVHigh->isChecked()));
}

void zenaraForm::setPowerIndicator(bool on)
{
    setBackground(framePower, on ? QColor(Qt::green) : QColor(Qt::lightGray));
}

void zenaraForm::buttonPower_toggled(bool on)
{
    writeLnbControl(on);
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
    if (tune(true) != 0)
        return;
    rememberTransponder();
    toolButtonUcbClear_clicked();
}

void zenaraForm::rememberTransponder()
{
    frequency = int(tuning::parseField(lineEditFreq->text()).value);
    symbolRate = int(tuning::parseField(lineEditSmbRate->text()).value);
    polarization = buttonGroupPolar->checkedId() == 1 ? 1 : 0;
    const QString letter = polarization != 0 ? QStringLiteral("V") : QStringLiteral("H");
    addPlotMarker(QStringLiteral("%1, %2, %3").arg(frequency).arg(letter).arg(symbolRate));
    const int index = satlistComboBox->currentIndex();
    if (index > 0 && index < satelliteList->shownNumbers.size()) {
        // A number without an entry is never used as an index.
        if (satelliteList->setLastTransponder(
                satelliteList->shownNumbers.at(index),
                QStringLiteral("%1,%2,%3")
                    .arg(lineEditFreq->text(), letter, lineEditSmbRate->text())))
            saveListsNow();
    }
}

void zenaraForm::updateTransponders(int index)
{
    if (index <= 0 || index >= satelliteList->shownFiles.size())
        return;
    readTransponderFile(resolveTranspondersPath(transpondersPath, satelliteListPath) +
                        satelliteList->shownFiles.at(index));
}

void zenaraForm::readTransponderFile(const QString& path)
{
    QStringList entries;
    if (!transponders::readEntries(path, &entries))
        return; // the previous entries stay
    freqListComboBox->clear();
    freqListComboBox->addItems(entries);
    freqListComboBox->setCurrentIndex(0);
}

void zenaraForm::freqListComboBox_activated(int index)
{
    if (index == 0)
        return;
    const transponders::Fields f = transponders::parseEntry(freqListComboBox->currentText());
    if (!f.ok)
        return;
    lineEditFreq->setText(f.frequency);
    lineEditSmbRate->setText(f.symbolRate);
    (f.vertical() ? radioButtonVert : radioButtonHorz)->setChecked(true);
}

void zenaraForm::chosenSatelliteChanged(int index)
{
    if (m_networkState == NetworkState::Found)
        showNetwork(); // the verdict depends on the chosen satellite
    if (m_siteView && m_siteDock->isVisible())
        m_siteView->setSelectedRow(index);
}

void zenaraForm::satlistComboBox_activated(int index)
{
    chosenSatelliteChanged(index);
    if (satListToolbarComboBox->currentIndex() != index)
        satListToolbarComboBox->setCurrentIndex(index);
    if (index == 0) {
        freqListComboBox->clear();
        return;
    }
    if (index < 0 || index >= satelliteList->shownNumbers.size())
        return;
    updateTransponders(index);
    const int number = satelliteList->shownNumbers.at(index);
    const QString last = satelliteList->lastTransponderOf(number);
    if (last != QLatin1String("None")) {
        const transponders::Fields f = transponders::parseRemembered(last);
        if (f.ok) {
            lineEditFreq->setText(f.frequency);
            (f.vertical() ? radioButtonVert : radioButtonHorz)->setChecked(true);
            lineEditSmbRate->setText(f.symbolRate);
        }
    }
    const int position = satelliteList->storedPositionOf(number);
    if (position >= 0) {
        positionsSpinBox->setValue(position);
        posSetButton->setText(tr("UnSet"));
    } else {
        posSetButton->setText(tr("Set"));
    }
}

void zenaraForm::satListToolbarComboBox_activated(int index)
{
    satlistComboBox->setCurrentIndex(index);
    satlistComboBox_activated(index);
}

void zenaraForm::positionsSpinBox_valueChanged(int position)
{
    // The spin box reaches 60 (the motor takes it); the table has positions 0
    // to 59 only, so there is nothing to set at 60.
    const bool inTable = position >= 0 && position < SatelliteList::StoredPositionCount;
    posSetButton->setEnabled(inTable);
    if (!inTable) {
        posSetButton->setText(tr("Set"));
        return;
    }
    const int number = satelliteList->storedPositions.at(position);
    if (number == -1) {
        posSetButton->setText(tr("Set"));
        return;
    }
    const int index = satelliteList->indexOfShown(number);
    if (index == -1)
        return;
    satlistComboBox->setCurrentIndex(index);
    satListToolbarComboBox->setCurrentIndex(index);
    updateTransponders(index);
    posSetButton->setText(tr("UnSet"));
    chosenSatelliteChanged(index);
}

void zenaraForm::posSetButton_clicked()
{
    const int index = satlistComboBox->currentIndex();
    const int position = positionsSpinBox->value();
    if (index <= 0 || index >= satelliteList->shownNumbers.size() || position < 0 ||
        position >= SatelliteList::StoredPositionCount)
        return;
    const int number = satelliteList->shownNumbers.at(index);
    QString text = satlistComboBox->currentText();
    if (satelliteList->storedPositions.at(position) == number) {
        satelliteList->storedPositions[position] = -1;
        text.remove(SatelliteList::positionLabel(QString(), position));
        posSetButton->setText(tr("Set"));
    } else {
        // The satellite that held the position loses its suffix for it.
        const int previous = satelliteList->storedPositions.at(position);
        const int previousIndex = previous == -1 ? -1 : satelliteList->indexOfShown(previous);
        if (previousIndex > 0) {
            QString old = satlistComboBox->itemText(previousIndex);
            old.remove(SatelliteList::positionLabel(QString(), position));
            satlistComboBox->setItemText(previousIndex, old);
            satListToolbarComboBox->setItemText(previousIndex, old);
        }
        satelliteList->storedPositions[position] = number;
        text = SatelliteList::positionLabel(text, position);
        posSetButton->setText(tr("UnSet"));
    }
    satlistComboBox->setItemText(index, text);
    satListToolbarComboBox->setItemText(index, text);
    // Stored positions are written at once, not only at exit.
    saveListsNow();
}

void zenaraForm::createPositioner()
{
    positioner::Positioner::Hooks hooks;
    hooks.send = [this](const QByteArray& m) {
        return demodulatorAccess->tda10086_send_master_cmd(
            reinterpret_cast<const unsigned char*>(m.constData()), m.size());
    };
    hooks.marker = [this](const QString& label) {
        addPlotMarker(label);
    };
    hooks.warn = [this](const QString& text) {
        messages::warning(this, tr("Error"), text);
    };
    hooks.showRaw = [this](const QByteArray& m) {
        const QStringList texts = positioner::rawFieldTexts(m);
        QLineEdit* const fields[6] = {raw0, raw1, raw2, raw3, raw4, raw5};
        for (int i = 0; i < 6; ++i)
            fields[i]->setText(texts.at(i));
    };
    hooks.processEvents = [] {
        // Sleeps until something happens (the poll, a click) or 20 ms pass,
        // rather than spinning through an empty event queue.
        QEventLoop loop;
        QTimer::singleShot(20, &loop, &QEventLoop::quit);
        loop.exec();
    };
    hooks.motionChanged = [this] {
        showMotorStatus();
    };
    hooks.later = [this](int ms, std::function<void()> run) {
        QTimer::singleShot(ms, this, std::move(run));
    };
    m_positioner = std::make_unique<positioner::Positioner>(hw::CardLayer::clock(), hooks);
    m_positioner->haltRequested = false;
    m_positioner->diseqcRepeatCount = 3;
}

void zenaraForm::applyPositionerSettings()
{
    if (!m_positioner)
        return;
    positioner::Positioner::Settings s;
    s.stepsPerDegree = oneDegreSteps;
    s.msPerDegree = maxTimeOfPositioning;
    s.driveVersion = driveVersion;
    s.siteLatitude = locationLatitude;
    m_positioner->setSettings(s);
}

QStringList zenaraForm::rawFields() const
{
    return {raw0->text(), raw1->text(), raw2->text(), raw3->text(), raw4->text(), raw5->text()};
}

void zenaraForm::watchWestGoto(bool west, bool hadCarrier)
{
    m_motorHint.clear();
    // Only a dish that had a carrier says by its signal whether it moved: on
    // empty sky the readings stay flat either way.
    if (west && hadCarrier)
        m_stillness.start(hw::CardLayer::clock().nowMs());
    else
        m_stillness.stop();
}

bool zenaraForm::hasCarrier() const
{
    return m_lastReading.flagsValid && (m_lastReading.flags & (SignalFlag | CarrierFlag));
}

void zenaraForm::haltMotorButton_clicked()
{
    watchWestGoto(false);
    m_positioner->halt();
    showMotorStatus();
}

void zenaraForm::limitEButton_clicked()
{
    m_positioner->limitEast();
}

void zenaraForm::limitOffButton_clicked()
{
    m_positioner->limitsOff();
}

void zenaraForm::LimitWButton_clicked()
{
    m_positioner->limitWest();
}

void zenaraForm::storeButton_clicked()
{
    m_positioner->storePosition(positionsSpinBox->value());
}

void zenaraForm::sendButton_clicked()
{
    m_positioner->sendRaw(rawFields());
}

void zenaraForm::gotoButton_clicked()
{
    const int position = positionsSpinBox->value();
    if (!m_positioner->gotoPosition(position))
        return;
    watchWestGoto(false);
    currentPosition = position;
    currentSat = 0;
    m_keptCurrentSat = m_keptCurrentPosition = -1;
    showMotorStatus();
    // Position 60 can be sent, but the table ends at 59.
    if (position < 0 || position >= SatelliteList::StoredPositionCount ||
        satelliteList->storedPositions.at(position) == -1)
        return;
    // The satellite selected in the box (not the one stored there) is tuned.
    const int index = satlistComboBox->currentIndex();
    if (index <= 0 || index >= satelliteList->shownNumbers.size())
        return;
    if (satelliteList->lastTransponderOf(satelliteList->shownNumbers.at(index)) !=
        QLatin1String("None"))
        buttonSet_clicked();
}

void zenaraForm::goToolButton_clicked()
{
    if (satListToolbarComboBox->currentIndex() <= 0)
        return;
    const int index = satlistComboBox->currentIndex();
    if (index <= 0 || index >= satelliteList->shownNumbers.size())
        return;
    if (satelliteList->storedPositionOf(satelliteList->shownNumbers.at(index)) == -1)
        gotoXYButton_clicked();
    else
        gotoButton_clicked();
}

void zenaraForm::gotoXYButton_clicked()
{
    const int index = satlistComboBox->currentIndex();
    if (index <= 0 || index >= satelliteList->shownNumbers.size())
        return;
    double angle = 0;
    QChar side;
    if (!positioner::labelAngle(satlistComboBox->currentText(), &angle, &side) ||
        (side != QLatin1Char('E') && side != QLatin1Char('W'))) {
        // Nothing went out, so nothing is remembered or tuned either.
        m_motorStatusShown = false; // the next poll leaves the line alone
        QMainWindow::statusBar()->showMessage(
            tr("Goto x.x°: the selected row shows no motor angle, so nothing was sent"), 10000);
        return;
    }
    const bool carrier = hasCarrier();
    if (!m_positioner->usalsGoto(angle, side == QLatin1Char('E')))
        return;
    currentPosition = 0;
    currentSat = index;
    m_keptCurrentSat = m_keptCurrentPosition = -1;
    // The fields hold the satellite's remembered transponder since it was selected.
    if (satelliteList->lastTransponderOf(satelliteList->shownNumbers.at(index)) !=
        QLatin1String("None"))
        buttonSet_clicked();
    watchWestGoto(side == QLatin1Char('W'), carrier); // from the new channel's readings
}

void zenaraForm::tuneButton_clicked()
{
    if (!m_poll)
        return;
    if (tuneMethodComboBox->currentIndex() == 1) {
        // SNR follows the wanted carrier alone; without a lock there is none,
        // and the AGC has to do.
        const bool snr = m_poll->currentLocked;
        const int halfSpan = m_positioner->sweepHalfSpan(dishDiameter, frequency);
        m_positioner->sweepTune(
            halfSpan, std::max(gapTime, int(StatusPoll::IntervalMs)), 2,
            [this, snr] { return snr ? m_poll->currentSnr : m_poll->currentAgc; });
        return;
    }
    m_positioner->autotune(stepTuningSpinBox->value(), gapTime,
                           [this] { return m_poll->currentAgc; });
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
    watchWestGoto(false);
    m_positioner->haltRequested = false;
    const double degrees = tuningSpinBox->value() + decimalSpinBox->value() * 0.1;
    switch (typeStepComboBox->currentIndex()) {
    case 0:
        m_positioner->driveSteps(east, tuningSpinBox->value());
        break;
    case 1:
        m_positioner->driveSeconds(east, [this] { return tuningSpinBox->value(); });
        break;
    case 2:
        m_positioner->driveDegrees(east, degrees);
        break;
    case 3:
        if (const bool carrier = hasCarrier(); m_positioner->gotoAngle(east, degrees))
            watchWestGoto(!east, carrier);
        break;
    default:
        break;
    }
    showMotorStatus();
}

void zenaraForm::typeStepComboBox_activated(int type)
{
    const positioner::ModeRange range = positioner::modeRange(type, maxAngle, oneDegreSteps);
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
    emit motionChanged();
    QString text = m_positioner->motion().statusText(hw::CardLayer::clock().nowMs());
    if (!m_motorHint.isEmpty())
        text = text.isEmpty() ? m_motorHint : text + QStringLiteral(". ") + m_motorHint;
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

optionvalues::Values zenaraForm::optionValues() const
{
    optionvalues::Values v;
    v.longitude = locationLongitude;
    v.latitude = locationLatitude;
    v.minElevation = minElevation;
    v.dishDiameter = dishDiameter;
    v.agcScaleMin = agcScaleMin;
    v.agcScaleMax = agcScaleMax;
    v.agcAutoScale = agcAutoScale;
    v.driveVersion = driveVersion;
    v.oneDegreSteps = oneDegreSteps;
    v.maxTimeOfPositioning = maxTimeOfPositioning;
    v.gapTime = gapTime;
    v.maxAngle = maxAngle;
    v.acousticFreqMinHz = acousticFreqMinHz;
    v.acousticFreqMaxHz = acousticFreqMaxHz;
    v.acousticVolume = acousticVolume;
    v.acousticScaleMin = acousticScaleMin;
    v.acousticScaleMax = acousticScaleMax;
    return v;
}

void zenaraForm::setOptionValues(const optionvalues::Values& v)
{
    oneDegreSteps = v.oneDegreSteps;
    maxTimeOfPositioning = v.maxTimeOfPositioning;
    gapTime = v.gapTime;
    maxAngle = v.maxAngle;
    locationLatitude = v.latitude;
    locationLongitude = v.longitude;
    minElevation = v.minElevation;
    dishDiameter = v.dishDiameter;
    agcScaleMin = v.agcScaleMin;
    agcScaleMax = v.agcScaleMax;
    agcAutoScale = v.agcAutoScale;
    driveVersion = v.driveVersion;
    acousticFreqMinHz = v.acousticFreqMinHz;
    acousticFreqMaxHz = v.acousticFreqMaxHz;
    acousticVolume = v.acousticVolume;
    acousticScaleMin = v.acousticScaleMin;
    acousticScaleMax = v.acousticScaleMax;
}

void zenaraForm::optionsDiSEqCButton_clicked()
{
    bool accepted = false;
    {
        DisqOptions dialog(this);
        accepted = dialog.exec() == QDialog::Accepted;
    }
    // Whichever button closed it, what is set now is applied; what OK set is
    // also written at once, so that a store that cannot be written is said now.
    applyOptions();
    if (accepted)
        saveSettingsNow();
}

void zenaraForm::applyOptions()
{
    if (locationLatitude != satelliteList->siteLatitude() ||
        locationLongitude != satelliteList->siteLongitude() ||
        minElevation != satelliteList->minimumElevation()) {
        satelliteList->setMinimumElevation(minElevation);
        satelliteList->setLocation(locationLongitude, locationLatitude);
        satlistComboBox->clear();
        satListToolbarComboBox->clear();
        satlistComboBox->addItems(satelliteList->labels);
        satListToolbarComboBox->addItems(satelliteList->labels);
        positionsSpinBox_valueChanged(currentPosition);
    }
    applyPositionerSettings();
    typeStepComboBox_activated(typeStepComboBox->currentIndex());
    m_history.applyAgcScale(agcScaleMin, agcScaleMax, agcAutoScale);
    updateSiteView();
}

double zenaraForm::chosenPosition() const
{
    const int index = satlistComboBox->currentIndex();
    if (!satelliteList || index <= 0 || index >= satelliteList->shownNumbers.size())
        return std::numeric_limits<double>::quiet_NaN();
    const int at = satelliteList->numbers.indexOf(satelliteList->shownNumbers.at(index));
    return at >= 0 ? satelliteList->orbitalPositions.at(at)
                   : std::numeric_limits<double>::quiet_NaN();
}

void zenaraForm::checkNetwork(bool locked)
{
    hw::CardBackend* card = hw::CardLayer::backend();
    hw::TransportStream* stream = card ? card->transportStream() : nullptr;
    if (!stream)
        return; // a register-only card: nothing to say
    if (!locked) {
        // The dish may be moving to another satellite: what was read no longer
        // holds, and the next lock reads again.
        if (m_networkState != NetworkState::NotAsked) {
            m_networkState = NetworkState::NotAsked;
            labelNetwork->clear();
        }
        return;
    }
    if (m_networkState == NetworkState::NotAsked) {
        stream->startNetworkRead(NetworkTimeLimitMs);
        m_networkState = NetworkState::Reading;
    }
    if (m_networkState != NetworkState::Reading)
        return;
    switch (stream->networkState(&m_network)) {
    case hw::TransportStream::State::Reading:
        return;
    case hw::TransportStream::State::Found:
        m_networkState = NetworkState::Found;
        showNetwork();
        return;
    case hw::TransportStream::State::None:
        m_networkState = NetworkState::None;
        labelNetwork->setPalette(QPalette());
        labelNetwork->setText(networkcheck::noneText());
        return;
    }
}

void zenaraForm::showNetwork()
{
    const double chosen = chosenPosition();
    m_networkVerdict = networkcheck::verdict(m_network, chosen);
    QPalette p;
    // Green or red, as dark or light as the status bar needs to read it.
    const QColor bar = QMainWindow::statusBar()->palette().color(QPalette::Window);
    if (m_networkVerdict == networkcheck::Verdict::Match)
        p.setColor(QPalette::WindowText, contrast::readableShade(QColor(0, 128, 0), bar));
    else if (m_networkVerdict == networkcheck::Verdict::Mismatch)
        p.setColor(QPalette::WindowText, contrast::readableShade(QColor(170, 0, 0), bar));
    labelNetwork->setPalette(p);
    labelNetwork->setText(networkcheck::text(m_network, m_networkVerdict, chosen));
}

void zenaraForm::updateSiteView()
{
    if (!m_siteView || !satelliteList)
        return;
    QVector<SiteView::Satellite> satellites;
    for (int row = 1; row < satelliteList->shownNumbers.size(); ++row) {
        const int at = satelliteList->numbers.indexOf(satelliteList->shownNumbers.at(row));
        if (at >= 0)
            satellites.append(
                {row, satelliteList->orbitalPositions.at(at), satelliteList->names.at(at)});
    }
    m_siteView->setSite(locationLatitude, locationLongitude);
    m_siteView->setSatellites(satellites);
    m_siteView->setSelectedRow(satlistComboBox->currentIndex());
    showDishOnSiteView();
}

void zenaraForm::showDishOnSiteView()
{
    if (!m_siteView || !m_positioner)
        return;
    m_siteView->setDishAngle(m_positioner->motion().angle(hw::CardLayer::clock().nowMs()));
}

void zenaraForm::helpAboutAction_activated()
{
    About about(this, nullptr, true);
    about.exec();
}

void zenaraForm::initPlot()
{
    HistoryPlot::Options options;
    options.agcScaleMin = agcScaleMin;
    options.agcScaleMax = agcScaleMax;
    options.agcAutoScale = agcAutoScale;
    options.showBer = toolButtonBER->isChecked();
    options.showSnr = toolButtonSNR->isChecked();
    options.showAgc = toolButtonAGC->isChecked();
    m_history.initPlot(statusPlot, options);
}

void zenaraForm::ageMarkers()
{
    m_history.ageMarkers();
}

void zenaraForm::addPlotMarker(const QString& label)
{
    m_history.addPlotMarker(label);
    if (m_log.isOpen())
        m_markersSinceLog.append(label);
}

bool zenaraForm::startSignalLog(const QString& path)
{
    QString error;
    m_markersSinceLog.clear();
    if (!m_log.open(path, &error)) {
        const QString text = tr("The signal log %1 cannot be written: %2")
                                 .arg(QDir::toNativeSeparators(path), error);
        qCWarning(lcSettings, "%s", qPrintable(text));
        QMainWindow::statusBar()->showMessage(text);
        return false;
    }
    return true;
}

void zenaraForm::logReading(const PollReading& r)
{
    SignalLog::Entry e;
    e.when = QDateTime::currentDateTime().toOffsetFromUtc(
        QDateTime::currentDateTime().offsetFromUtc()); // local time with its offset
    e.frequencyMHz = frequency;
    e.horizontal = polarization != 1;
    e.symbolRateKs = symbolRate;
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
    m_markersSinceLog.clear();
    if (!m_log.write(e)) {
        // Said once: the log has stopped.
        const QString text = tr("The signal log %1 could not be written; logging stopped")
                                 .arg(QDir::toNativeSeparators(m_log.path()));
        qCWarning(lcSettings, "%s", qPrintable(text));
        QMainWindow::statusBar()->showMessage(text);
    }
}

sound::ToneSettings zenaraForm::toneSettings() const
{
    sound::ToneSettings t;
    t.freqMinHz = acousticFreqMinHz;
    t.freqMaxHz = acousticFreqMaxHz;
    t.scaleMin = acousticScaleMin;
    t.scaleMax = acousticScaleMax;
    t.volume = acousticVolume;
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
    m_history.setBerVisible(on);
}

void zenaraForm::toolButtonSNR_toggled(bool on)
{
    m_history.setSnrVisible(on);
}

void zenaraForm::toolButtonAGC_toggled(bool on)
{
    m_history.setAgcVisible(on);
}

void zenaraForm::toolButtonUcbClear_clicked()
{
    m_poll->clearUcb();
    lCDNumberUCB->display(0);
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
    // to a time-out, and let the waits end so that the program can.
    if (m_positioner && m_positioner->driving())
        m_positioner->abandon();
    QMainWindow::closeEvent(event);
}

void zenaraForm::timerEvent(QTimerEvent* event)
{
    Q_UNUSED(event) // the poll timer is the window's only timer
    if (!m_poll)
        return;
    const PollReading reading = m_poll->poll();
    m_lastReading = reading;
    if (m_stillness.still(hw::CardLayer::clock().nowMs(), reading.flagsValid, reading.flags,
                          reading.agcValid, reading.agcPercent, reading.snrValid,
                          reading.snrPercent))
        m_motorHint = driveVersion == 1
                          ? tr("The signal has not changed since the goto west: if the dish did "
                               "not move, the motor may need the Typical west code 0x00 "
                               "(Options, Settings, Drive Motor, Version).")
                          : tr("The signal has not changed since the goto west: if the dish did "
                               "not move, the motor may need the STAB west code 0xD0 (Options, "
                               "Settings, Drive Motor, Version).");
    showReading(reading);
    checkNetwork(reading.locked);
    if (soundAvailable)
        m_signaliser.tick(reading.locked, m_poll->currentAgc, toneSettings(),
                          checkBoxAcoustic->isChecked());
    m_history.push(reading.berSample, reading.agcSample, reading.snrSample);
    if (m_log.isOpen())
        logReading(reading);
    ageMarkers();
    showMotorStatus();
    if (m_siteDock && m_siteDock->isVisible())
        showDishOnSiteView();
    // The costly redraw is skipped while minimised; the history still moves.
    if (!isMinimized())
        statusPlot->replot();
    emit polled();
}

void zenaraForm::showReading(const PollReading& r)
{
    QLabel* const flagLabels[7] = {textLabelSIG, textLabelCAR, textLabelVIT, textLabelSYN,
                                   textLabelLCK, textLabelTIM, textLabelRNT};
    for (int bit = 0; bit < 7; ++bit)
        setFlagColour(flagLabels[bit], !r.flagsValid            ? FlagUnknown
                                       : (r.flags & (1 << bit)) ? FlagSet
                                                                : FlagClear);
    if (r.fecChanged)
        lineEditFEC->setText(r.fecText);
    textLabelBER->setText(r.berText);
    ledMeterBER->setValue(r.berMeter);
    if (r.ucbChanged)
        lCDNumberUCB->display(r.ucbTotal);
    textLabelAGC->setText(r.agcText);
    ledMeterAGC->setValue(r.agcMeter);
    textLabelSNR->setText(r.snrText);
    ledMeterSNR->setValue(r.snrMeter);

    double measuredDb = std::numeric_limits<double>::quiet_NaN();
    if (const hw::CardBackend* card = hw::CardLayer::backend())
        card->carrierToNoiseDb(&measuredDb);
    m_margin = linkmargin::estimate(r.snrValid, r.snrMeter, r.flagsValid && (r.flags & 0x02),
                                    r.locked, lineEditFEC->text(), measuredDb);
    labelMargin->setText(linkmargin::text(m_margin));
}
