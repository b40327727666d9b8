// The main window on the simulated card: its fixed texts, the tuning controls,
// and the status poll as the user sees it.

#include "app/messages.h"
#include "forms/disqoptions.h"
#include "forms/phonemeter.h"
#include "forms/siteview.h"
#include "forms/zenaraform.h"
#include "hw/demodulatoraccess.h"
#include "lists/satellitelist.h"
#include "lists/sitegeometry.h"
#include "monitor/contrast.h"
#include "monitor/networkcheck.h"
#include "monitor/statuspoll.h"
#include "settings/settingsstore.h"
#include "testsupport.h"
#include "web/webserver.h"

#include <QButtonGroup>
#include <QDockWidget>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTabBar>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <csignal>
#include <qwt_plot.h>
#include <qwt_plot_marker.h>
#include <qwt_scale_draw.h>
#include <sys/resource.h>

namespace {

struct Warning
{
    QString caption;
    QString text;
};

class Window
{
public:
    explicit Window(sim::SimFaults faults = {}) : board(faults, false)
    {
        messages::setHook([this](QMessageBox::Icon, const QString& caption, const QString& text) {
            warnings.append({caption, text});
        });
        form = std::make_unique<zenaraForm>();
    }
    ~Window()
    {
        form.reset();
        messages::setHook({});
    }

    // Waits for the window's own 250 ms timer to run one more poll.
    bool pollOnce()
    {
        auto polls = [this] {
            return board.traceEvents().filter(QStringLiteral("RD 1C 0E")).size();
        };
        const int before = polls();
        return QTest::qWaitFor([&] { return polls() > before; }, 5000);
    }

    SimulatedBoard board;
    std::unique_ptr<zenaraForm> form;
    QList<Warning> warnings;
};

QStringList markerLabels(const zenaraForm& form)
{
    QStringList labels;
    for (const QwtPlotMarker* m : form.history().plotMarkers())
        labels.append(m->label().text());
    return labels;
}

QByteArray bytes(std::initializer_list<int> list)
{
    QByteArray b;
    for (int v : list)
        b.append(char(v));
    return b;
}

QStringList items(const QComboBox* combo)
{
    QStringList list;
    for (int i = 0; i < combo->count(); ++i)
        list.append(combo->itemText(i));
    return list;
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void fixedTextsSurviveLanguageChange();
    void viewMenuListsTheToolbars();
    void startUpTunes();
    void failedSetRemembersNothing();
    void successfulSetRemembers();
    void lnbPresets();
    void supplyButton();
    void diseqcModes();
    void pollShowsTheSignal();
    void onlyThePollTimerPolls();
    void ctrlQCloses();
    void firstStartDefaults();
    void settingsSurviveARestart();
    void supplyStateIsAppliedOnlyAfterLoading();
    void staleSelectionIsNotUsed();
    void satelliteAndTransponderSelection();
    void storedPositionsAreWrittenAtOnce();
    void killedAfterStoringKeepsTheChange();
    void positionerButtons();
    void gotoFailureKeepsTheState();
    void setAndUnsetAcrossPositions();
    void goToolButtonChoosesTheGoto();
    void driveModesAndProgress();
    void usalsGotoFromTheLabel();
    void southernSiteMirrorsTheDrive();
    void unreadableFlagsAreShownAsUnknown();
    void retuneKeepsTheTunedVoltage();
    void unwritableSettingsAreReportedOnce();
    void fitsALaptopScreenAndGrowsThePlot();
    void siteViewShowsWhereToPoint();
    void networkSaysWhichSatellite();
    void mixUpNamesTheListedSatellite_data();
    void mixUpNamesTheListedSatellite();
    void keyboardReachesEveryControl();
    void marginLineFitsAnyFont();
    void phoneMeterFromTheViewMenu();
    void siteViewNamesAndDocking();
    void numbersInOneFormInAnyLanguage();
};

void TestMainWindow::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

void TestMainWindow::init()
{
    // A folder in the file's place, left by an interrupted run of the
    // unwritable-settings test, would fail every test after it.
    if (const QString path = openSettings()->fileName(); QFileInfo(path).isDir())
        QDir(path).removeRecursively();
    // Cleared through QSettings itself: removing the file behind its back can
    // leave the previous test's values in QSettings' in-process cache.
    const auto store = openSettings();
    store->clear();
    store->sync();
}

void TestMainWindow::fixedTextsSurviveLanguageChange()
{
    Window w;
    for (int i = 0; i < 3; ++i)
        w.form->languageChange();
    QCOMPARE(items(w.form->typeStepComboBox),
             QStringList({"Steps", "Seconds", "Degrees", "Goto x.x°"}));
    QCOMPARE(items(w.form->comboBoxDiSEqC10),
             QStringList({"Pos:A, Opt:A", "Pos:A, Opt:B", "Pos:B, Opt:A", "Pos:B, Opt:B"}));
    QCOMPARE(items(w.form->comboBoxSimple), QStringList({"A (TB 0)", "B (TB 1)"}));
    QCOMPARE(items(w.form->lnbTypeComboBox),
             QStringList({"UNIVERSAL", "DBS", "STANDARD", "ENHANCED", "C-BAND", "CUSTOM"}));
    QCOMPARE(w.form->windowTitle(), QStringLiteral("Zenara 2.02"));
    QCOMPARE(w.form->textLabelLCK->text(), QStringLiteral("<p align=\"center\">LCK</p>"));
    QVERIFY(!w.form->decimalSpinBox->isEnabled());
    QCOMPARE(w.form->fileExitAction->shortcut(), QKeySequence(QStringLiteral("Ctrl+Q")));
    // The counter's clear button says what it does and shows it.
    QCOMPARE(w.form->toolButtonUcbClear->toolTip(),
             QStringLiteral("Clear uncorrected-block counter"));
    const QImage icon = w.form->toolButtonUcbClear->icon().pixmap(12, 12).toImage();
    int green = 0;
    for (int y = 0; y < icon.height(); ++y)
        for (int x = 0; x < icon.width(); ++x)
            green += icon.pixelColor(x, y).green() > 100 && icon.pixelColor(x, y).red() < 80;
    QVERIFY2(green >= 10, qPrintable(QString::number(green)));
    // Without an audio output the acoustic signal is off, and says why.
    QCOMPARE(w.form->checkBoxAcoustic->toolTip().contains(QStringLiteral("No audio output")),
             !w.form->checkBoxAcoustic->isEnabled());
}

void TestMainWindow::viewMenuListsTheToolbars()
{
    Window w;
    QMenu* menu = w.form->toolbarsMenu();
    QCOMPARE(menu->title(), QStringLiteral("&Toolbars"));
    QStringList names;
    for (QAction* a : menu->actions())
        names.append(a->text());
    QCOMPARE(names, QStringList({"File", "Options", "Sattelite", "Halt Motor"}));
}

void TestMainWindow::startUpTunes()
{
    Window w;
    const QStringList events = w.board.traceEvents();
    QCOMPARE(events.mid(0, 5),
             QStringList({"OPEN", "INIT", "WR 1C 02 35",
                          "FE_CHANNEL freq=11044000 mode=1 sr=39999000 lof=9750000 hi=0 volt=18",
                          "WR 10 4C"}));
    QVERIFY(w.warnings.isEmpty());
}

void TestMainWindow::failedSetRemembersNothing()
{
    Window w;
    w.form->lCDNumberUCB->display(17);
    w.form->lineEditFreq->setText(QStringLiteral("13000"));
    w.form->buttonSet->click();
    QCOMPARE(w.warnings.size(), 1);
    QCOMPARE(w.warnings.first().caption, QStringLiteral("Error"));
    QCOMPARE(w.warnings.first().text,
             QStringLiteral("Frequency should be from\n(10700 MHz - 12750 MHz)"));
    QCOMPARE(w.form->rememberedFrequency(), 11044);
    QCOMPARE(w.form->lCDNumberUCB->intValue(), 17);
    QVERIFY(!w.form->receiverFlags().tuneFailed); // refused: nothing was sent

    w.form->lineEditFreq->clear();
    w.form->buttonSet->click();
    QCOMPARE(w.warnings.last().text, QStringLiteral("Frequency is not a number: \"\""));
}

void TestMainWindow::successfulSetRemembers()
{
    Window w;
    w.form->lCDNumberUCB->display(17);
    w.form->lineEditFreq->setText(QStringLiteral("11977"));
    w.form->lineEditSmbRate->setText(QStringLiteral("27500"));
    w.form->radioButtonVert->setChecked(true);
    w.form->buttonSet->click();
    QVERIFY(w.warnings.isEmpty());
    QCOMPARE(w.form->rememberedFrequency(), 11977);
    QCOMPARE(w.form->rememberedSymbolRate(), 27500);
    QCOMPARE(w.form->rememberedPolarization(), 1);
    QCOMPARE(w.form->history().plotMarkers().last()->label().text(),
             QStringLiteral("11977, V, 27500"));
    QCOMPARE(w.form->lCDNumberUCB->intValue(), 0);
    // The supply byte follows the channel; then the block counter restarts.
    const QStringList events = w.board.traceEvents();
    QCOMPARE(events.mid(events.size() - 3),
             QStringList({"WR 10 44", "WR 1C 18 00", "WR 1C 18 80"}));
}

void TestMainWindow::lnbPresets()
{
    Window w;
    QVERIFY(!w.form->lineEditLOF1->isEnabled());
    w.form->lineEditLOF1->setText(QStringLiteral("1"));
    w.form->lnbTypeComboBox_activated(5); // CUSTOM
    QCOMPARE(w.form->lineEditLOF1->text(), QStringLiteral("9750"));
    QCOMPARE(w.form->lineEditSwitch->text(), QStringLiteral("11700"));
    QCOMPARE(w.form->lineEditLOF2->text(), QStringLiteral("10600"));
    QVERIFY(w.form->lineEditLOF2->isEnabled());
    w.form->lnbTypeComboBox_activated(4); // C-BAND
    QCOMPARE(w.form->lineEditLOF1->text(), QStringLiteral("5150"));
    QCOMPARE(w.form->lineEditLOF2->text(), QStringLiteral("0"));
    QVERIFY(!w.form->lineEditSwitch->isEnabled());
    w.form->lnbTypeComboBox_activated(9); // nothing
    QCOMPARE(w.form->lineEditLOF1->text(), QStringLiteral("5150"));
}

void TestMainWindow::supplyButton()
{
    Window w;
    QVERIFY(w.form->buttonPower->isChecked());
    QCOMPARE(w.form->framePower->palette().color(QPalette::Window), QColor(Qt::green));
    w.form->buttonPower->click();
    QCOMPARE(w.board.traceEvents().last(), QStringLiteral("WR 10 08"));
    QCOMPARE(w.form->framePower->palette().color(QPalette::Window), QColor(Qt::lightGray));
    w.form->checkBoxIOUT650mA->setChecked(true);
    w.form->checkBoxVHigh->setChecked(true);
    w.form->buttonPower->click();
    QCOMPARE(w.board.traceEvents().last(), QStringLiteral("WR 10 1C"));
}

void TestMainWindow::diseqcModes()
{
    Window w;
    QVERIFY(!w.form->comboBoxSimple->isEnabled());
    QVERIFY(!w.form->comboBoxDiSEqC10->isEnabled());
    w.form->radioButtonDiSEqC10->click();
    QVERIFY(w.form->comboBoxDiSEqC10->isEnabled());
    QVERIFY(!w.form->comboBoxSimple->isEnabled());
    w.form->comboBoxDiSEqC10->setCurrentIndex(2);
    w.form->buttonSet->click();
    QVERIFY(w.board.traceEvents().contains(QStringLiteral("FE_DISEQC E1 10 38 F6 BURST 255")));
    w.form->radioButtonDiSEqCSimple->click();
    QVERIFY(w.form->comboBoxSimple->isEnabled());
    QVERIFY(!w.form->comboBoxDiSEqC10->isEnabled());
}

void TestMainWindow::onlyThePollTimerPolls()
{
    // Timers of Qt's own (a shown window has some) must not read the card:
    // each would age the markers by a tick.
    Window w;
    auto polls = [&w] {
        return w.board.traceEvents().filter(QStringLiteral("RD 1C 0E")).size();
    };
    const int before = polls();
    for (QObject* target :
         {static_cast<QObject*>(w.form.get()), static_cast<QObject*>(&w.form->session())}) {
        QTimerEvent foreign(987654);
        QCoreApplication::sendEvent(target, &foreign);
    }
    QCOMPARE(polls(), before);
}

void TestMainWindow::pollShowsTheSignal()
{
    Window w;
    auto& reception = w.board.scene->reception;
    reception.status = 0x1F;
    reception.agc = 255 - 0x69;
    reception.snr = 255 - 0x55;
    reception.berCount = 10;
    w.board.card->demodulator().pin(tda10086::RegCodeRate, 0x70);
    QVERIFY(w.pollOnce());
    QCOMPARE(w.form->lineEditFEC->text(), QStringLiteral("8/9"));
    QCOMPARE(w.form->textLabelBER->text(), QStringLiteral("<p align=\"center\">0.0000010</p>"));
    QCOMPARE(w.form->ledMeterBER->value(), 85);
    QCOMPARE(w.form->ledMeterAGC->value(), 150);
    QCOMPARE(w.form->textLabelAGC->text(), QStringLiteral("<p align=\"center\">58.8</p>"));
    QCOMPARE(w.form->ledMeterSNR->value(), 170);
    QCOMPARE(w.form->textLabelLCK->palette().color(QPalette::Window), QColor(0, 128, 0));
    QCOMPARE(w.form->textLabelTIM->palette().color(QPalette::Window), QColor(128, 0, 0));
    // Each flag's name is readable on its colour.
    for (QLabel* flag : {w.form->textLabelLCK, w.form->textLabelTIM})
        QVERIFY(contrast::ratio(flag->palette().color(QPalette::WindowText),
                                flag->palette().color(QPalette::Window)) >= contrast::Readable);
    // Under the SNR meter: Es/N0 from the meter's 170, 8.9 dB needed at 8/9,
    // 5.5 dB over it in clear sky; rain's own noise takes the lock at 2.9 dB.
    QCOMPARE(w.form->labelMargin->text(), QStringLiteral("C/N 14.4 dB, takes 2.9 dB of rain"));
    QVERIFY2(w.form->labelMargin->toolTip().contains(QLatin1String("5.5 dB under the C/N")),
             qPrintable(w.form->labelMargin->toolTip()));
    w.form->show();
    w.form->resize(w.form->minimumSize()); // as at the first start
    QVERIFY(QTest::qWaitForWindowExposed(w.form.get()));
    QApplication::processEvents();
    QVERIFY2(w.form->labelMargin->isVisible() &&
                 w.form->labelMargin->height() >= w.form->labelMargin->fontMetrics().height(),
             qPrintable(QString::number(w.form->labelMargin->height())));
    {
        const QImage shot = w.form->labelMargin->grab().toImage();
        int green = 0;
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x)
                green += qGreen(shot.pixel(x, y)) > 128 && qRed(shot.pixel(x, y)) < 100;
        QVERIFY2(green > 20, qPrintable(QString::number(green))); // the text is drawn
    }

    // The code rate is shown at the first lock only.
    w.form->lineEditFEC->setText(QStringLiteral("x"));
    QVERIFY(w.pollOnce());
    QCOMPARE(w.form->lineEditFEC->text(), QStringLiteral("x"));
    // The margin comes from the rate read, not from what the field shows.
    QVERIFY2(w.form->labelMargin->text().startsWith(QLatin1String("C/N 14.4 dB, takes 2.9")),
             qPrintable(w.form->labelMargin->text()));

    reception.status = 0x03;
    QVERIFY(w.pollOnce());
    QCOMPARE(w.form->textLabelBER->text(), QStringLiteral("<p align=\"center\">1</p>"));
    QCOMPARE(w.form->ledMeterBER->value(), 0);
    QCOMPARE(w.form->textLabelLCK->palette().color(QPalette::Window), QColor(128, 0, 0));
}

void TestMainWindow::ctrlQCloses()
{
    Window w;
    w.form->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.form.get()));
    QTest::keyClick(w.form.get(), Qt::Key_Q, Qt::ControlModifier);
    QVERIFY(!w.form->isVisible());
}

void TestMainWindow::firstStartDefaults()
{
    Window w;
    auto* f = w.form.get();
    QCOMPARE(f->lineEditFreq->text(), QStringLiteral("11044"));
    QCOMPARE(f->lineEditSmbRate->text(), QStringLiteral("39999"));
    QVERIFY(f->radioButtonHorz->isChecked());
    QVERIFY(f->buttonPower->isChecked());
    QCOMPARE(f->lineEditLOF1->text(), QStringLiteral("9750"));
    QCOMPARE(f->lineEditLOF2->text(), QStringLiteral("10600"));
    QCOMPARE(f->lineEditSwitch->text(), QStringLiteral("11700"));
    QVERIFY(f->radioButtonDiSEqCNone->isChecked());
    QVERIFY(f->toolButtonBER->isChecked() && f->toolButtonSNR->isChecked() &&
            f->toolButtonAGC->isChecked());
    QVERIFY(!f->checkBoxAcoustic->isChecked());
    QCOMPARE(f->satellites()->siteLatitude(), 45.0);
    QCOMPARE(f->satellites()->siteLongitude(), 42.0);
    QCOMPARE(f->tuningSpinBox->maximum(), 1536);
}

void TestMainWindow::settingsSurviveARestart()
{
    {
        Window w;
        auto* f = w.form.get();
        f->lineEditFreq->setText(QStringLiteral("11977"));
        f->lineEditSmbRate->setText(QStringLiteral("27500"));
        f->buttonSet->click();                             // only a tuned transponder is saved
        f->lineEditFreq->setText(QStringLiteral("12000")); // typed, never tuned
        f->lnbTypeComboBox->setCurrentIndex(5);
        f->lnbTypeComboBox_activated(5);
        f->lineEditLOF2->setText(QStringLiteral("10750"));
        f->radioButtonDiSEqC10->click();
        f->comboBoxDiSEqC10->setCurrentIndex(3);
        f->checkBoxVHigh->setChecked(true);
        f->toolButtonSNR->setChecked(false);
        f->checkBoxAcoustic->setChecked(true);
        f->addToolBarBreak();
        f->addToolBar(Qt::LeftToolBarArea, f->haltMotorToolbar);
    }
    Window w;
    auto* f = w.form.get();
    QCOMPARE(f->lineEditFreq->text(), QStringLiteral("11977"));
    QCOMPARE(f->lineEditSmbRate->text(), QStringLiteral("27500"));
    QCOMPARE(f->lnbTypeComboBox->currentIndex(), 5);
    QCOMPARE(f->lineEditLOF2->text(), QStringLiteral("10750"));
    QVERIFY(f->lineEditLOF2->isEnabled());
    QVERIFY(f->radioButtonDiSEqC10->isChecked());
    QVERIFY(f->comboBoxDiSEqC10->isEnabled());
    QCOMPARE(f->comboBoxDiSEqC10->currentIndex(), 3);
    QVERIFY(f->checkBoxVHigh->isChecked());
    QVERIFY(!f->toolButtonSNR->isChecked());
    QVERIFY(f->checkBoxAcoustic->isChecked());
    QCOMPARE(f->toolBarArea(f->haltMotorToolbar), Qt::LeftToolBarArea);
}

void TestMainWindow::supplyStateIsAppliedOnlyAfterLoading()
{
    {
        auto store = openSettings();
        store->setValue(QStringLiteral("Settings/LNBPower"), 0);
    }
    Window w;
    const QStringList events = w.board.traceEvents();
    // Loading switched the button off without a word to the supply; the first
    // tune then powers nothing and writes the "off" byte.
    QCOMPARE(events.mid(0, 5),
             QStringList({"OPEN", "INIT", "WR 1C 02 35",
                          "FE_CHANNEL freq=11044000 mode=1 sr=39999000 lof=9750000 hi=0 volt=0",
                          "WR 10 08"}));
    QVERIFY(!w.form->buttonPower->isChecked());
    QCOMPARE(w.form->framePower->palette().color(QPalette::Window), QColor(Qt::lightGray));
    w.form->buttonPower->click(); // connected now
    QCOMPARE(w.board.traceEvents().last(), QStringLiteral("WR 10 4C"));
}

void TestMainWindow::staleSelectionIsNotUsed()
{
    {
        auto store = openSettings();
        store->setValue(QStringLiteral("Settings/CurrentSat"), 3);
        store->setValue(QStringLiteral("Settings/CurrentPosition"), 75);
    }
    Window w;
    QCOMPARE(w.form->currentSatellite(), 0); // no satellite list: no index 3
    QCOMPARE(w.form->currentStoredPosition(), 0);
    // Said where the user looks, not only in the debug output.
    QVERIFY2(w.form->QMainWindow::statusBar()->currentMessage().startsWith(
                 QLatin1String("No satellites: satlist.znr was not found")),
             qPrintable(w.form->QMainWindow::statusBar()->currentMessage()));
    // What could not be chosen is kept for a start that finds the list again.
    w.form.reset();
    QSettings stored(openSettings()->fileName(), QSettings::IniFormat);
    QCOMPARE(stored.value(QStringLiteral("Settings/CurrentSat")).toInt(), 3);
    QCOMPARE(stored.value(QStringLiteral("Settings/CurrentPosition")).toInt(), 75);
}

namespace {

// A working directory with a satellite list and transponder files, as the
// program finds them at start.
class DataDir
{
public:
    DataDir()
    {
        QDir(m_dir.path()).mkpath(QStringLiteral("Transponders"));
        write("satlist.znr", "0=42.0;Turksat;tk.ini\n1=13.0;Hot Bird;hb.ini\n"
                             "2=130.0;Far away;far.ini\n");
        write("Transponders/tk.ini", "[DVB]\n0=2\n1=11012,H,30000,34,S2\n2=11977,H,27500,34\n");
        m_previous = QDir::currentPath();
        QDir::setCurrent(m_dir.path());
    }
    ~DataDir() { QDir::setCurrent(m_previous); }
    QString path() const { return m_dir.path(); }

private:
    void write(const char* name, const QByteArray& content)
    {
        QFile f(m_dir.filePath(QLatin1String(name)));
        if (f.open(QIODevice::WriteOnly))
            f.write(content);
    }
    QTemporaryDir m_dir;
    QString m_previous;
};

QSettings storedSettings()
{
    return QSettings(openSettings()->fileName(), QSettings::IniFormat);
}

} // namespace

void TestMainWindow::satelliteAndTransponderSelection()
{
    DataDir data;
    Window w;
    auto* f = w.form.get();
    QCOMPARE(f->satlistComboBox->count(), 3); // empty row and the two visible ones
    QCOMPARE(f->satlistComboBox->itemText(1), QStringLiteral("[ 0.0°E]  42.0°E Turksat"));
    QCOMPARE(f->satListToolbarComboBox->count(), 3);

    f->satListToolbarComboBox_activated(1);
    QCOMPARE(f->satlistComboBox->currentIndex(), 1);
    QCOMPARE(f->freqListComboBox->count(), 3);
    QCOMPARE(f->freqListComboBox->itemText(2), QStringLiteral("11977, H, 27500"));

    f->freqListComboBox->setCurrentIndex(2);
    f->freqListComboBox_activated(2);
    QCOMPARE(f->lineEditFreq->text(), QStringLiteral("11977"));
    QCOMPARE(f->lineEditSmbRate->text(), QStringLiteral("27500"));
    QVERIFY(f->radioButtonHorz->isChecked());

    f->buttonSet->click();
    QCOMPARE(f->satellites()->lastTransponders.at(0), QStringLiteral("11977,H,27500"));
    // Written at once, not only at exit.
    QCOMPARE(storedSettings().value(settingskeys::FreqList).toStringList(),
             QStringList({"11977,H,27500", "None", "None"}));

    // Hot Bird has no transponder file: its neighbour's entries stay.
    f->lineEditFreq->setText(QStringLiteral("1"));
    f->satlistComboBox->setCurrentIndex(2);
    f->satlistComboBox_activated(2);
    QCOMPARE(f->freqListComboBox->count(), 3);
    // Back to Turksat: its remembered transponder fills the fields.
    f->satlistComboBox->setCurrentIndex(1);
    f->satlistComboBox_activated(1);
    QCOMPARE(f->lineEditFreq->text(), QStringLiteral("11977"));
    f->satlistComboBox->setCurrentIndex(0);
    f->satlistComboBox_activated(0);
    QCOMPARE(f->freqListComboBox->count(), 0);
}

void TestMainWindow::storedPositionsAreWrittenAtOnce()
{
    DataDir data;
    Window w;
    auto* f = w.form.get();
    f->satlistComboBox->setCurrentIndex(2);
    f->satlistComboBox_activated(2);
    f->positionsSpinBox->setValue(4);
    f->posSetButton->click();
    QCOMPARE(f->satlistComboBox->itemText(2), QStringLiteral("[32.3°W]  13.0°E Hot Bird - [4]"));
    QCOMPARE(f->satListToolbarComboBox->itemText(2), f->satlistComboBox->itemText(2));
    QCOMPARE(f->posSetButton->text(), QStringLiteral("UnSet"));
    QCOMPARE(storedSettings().value(settingskeys::MotorPositions).toString().section('\n', 4, 4),
             QStringLiteral("1"));

    f->posSetButton->click(); // UnSet
    QCOMPARE(f->satlistComboBox->itemText(2), QStringLiteral("[32.3°W]  13.0°E Hot Bird"));
    QCOMPARE(f->posSetButton->text(), QStringLiteral("Set"));
    QCOMPARE(storedSettings().value(settingskeys::MotorPositions).toString().section('\n', 4, 4),
             QStringLiteral("-1"));

    // Position 60 exists in the spin box but not in the table.
    f->positionsSpinBox->setValue(60);
    f->posSetButton->click();
    QCOMPARE(f->satlistComboBox->itemText(2), QStringLiteral("[32.3°W]  13.0°E Hot Bird"));
}

void TestMainWindow::positionerButtons()
{
    DataDir data;
    Window w;
    auto* f = w.form.get();
    auto& heard = w.board.scene->heard;
    heard.clear();
    const int markers = markerLabels(*f).size(); // the start-up tune's
    // The first Halt goes at once; the window does not wait for the repeats
    // (the card's clock moves only by the message's own time on the cable).
    const qint64 before = w.board.clock.nowMs();
    f->toolButtonHaltMotor->click();
    QCOMPARE(heard.size(), 1);
    QVERIFY2(w.board.clock.nowMs() - before < 100,
             qPrintable(QString::number(w.board.clock.nowMs() - before)));
    QTRY_COMPARE(heard, QList<QByteArray>({bytes({0xE0, 0x31, 0x60}), bytes({0xE1, 0x31, 0x60}),
                                           bytes({0xE1, 0x31, 0x60})}));
    QCOMPARE(QStringList({f->raw0->text(), f->raw1->text(), f->raw2->text(), f->raw3->text()}),
             QStringList({"E0", "31", "60", ""}));
    QVERIFY(f->dishPositioner()->haltRequested);

    heard.clear();
    f->positionsSpinBox->setValue(12);
    f->gotoButton->click();
    QTRY_COMPARE(heard.size(), 3);
    QCOMPARE(heard.last(), bytes({0xE1, 0x31, 0x6B, 0x0C}));
    QCOMPARE(f->raw3->text(), QStringLiteral("0C"));
    QCOMPARE(f->currentStoredPosition(), 12);
    QCOMPARE(f->currentSatellite(), 0);
    f->storeButton->click();
    f->limitEButton->click();
    f->LimitWButton->click();
    f->limitOffButton->click();
    QCOMPARE(heard.mid(3),
             QList<QByteArray>({bytes({0xE0, 0x31, 0x6A, 0x0C}), bytes({0xE0, 0x31, 0x66}),
                                bytes({0xE0, 0x31, 0x67}), bytes({0xE0, 0x31, 0x63})}));

    // Raw: typed lower case and one digit; a gap is refused with a box.
    heard.clear();
    f->raw0->setText(QStringLiteral("e0"));
    f->raw1->setText(QStringLiteral("31"));
    f->raw2->setText(QStringLiteral("6b"));
    f->raw3->setText(QStringLiteral("5"));
    f->raw4->clear();
    f->raw5->clear();
    f->sendButton->click();
    QCOMPARE(heard, QList<QByteArray>({bytes({0xE0, 0x31, 0x6B, 0x05})}));
    f->raw3->clear();
    f->raw4->setText(QStringLiteral("05"));
    f->sendButton->click();
    QCOMPARE(heard.size(), 1);
    QCOMPARE(w.warnings.size(), 1);
    QCOMPARE(w.warnings.first().text,
             QStringLiteral("RAW Data: byte 4 is empty while a later byte is filled"));
    f->raw2->clear();
    f->sendButton->click(); // incomplete: ignored without a word
    QCOMPARE(w.warnings.size(), 1);
    QCOMPARE(markerLabels(*f).mid(markers), QStringList({"Halt", "Goto 12", "Store 12", "Limit E",
                                                         "Limit W", "Limits Off", "RAW Data"}));
}

void TestMainWindow::gotoFailureKeepsTheState()
{
    DataDir data;
    Window w;
    auto* f = w.form.get();
    // A USALS goto first, so that there is a satellite to keep.
    f->satListToolbarComboBox_activated(2);
    f->gotoXYButton->click();
    QCOMPARE(f->currentSatellite(), 2);
    w.board.scene->heard.clear();
    // Once the first Goto is on the cable, the DiSEqC control register fails.
    w.board.scene->onHeard = [&](const QByteArray&) {
        w.board.card->faults().busErrorRegisters.insert(tda10086::RegDiseqcControl);
    };
    const int position = f->currentStoredPosition();
    const int markers = markerLabels(*f).size();
    f->positionsSpinBox->setValue(12);
    f->gotoButton->click();
    QCOMPARE(w.board.scene->heard.size(), 1); // no third transmission
    QCOMPARE(w.warnings.size(), 1);
    QCOMPARE(w.warnings.first().caption, QStringLiteral("Error"));
    QCOMPARE(w.warnings.first().text,
             QStringLiteral("Frontend::tda10086_send_master_cmd(...) failed"));
    QCOMPARE(f->currentStoredPosition(), position);
    QCOMPARE(f->currentSatellite(), 2);
    QCOMPARE(markerLabels(*f).size(), markers);
    // The east drive's box does not name the frontend; the west drive's does.
    f->eastButton->click();
    QCOMPARE(w.warnings.last().text, QStringLiteral("tda10086_send_master_cmd(...) failed"));
    f->westButton->click();
    QCOMPARE(w.warnings.last().text,
             QStringLiteral("Frontend::tda10086_send_master_cmd(...) failed"));
}

void TestMainWindow::setAndUnsetAcrossPositions()
{
    DataDir data;
    Window w;
    auto* f = w.form.get();
    const QString hotBird = QStringLiteral("[32.3°W]  13.0°E Hot Bird");
    const QString turksat = QStringLiteral("[ 0.0°E]  42.0°E Turksat");
    f->satListToolbarComboBox_activated(2);
    for (int position : {5, 2}) {
        f->positionsSpinBox->setValue(position);
        f->posSetButton->click();
    }
    QCOMPARE(f->satlistComboBox->itemText(2), hotBird + " - [5] - [2]");
    // Selecting the satellite selects its lowest position.
    f->satListToolbarComboBox_activated(1);
    f->satListToolbarComboBox_activated(2);
    QCOMPARE(f->positionsSpinBox->value(), 2);
    QCOMPARE(f->posSetButton->text(), QStringLiteral("UnSet"));
    // Türksat takes position 5 over (the spin box on 5 shows Hot Bird; then
    // Türksat is chosen): Hot Bird's label loses that suffix.
    f->positionsSpinBox->setValue(5);
    QCOMPARE(f->satlistComboBox->currentIndex(), 2);
    f->satListToolbarComboBox_activated(1);
    QCOMPARE(f->posSetButton->text(), QStringLiteral("Set"));
    f->posSetButton->click();
    QCOMPARE(f->satlistComboBox->itemText(1), turksat + " - [5]");
    QCOMPARE(f->satlistComboBox->itemText(2), hotBird + " - [2]");
    QCOMPARE(f->satListToolbarComboBox->itemText(2), hotBird + " - [2]");
    // ... and keeps the rest after a restart, where the labels are rebuilt.
    f->positionsSpinBox->setValue(5);
    f->posSetButton->click(); // UnSet
    QCOMPARE(f->satlistComboBox->itemText(1), turksat);
    QCOMPARE(f->posSetButton->text(), QStringLiteral("Set"));
    // At 60, where the motor may go but the table ends, there is nothing to set.
    f->positionsSpinBox->setValue(60);
    QVERIFY(!f->posSetButton->isEnabled());
    f->positionsSpinBox->setValue(59);
    QVERIFY(f->posSetButton->isEnabled());
}

void TestMainWindow::goToolButtonChoosesTheGoto()
{
    DataDir data;
    Window w;
    auto* f = w.form.get();
    auto& heard = w.board.scene->heard;
    heard.clear();
    f->satListToolbarComboBox_activated(0);
    f->goToolButton->click(); // the empty row: nothing
    QCOMPARE(heard.size(), 0);
    f->satListToolbarComboBox_activated(2); // Hot Bird, at no position: USALS
    f->goToolButton->click();
    QVERIFY(!heard.isEmpty());
    QCOMPARE(heard.first().mid(0, 3), bytes({0xE0, 0x31, 0x6E}));
    QTRY_COMPARE(heard.size(), 3); // the repeats
    f->positionsSpinBox->setValue(7);
    f->posSetButton->click();
    f->positionsSpinBox->setValue(0);
    heard.clear();
    f->satListToolbarComboBox_activated(2); // recorded at 7: Goto 7
    f->goToolButton->click();
    QTRY_COMPARE(heard.size(), 3);
    QCOMPARE(heard.first(), bytes({0xE0, 0x31, 0x6B, 0x07}));
}

void TestMainWindow::driveModesAndProgress()
{
    Window w;
    auto* f = w.form.get();
    // The amount's range follows the mode.
    f->typeStepComboBox->setCurrentIndex(2);
    f->typeStepComboBox_activated(2);
    QCOMPARE(f->tuningSpinBox->maximum(), 160);
    QVERIFY(f->decimalSpinBox->isEnabled());
    f->typeStepComboBox->setCurrentIndex(3);
    f->typeStepComboBox_activated(3);
    QCOMPARE(f->tuningSpinBox->maximum(), 80);
    f->tuningSpinBox->setValue(12);
    f->decimalSpinBox->setValue(3);
    auto& heard = w.board.scene->heard;
    heard.clear();
    f->westButton->click();
    QCOMPARE(heard, QList<QByteArray>({bytes({0xE0, 0x31, 0x6E, 0x00, 0xC4})}));
    QCOMPARE(markerLabels(*f).last(), QStringLiteral("Goto 12.3°W"));
    f->typeStepComboBox->setCurrentIndex(0);
    f->typeStepComboBox_activated(0);
    QCOMPARE(f->tuningSpinBox->maximum(), 1536);
    QVERIFY(!f->decimalSpinBox->isEnabled());
    QCOMPARE(f->decimalSpinBox->value(), 0);

    // 200 steps east, the test's clock running 250 ms a tick: the status bar
    // counts the move down while the window stays responsive.
    f->tuningSpinBox->setValue(200);
    QStringList seen;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, [&] {
        w.board.clock.advance(250);
        const QString message = f->QMainWindow::statusBar()->currentMessage();
        if (seen.isEmpty() || seen.last() != message)
            seen.append(message);
    });
    ticker.start(2);
    heard.clear();
    f->eastButton->click();
    QCOMPARE(heard,
             QList<QByteArray>({bytes({0xE0, 0x31, 0x68, 0x80}), bytes({0xE0, 0x31, 0x68, 0xB8})}));
    // A first start takes the dish to be at the motor's reference.
    QCOMPARE(seen.first(), QStringLiteral("Motor: East 200 stp, 21 s left, dish at about 0.0°"));
    QVERIFY2(seen.size() >= 3, qPrintable(seen.join('|')));
    // Closing the window during a drive halts the motor and ends the drive.
    f->typeStepComboBox->setCurrentIndex(1);
    f->typeStepComboBox_activated(1);
    f->tuningSpinBox->setValue(120);
    heard.clear();
    QTimer::singleShot(50, f, [f] { f->close(); });
    const qint64 start = w.board.clock.nowMs();
    f->eastButton->click();
    QVERIFY(w.board.clock.nowMs() - start < 60000);
    QCOMPARE(heard, QList<QByteArray>({bytes({0xE0, 0x31, 0x68, 0x78}), bytes({0xE0, 0x31, 0x60}),
                                       bytes({0xE1, 0x31, 0x60}), bytes({0xE1, 0x31, 0x60})}));
    QVERIFY(!f->dishPositioner()->driving());
    ticker.stop();
    // Halt ends it and says so.
    f->haltMotorButton->click();
    QVERIFY2(
        f->QMainWindow::statusBar()->currentMessage().startsWith(QLatin1String("Motor halted")),
        qPrintable(f->QMainWindow::statusBar()->currentMessage()));
}

void TestMainWindow::usalsGotoFromTheLabel()
{
    DataDir data;
    Window w;
    auto* f = w.form.get();
    auto& heard = w.board.scene->heard;
    heard.clear();
    f->satListToolbarComboBox_activated(0);
    f->gotoXYButton->click(); // the empty row: nothing
    QCOMPARE(heard.size(), 0);

    f->satListToolbarComboBox_activated(2); // "[32.3°W]  13.0°E Hot Bird" from 45 N 42 E
    f->positionsSpinBox->setValue(9);
    w.board.scene->reception.status = 0x1F; // on a satellite before the goto
    QVERIFY(w.pollOnce());
    f->gotoXYButton->click();
    QTRY_COMPARE(heard, QList<QByteArray>({bytes({0xE0, 0x31, 0x6E, 0x02, 0x04}),
                                           bytes({0xE1, 0x31, 0x6E, 0x02, 0x04}),
                                           bytes({0xE1, 0x31, 0x6E, 0x02, 0x04})}));
    QCOMPARE(markerLabels(*f).last(), QStringLiteral("Goto 32.3°W"));
    QCOMPARE(f->currentSatellite(), 2);
    QCOMPARE(f->currentStoredPosition(), 0);
    QCOMPARE(QStringList({f->raw3->text(), f->raw4->text(), f->raw5->text()}),
             QStringList({"02", "04", ""}));
    // Nothing in the signal moves afterwards (a motor that ignores the west
    // code sent): the status line says what to try.
    auto sixSeconds = [&w] {
        for (int second = 0; second < 6; ++second) {
            w.board.clock.advance(1000);
            if (!w.pollOnce())
                return false;
        }
        return true;
    };
    QVERIFY(sixSeconds());
    QVERIFY2(f->QMainWindow::statusBar()->currentMessage().contains(
                 QLatin1String("the motor may need the STAB west code 0xD0")),
             qPrintable(f->QMainWindow::statusBar()->currentMessage()));
    // From empty sky the signal says nothing either way: no such line.
    w.board.scene->reception.status = 0;
    QVERIFY(w.pollOnce());
    f->gotoXYButton->click();
    QVERIFY(sixSeconds());
    QVERIFY(!f->QMainWindow::statusBar()->currentMessage().contains(QLatin1String("west code")));

    // A row whose label carries no angle: nothing sent, nothing remembered,
    // and the status bar says why.
    heard.clear();
    f->satListToolbarComboBox_activated(1);
    f->satellites()->labels[1] = QStringLiteral("Turksat");
    f->gotoXYButton->click();
    QCOMPARE(heard.size(), 0);
    QCOMPARE(f->currentSatellite(), 2);
    QCOMPARE(
        f->QMainWindow::statusBar()->currentMessage(),
        QStringLiteral("Goto x.x°: the selected row shows no motor angle, so nothing was sent"));
}

void TestMainWindow::southernSiteMirrorsTheDrive()
{
    {
        const auto store = openSettings();
        store->setValue(QStringLiteral("Settings/LocationLatitude"), -33.9);
        store->sync();
    }
    Window w;
    auto* f = w.form.get();
    auto& heard = w.board.scene->heard;
    heard.clear();
    f->tuningSpinBox->setValue(1);
    f->eastButton->click();
    f->limitEButton->click();
    QCOMPARE(heard,
             QList<QByteArray>({bytes({0xE0, 0x31, 0x69, 0xFF}), bytes({0xE0, 0x31, 0x67})}));
    QCOMPARE(markerLabels(*f).mid(markerLabels(*f).size() - 2),
             QStringList({"East 1 stp", "Limit E"}));
}

void TestMainWindow::killedAfterStoringKeepsTheChange()
{
    DataDir data;
    QProcess helper;
    helper.setWorkingDirectory(data.path());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    QTemporaryDir config;
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    helper.setProcessEnvironment(env);
    helper.start(QStringLiteral(KILL_HELPER), {});
    QVERIFY(helper.waitForFinished(60000));
    QCOMPARE(helper.exitStatus(), QProcess::CrashExit); // killed, no shutdown ran
    QSettings settings(config.filePath(QStringLiteral("Tavarin/zenara.ini")), QSettings::IniFormat);
    QCOMPARE(settings.status(), QSettings::NoError);
    QCOMPARE(settings.value(settingskeys::MotorPositions).toString().section('\n', 7, 7),
             QStringLiteral("0"));
    // Nothing else was written: the single write at exit never happened.
    QVERIFY(!settings.contains(settingskeys::GeometryWidth));
}

void TestMainWindow::unreadableFlagsAreShownAsUnknown()
{
    Window w;
    w.board.scene->reception.status = 0x1F;
    QVERIFY(w.pollOnce());
    QCOMPARE(w.form->textLabelLCK->palette().color(QPalette::Window), QColor(0, 128, 0));
    w.board.card->faults().busErrorRegisters = {tda10086::RegStatus};
    QVERIFY(w.pollOnce());
    QVERIFY(w.pollOnce());
    // Neither green nor red: nobody knows.
    for (QLabel* lamp : {w.form->textLabelSIG, w.form->textLabelLCK, w.form->textLabelRNT})
        QCOMPARE(lamp->palette().color(QPalette::Window), QColor(128, 128, 128));
    QCOMPARE(w.form->textLabelBER->text(), QStringLiteral("<p align=\"center\">--</p>"));
    QCOMPARE(w.form->ledMeterBER->value(), 0);
}

void TestMainWindow::retuneKeepsTheTunedVoltage()
{
    Window w;
    // Tuned horizontal at start; the user clicks vertical but never presses Set.
    w.form->radioButtonVert->click();
    w.board.newTraceEvents();
    w.form->statusPoll()->retune();
    const QStringList events = w.board.newTraceEvents();
    QVERIFY2(
        events.filter(QStringLiteral("FE_CHANNEL")).value(0).endsWith(QStringLiteral("volt=18")),
        qPrintable(events.join(QLatin1Char('\n'))));
    // 18 V (horizontal) supply, 500 mA limit: 0x4C; 0x44 would be 13 V.
    QCOMPARE(events.filter(QStringLiteral("WR 10 ")), QStringList({"WR 10 4C"}));
    // The supply button follows the tuned polarisation as well.
    w.form->buttonPower->click();
    w.form->buttonPower->click();
    QCOMPARE(w.board.traceEvents().last(), QStringLiteral("WR 10 4C"));
    // A stored vertical transponder whose start-up tune failed: still 13 V.
    {
        w.form.reset();
        const auto store = openSettings();
        store->setValue(QStringLiteral("Settings/Polarization"), 1);
        store->setValue(QStringLiteral("Settings/Freqency"), 1);
        store->sync();
    }
    w.form = std::make_unique<zenaraForm>();
    QVERIFY(!w.warnings.isEmpty()); // the start-up tune was refused
    w.form->buttonPower->click();
    w.form->buttonPower->click();
    QCOMPARE(w.board.traceEvents().last(), QStringLiteral("WR 10 44"));
    w.form->lineEditFreq->setText(QStringLiteral("11977"));
    w.form->radioButtonHorz->click();
    w.form->radioButtonVert->click();
    // After a Set with vertical, vertical it is.
    w.form->buttonSet->click();
    QCOMPARE(w.board.traceEvents().filter(QStringLiteral("WR 10 ")).last(),
             QStringLiteral("WR 10 44"));
}

void TestMainWindow::unwritableSettingsAreReportedOnce()
{
    DataDir data;
    Window w;
    auto* f = w.form.get();
    // A folder where the settings file should be: no write succeeds, even as root.
    const QString path = openSettings()->fileName();
    QFile::remove(path);
    QVERIFY(QDir().mkpath(path));
    int reports = 0;
    const QtMessageHandler previous = qInstallMessageHandler(nullptr);
    static int* counter = nullptr;
    counter = &reports;
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& text) {
        if (text.startsWith(QStringLiteral("The settings could not be written to")))
            ++*counter;
    });
    f->satlistComboBox->setCurrentIndex(2);
    f->satlistComboBox_activated(2);
    f->positionsSpinBox->setValue(4);
    f->posSetButton->click();
    f->posSetButton->click();
    f->posSetButton->click();
    qInstallMessageHandler(previous);
    QCOMPARE(reports, 1);
    QCOMPARE(f->Ui_zenaraForm::statusBar->currentMessage(),
             QStringLiteral("The settings could not be written to ") + path);

    // Writable again: the next change is saved and the message goes.
    QVERIFY(QDir(path).removeRecursively());
    f->posSetButton->click();
    QVERIFY(f->Ui_zenaraForm::statusBar->currentMessage().isEmpty());
    QVERIFY(QFile::exists(path));

    // A full disk: the file reads as before, only writing it fails. (A file
    // size limit stands in for the disk; it holds for root too.)
    struct rlimit limit = {};
    QCOMPARE(::getrlimit(RLIMIT_FSIZE, &limit), 0);
    const rlim_t unlimited = limit.rlim_cur;
    const auto previousHandler = ::signal(SIGXFSZ, SIG_IGN);
    limit.rlim_cur = 16;
    QCOMPARE(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    f->posSetButton->click();
    limit.rlim_cur = unlimited;
    ::setrlimit(RLIMIT_FSIZE, &limit);
    ::signal(SIGXFSZ, previousHandler);
    QCOMPARE(f->Ui_zenaraForm::statusBar->currentMessage(),
             QStringLiteral("The settings could not be written to ") + path);
}

void TestMainWindow::fitsALaptopScreenAndGrowsThePlot()
{
    // A desktop's 11-point font (the offscreen platform's own is 12 points).
    const QFont previous = QApplication::font();
    QApplication::setFont(QFont(QStringLiteral("DejaVu Sans"), 11));
    auto restore = qScopeGuard([&previous] { QApplication::setFont(previous); });
    Window w;
    auto* f = w.form.get();
    f->show();
    QVERIFY(QTest::qWaitForWindowExposed(f));
    // 1366 x 768 less a panel and a title bar.
    const QSize minimum = f->minimumSize();
    QVERIFY2(minimum.width() <= 1000 && minimum.height() <= 690,
             qPrintable(QStringLiteral("%1 x %2").arg(minimum.width()).arg(minimum.height())));
    // The first start asks for 439 x 592 and gets the minimum size where that is larger.
    f->resize(439, 592);
    QCOMPARE(f->size(), QSize(439, 592).expandedTo(minimum));
    // A plot canvas to read, not a strip.
    QVERIFY2(f->statusPlot->canvas()->height() >= 140,
             qPrintable(QString::number(f->statusPlot->canvas()->height())));

    // Extra height goes to the plot; the pages above keep theirs.
    const int tabs = f->tabWidget->height();
    const int plot = f->statusPlot->height();
    f->resize(minimum.width(), minimum.height() + 200);
    QTRY_VERIFY(f->statusPlot->height() >= plot + 190);
    QCOMPARE(f->tabWidget->height(), tabs);
}

namespace {

// A satellite list in a working directory of its own, seen from 50 N 10 E.
class SkyAt50North
{
public:
    explicit SkyAt50North(const QByteArray& list)
    {
        QFile file(m_dir.filePath(QStringLiteral("satlist.znr")));
        if (!file.open(QIODevice::WriteOnly) || file.write(list) != list.size())
            qFatal("cannot write the list");
        m_previous = QDir::currentPath();
        QDir::setCurrent(m_dir.path());
        const auto store = openSettings();
        store->setValue(QStringLiteral("Settings/LocationLatitude"), 50.0);
        store->setValue(QStringLiteral("Settings/LocationLongitude"), 10.0);
        store->sync();
    }
    ~SkyAt50North() { QDir::setCurrent(m_previous); }

private:
    QTemporaryDir m_dir;
    QString m_previous;
};

} // namespace

void TestMainWindow::siteViewShowsWhereToPoint()
{
    SkyAt50North sky("0=19.2;Astra;a.ini\n1=13.0;Hot Bird;hb.ini\n2=-30.0;Hispasat;h.ini\n");
    Window w;
    auto* f = w.form.get();
    f->siteDock()->show();
    QVERIFY(QTest::qWaitForWindowExposed(f->siteDock()));
    SiteView* view = f->siteView();
    const int astra = f->satlistComboBox->findText(QStringLiteral("Astra"), Qt::MatchEndsWith);
    QVERIFY(astra > 0);
    f->satlistComboBox->setCurrentIndex(astra);
    f->satlistComboBox_activated(astra);
    const QString details = view->detailsText();
    for (const char* line :
         {"Astra (19.2\u00b0E)", "Azimuth 168.1\u00b0 (true)", "Elevation 32.0\u00b0",
          "LNB skew: follows the arc\nUSALS motor angle 10.2\u00b0E",
          "Declination offset 7.3\u00b0",
          "Arc top elevation 32.7\u00b0\nArc top LNB skew 0.0\u00b0",
          "\n\nFixed dish: LNB skew 7.7\u00b0\nanticlockwise from behind the dish"})
        QVERIFY2(details.contains(QString::fromUtf8(line)), qPrintable(details));
    // West of the site, a fixed dish turns its LNB the other way.
    const int hispasat =
        f->satlistComboBox->findText(QStringLiteral("Hispasat"), Qt::MatchEndsWith);
    f->satlistComboBox->setCurrentIndex(hispasat);
    f->satlistComboBox_activated(hispasat);
    QVERIFY2(view->detailsText().contains(QString::fromUtf8("LNB skew 28.6\u00b0\nclockwise from")),
             qPrintable(view->detailsText()));

    // The dish, reckoned at the motor's reference, looks due south up the arc.
    QVERIFY(std::abs(view->dishPoint().x() - 180.0) < 0.1);
    QVERIFY(std::abs(view->dishPoint().y() - 32.7) < 0.1);

    // A click on Hot Bird's point chooses it in both satellite boxes.
    auto* plot = view->findChild<QwtPlot*>(QStringLiteral("sitePlot"));
    QVERIFY(plot);
    const sitegeometry::Pointing hotBird = sitegeometry::pointing(50.0, 10.0, 13.0);
    const QPoint pixel(int(plot->transform(QwtPlot::xBottom, hotBird.azimuth)),
                       int(plot->transform(QwtPlot::yLeft, hotBird.elevation)));
    QTest::mouseClick(plot->canvas(), Qt::LeftButton, Qt::NoModifier, pixel);
    QVERIFY(f->satlistComboBox->currentText().endsWith(QStringLiteral("Hot Bird")));
    QCOMPARE(f->satListToolbarComboBox->currentIndex(), f->satlistComboBox->currentIndex());
    QVERIFY(view->detailsText().contains(QStringLiteral("Hot Bird")));
    QVERIFY(
        view->detailsText().contains(QString::fromUtf8("LNB skew 2.5\u00b0\nanticlockwise from")));
}

void TestMainWindow::networkSaysWhichSatellite()
{
    DataDir data;
    Window w;
    auto* f = w.form.get();
    const int turksat = f->satlistComboBox->findText(QStringLiteral("Turksat"), Qt::MatchEndsWith);
    const int hotBird = f->satlistComboBox->findText(QStringLiteral("Hot Bird"), Qt::MatchEndsWith);
    QVERIFY(turksat > 0 && hotBird > 0);
    f->satlistComboBox->setCurrentIndex(turksat);
    f->satlistComboBox_activated(turksat);
    ScriptedScene& scene = *w.board.scene;
    scene.reception.status = 0x1F;
    scene.hasNetwork = true;
    scene.networkInfo.name = QString::fromUtf8("T\xc3\xbcrksat");
    scene.networkInfo.orbitalPosition = 42.0;
    QVERIFY(w.pollOnce()); // the first lock asks for the network
    QVERIFY(f->labelNetwork->text().isEmpty());
    w.board.clock.advance(2000);
    QVERIFY(w.pollOnce());
    QCOMPARE(f->labelNetwork->text(),
             QString::fromUtf8("Network: T\xc3\xbcrksat \xe2\x80\x94 42.0\xc2\xb0"
                               "E"));
    auto readable = [f](int hue) {
        const QColor text = f->labelNetwork->palette().color(QPalette::WindowText);
        return text.hue() == hue &&
               contrast::ratio(text, f->QMainWindow::statusBar()->palette().color(
                                         QPalette::Window)) >= contrast::Readable;
    };
    QVERIFY(readable(120)); // green

    // A tune refused for its frequency sent nothing: what is received stays shown.
    const QStringList shown = {f->lineEditFEC->text(), f->labelMargin->text(),
                               f->labelNetwork->text()};
    QVERIFY(!shown.contains(QString()));
    const QString typed = f->lineEditFreq->text();
    f->lineEditFreq->setText(QStringLiteral("5000"));
    f->buttonSet_clicked();
    QCOMPARE(QStringList({f->lineEditFEC->text(), f->labelMargin->text(), f->labelNetwork->text()}),
             shown);
    QVERIFY(!f->receiverFlags().tuneFailed); // re-tunes still come if the lock goes
    QCOMPARE(f->lineEditFreq->text(), QStringLiteral("5000")); // left to be corrected
    QVERIFY(w.pollOnce());
    QCOMPARE(f->labelNetwork->text(), shown.at(2));
    f->lineEditFreq->setText(typed);

    // The lock goes while the dish swings to a neighbour on the same frequency:
    // the old network is forgotten, and the new lock reads the new one.
    scene.reception.status = 0x03;
    QVERIFY(w.pollOnce());
    QVERIFY(f->labelNetwork->text().isEmpty());
    scene.networkInfo.name = QStringLiteral("Hellas Sat");
    scene.networkInfo.orbitalPosition = 39.0;
    scene.reception.status = 0x1F;
    QVERIFY(w.pollOnce());
    w.board.clock.advance(2000);
    QVERIFY(w.pollOnce());
    // The list has no satellite there.
    QCOMPARE(f->labelNetwork->text(),
             QString::fromUtf8("Network: Hellas Sat \xe2\x80\x94 you are on a satellite at "
                               "39.0\xc2\xb0"
                               "E, not "
                               "42.0\xc2\xb0"
                               "E"));

    // Another satellite chosen in the list: the verdict follows the choice.
    f->satlistComboBox->setCurrentIndex(hotBird);
    f->satlistComboBox_activated(hotBird);
    QCOMPARE(f->labelNetwork->text(),
             QString::fromUtf8("Network: Hellas Sat \xe2\x80\x94 you are on a satellite at "
                               "39.0\xc2\xb0"
                               "E, not "
                               "13.0\xc2\xb0"
                               "E"));
    QVERIFY(readable(0)); // red
    // Back on Türksat with Hot Bird chosen: the list's name for where the dish is.
    scene.reception.status = 0x03;
    QVERIFY(w.pollOnce());
    scene.networkInfo.name = QString::fromUtf8("T\xc3\xbcrksat");
    scene.networkInfo.orbitalPosition = 42.0;
    scene.reception.status = 0x1F;
    QVERIFY(w.pollOnce());
    w.board.clock.advance(2000);
    QVERIFY(w.pollOnce());
    QCOMPARE(f->labelNetwork->text(),
             QString::fromUtf8("Network: T\xc3\xbcrksat \xe2\x80\x94 you are on Turksat at "
                               "42.0\xc2\xb0"
                               "E, not "
                               "13.0\xc2\xb0"
                               "E"));

    // A new tune forgets it; without a NIT the time limit ends the wait.
    scene.hasNetwork = false;
    f->lineEditFreq->setText(QStringLiteral("11977"));
    f->buttonSet_clicked();
    QVERIFY(f->labelNetwork->text().isEmpty());
    QVERIFY(w.pollOnce());
    w.board.clock.advance(11000);
    QVERIFY(w.pollOnce());
    QVERIFY(f->labelNetwork->text().isEmpty()); // still within the limit
    w.board.clock.advance(2000);
    QVERIFY(w.pollOnce());
    QCOMPARE(f->labelNetwork->text(), QStringLiteral("Network: none received"));

    // Half a degree either way is the same slot; the next satellite is not.
    hw::NetworkInfo hellas;
    hellas.orbitalPosition = 39.0;
    QCOMPARE(networkcheck::verdict(hellas, 42.0), networkcheck::Verdict::Mismatch);
    hellas.orbitalPosition = 41.6;
    QCOMPARE(networkcheck::verdict(hellas, 42.0), networkcheck::Verdict::Match);
    hellas.orbitalPosition = -179.8; // across the date line
    QCOMPARE(networkcheck::verdict(hellas, 179.9), networkcheck::Verdict::Match);
}

void TestMainWindow::mixUpNamesTheListedSatellite_data()
{
    QTest::addColumn<QString>("list");     // position=name;...
    QTest::addColumn<double>("network");   // where the NIT says the dish is
    QTest::addColumn<double>("chosen");    // the satellite chosen in the list
    QTest::addColumn<QString>("expected"); // after "Network: N \u2014 "
    const QString turksatHellas = QStringLiteral("42.0=Turksat 3A/4A;39.0=Hellas Sat 3/4");
    QTest::newRow("listed") << turksatHellas << 39.0 << 42.0
                            << QStringLiteral("you are on Hellas Sat 3/4 at 39.0\u00b0E, not "
                                              "42.0\u00b0E");
    QTest::newRow("listed a tenth off")
        << QStringLiteral("42.0=Turksat;39.1=Hellas Sat 3") << 39.0 << 42.0
        << QStringLiteral("you are on Hellas Sat 3 at 39.0\u00b0E, not 42.0\u00b0E");
    QTest::newRow("the nearer of two in reach")
        << QStringLiteral("28.2=Astra 2;28.5=Eutelsat 28A;13.0=Hot Bird") << 28.5 << 13.0
        << QStringLiteral("you are on Eutelsat 28A at 28.5\u00b0E, not 13.0\u00b0E");
    QTest::newRow("none listed") << QStringLiteral("42.0=Turksat;13.0=Hot Bird") << 39.0 << 42.0
                                 << QStringLiteral("you are on a satellite at 39.0\u00b0E, not "
                                                   "42.0\u00b0E");
    QTest::newRow("the next slot is not it")
        << QStringLiteral("42.0=Turksat;40.0=Express AM7") << 39.0 << 42.0
        << QStringLiteral("you are on a satellite at 39.0\u00b0E, not 42.0\u00b0E");
    QTest::newRow("west") << QStringLiteral("-30.0=Hispasat;-0.8=Thor") << -0.8 << -30.0
                          << QStringLiteral("you are on Thor at 0.8\u00b0W, not 30.0\u00b0W");
    QTest::newRow("west, none listed")
        << QStringLiteral("-30.0=Hispasat;0.8=East of it") << -0.8 << -30.0
        << QStringLiteral("you are on a satellite at 0.8\u00b0W, not 30.0\u00b0W");
    QTest::newRow("across the date line")
        << QStringLiteral("180.0=Intelsat 18;172.0=Eutelsat 172B") << -179.8 << 172.0
        << QStringLiteral("you are on Intelsat 18 at 179.8\u00b0W, not 172.0\u00b0E");
    QTest::newRow("on the chosen one")
        << turksatHellas << 42.1 << 42.0 << QStringLiteral("42.1\u00b0E");
}

// The network line on a mix-up names where the dish is by the user's list.
void TestMainWindow::mixUpNamesTheListedSatellite()
{
    QFETCH(QString, list);
    QFETCH(double, network);
    QFETCH(double, chosen);
    QFETCH(QString, expected);
    QStringList names;
    QVector<double> positions;
    for (const QString& entry : list.split(QLatin1Char(';'))) {
        positions.append(entry.section(QLatin1Char('='), 0, 0).toDouble());
        names.append(entry.section(QLatin1Char('='), 1));
    }
    hw::NetworkInfo info;
    info.name = QStringLiteral("N");
    info.orbitalPosition = network;
    const QString there = networkcheck::satelliteAt(names, positions, network);
    QCOMPARE(networkcheck::text(info, networkcheck::verdict(info, chosen), chosen, there),
             QStringLiteral("Network: N \u2014 ") + expected);
}

void TestMainWindow::keyboardReachesEveryControl()
{
    DataDir data;
    Window w;
    auto* f = w.form.get();
    f->show();
    QVERIFY(QTest::qWaitForWindowActive(f));
    // Every control that can take input now, by its own name.
    auto takers = [f] {
        QSet<QWidget*> set;
        for (QWidget* c : f->findChildren<QWidget*>()) {
            const bool control = qobject_cast<QAbstractButton*>(c) || qobject_cast<QComboBox*>(c) ||
                                 qobject_cast<QLineEdit*>(c) ||
                                 qobject_cast<QAbstractSpinBox*>(c) || qobject_cast<QTabBar*>(c);
            if (control && (c->focusPolicy() & Qt::TabFocus) && c->isEnabled() &&
                c->isVisibleTo(f) && !qobject_cast<QLineEdit*>(c->parentWidget()) &&
                !qobject_cast<QAbstractSpinBox*>(c->parentWidget()) &&
                !qobject_cast<QComboBox*>(c->parentWidget()))
                set.insert(c);
        }
        return set;
    };
    // Tab round the window from the toolbar's box: back where it began, every
    // control of the pages shown was visited once.
    auto round = [f] {
        QSet<QWidget*> seen;
        f->satListToolbarComboBox->setFocus(Qt::TabFocusReason);
        for (int i = 0; i < 200; ++i) {
            QWidget* now = QApplication::focusWidget();
            if (!now || (i > 0 && now == f->satListToolbarComboBox))
                break;
            seen.insert(now);
            QTest::keyClick(now, Qt::Key_Tab);
        }
        return seen;
    };
    // A button group is one stop (the arrows choose within it): any of its
    // buttons will do.
    auto oneOfGroup = [f](QSet<QWidget*> set, const QSet<QWidget*>& seen) {
        for (auto* group : {f->buttonGroupPolar, f->buttonGroupDiSEqC}) {
            bool reached = false;
            for (QAbstractButton* b : group->buttons())
                reached = reached || seen.contains(b);
            for (QAbstractButton* b : group->buttons())
                if (reached || !b->isChecked())
                    set.remove(b);
        }
        return set;
    };
    for (int left = 0; left < 3; ++left) {
        for (int right : {0, 1, 2, 3}) {
            f->tabWidget->setCurrentIndex(left);
            f->tabWidget4->setCurrentIndex(std::min(right, 1));
            f->Tune->setCurrentIndex(std::max(right - 1, 0));
            const QSet<QWidget*> seen = round();
            const QSet<QWidget*> expected = oneOfGroup(takers(), seen);
            QStringList missed;
            for (QWidget* c : expected - seen)
                missed.append(c->objectName());
            QVERIFY2(missed.isEmpty(), qPrintable(QStringLiteral("pages %1/%2: %3")
                                                      .arg(left)
                                                      .arg(right)
                                                      .arg(missed.join(QLatin1Char(' ')))));
        }
    }
    // Pages and menus have their letters; Alt+L shows the LNB page.
    QTest::keyClick(f, Qt::Key_L, Qt::AltModifier);
    QCOMPARE(f->tabWidget->currentWidget(), f->tabLNB);
    QTest::keyClick(f, Qt::Key_2, Qt::AltModifier);
    QCOMPARE(f->tabWidget4->currentWidget(), f->tabDiSEQ12);
    for (QAction* menu : f->menuBar()->actions())
        QVERIFY2(menu->text().contains(QLatin1Char('&')), qPrintable(menu->text()));
    // Return in the frequency field tunes it.
    f->tabWidget4->setCurrentIndex(0);
    f->lineEditFreq->setFocus();
    f->lineEditFreq->setText(QStringLiteral("11977"));
    QTest::keyClick(f->lineEditFreq, Qt::Key_Return);
    QCOMPARE(f->rememberedFrequency(), 11977);
    // Esc halts, wherever the focus is, and the buttons say so.
    w.board.scene->heard.clear();
    QTest::keyClick(f->lineEditSmbRate, Qt::Key_Escape);
    QCOMPARE(w.board.scene->heard.value(0), bytes({0xE0, 0x31, 0x60}));
    QVERIFY(f->toolButtonHaltMotor->toolTip().endsWith(QLatin1String("(Esc)")));
}

void TestMainWindow::marginLineFitsAnyFont()
{
    const QFont before = QApplication::font();
    auto restore = qScopeGuard([&before] { QApplication::setFont(before); });
    for (int points : {9, 11, 14}) {
        QFont font = before;
        font.setPointSize(points);
        QApplication::setFont(font);
        Window w;
        auto* f = w.form.get();
        f->resize(f->minimumSize()); // the smallest the window gets
        f->show();
        QVERIFY(QTest::qWaitForWindowExposed(f));
        for (const char* line :
             {"C/N 17.3 dB, takes 10.4 dB of rain", "C/N 6.5 dB, takes 0.0 dB of rain",
              "C/N 29.8 dB, takes 22.0 dB of rain"}) {
            f->labelMargin->setText(QLatin1String(line));
            QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
            // All of it inside the label, and the label inside its frame.
            const int needed = f->labelMargin->fontMetrics().horizontalAdvance(QLatin1String(line));
            QVERIFY2(f->labelMargin->contentsRect().width() >= needed,
                     qPrintable(QStringLiteral("%1 pt: %2 < %3")
                                    .arg(points)
                                    .arg(f->labelMargin->contentsRect().width())
                                    .arg(needed)));
            QVERIFY(f->frame4_3_2->contentsRect().contains(f->labelMargin->geometry()));
        }
        QVERIFY2(f->width() <= 1366, qPrintable(QString::number(f->width())));
    }
}

void TestMainWindow::siteViewNamesAndDocking()
{
    // A full sky: a satellite every degree from 60 W to 80 E.
    QByteArray list;
    for (int p = -60; p <= 80; ++p)
        list += QByteArray::number(p + 60) + '=' + QByteArray::number(p) + ".0;Sat " +
                QByteArray::number(p) + ";s.ini\n";
    SkyAt50North sky(list);
    Window w;
    auto* f = w.form.get();
    f->show();
    QVERIFY(QTest::qWaitForWindowExposed(f));
    const int undocked = f->minimumSizeHint().width();
    const int chosen = f->satlistComboBox->findText(QStringLiteral("Sat 7"), Qt::MatchEndsWith);
    f->satListToolbarComboBox_activated(chosen);
    f->siteDock()->show();
    QVERIFY(QTest::qWaitForWindowExposed(f->siteDock()));
    SiteView* view = f->siteView();
    auto* canvas = view->findChild<QwtPlot*>(QStringLiteral("sitePlot"))->canvas();
    for (bool docked : {false, true}) {
        const QVector<SiteView::Name> names = view->names();
        QVERIFY2(names.size() >= 10, qPrintable(QString::number(names.size())));
        bool chosenNamed = false;
        for (int i = 0; i < names.size(); ++i) {
            chosenNamed = chosenNamed || names.at(i).position == 7.0;
            // Inside the canvas, and apart from every other name.
            QVERIFY(QRectF(canvas->contentsRect()).contains(names.at(i).rect));
            for (int j = i + 1; j < names.size(); ++j)
                QVERIFY2(!names.at(i).rect.adjusted(-2, 0, 2, 0).intersects(names.at(j).rect),
                         qPrintable(QStringLiteral("%1 and %2")
                                        .arg(names.at(i).position)
                                        .arg(names.at(j).position)));
        }
        QVERIFY(chosenNamed);
        // Docked beside the window, it still fits a laptop's screen.
        f->siteDock()->setFloating(!docked);
        QTRY_VERIFY(f->siteDock()->isFloating() == !docked);
        QTRY_VERIFY2(f->minimumSizeHint().width() <= 1366,
                     qPrintable(QString::number(f->minimumSizeHint().width())));
    }
    // Squeezed to its narrowest, it still says which way a fixed dish's LNB turns.
    f->resizeDocks({f->siteDock()}, {1}, Qt::Horizontal);
    const auto* details = view->findChild<QLabel*>(QStringLiteral("siteDetails"));
    const QString way = QStringLiteral("clockwise from behind the dish");
    QVERIFY(view->detailsText().contains(QLatin1Char('\n') + way));
    QTRY_VERIFY(details->width() <= view->minimumSizeHint().width());
    QVERIFY(details->contentsRect().width() >= details->fontMetrics().horizontalAdvance(way));
    // And undocked again, the window may be as small as before.
    f->siteDock()->setFloating(true);
    QTRY_COMPARE(f->minimumSizeHint().width(), undocked);
    QTRY_VERIFY(f->minimumWidth() <= undocked);
    // Every point has its full name under the mouse.
    const sitegeometry::Pointing p = sitegeometry::pointing(50.0, 10.0, -31.0);
    QCOMPARE(view->nameAt(QPointF(p.azimuth, p.elevation)),
             QString::fromUtf8("Sat -31 (31.0\u00b0W)"));
}

void TestMainWindow::numbersInOneFormInAnyLanguage()
{
    // Russian writes "1 536" and "0,1"; the window's numbers stay "1536" and
    // "0.1", like its readings, satellite labels and data files.
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    auto restore = qScopeGuard([&before] { QLocale::setDefault(before); });
    Window w;
    auto* f = w.form.get();
    f->tuningSpinBox->setValue(f->tuningSpinBox->maximum());
    QCOMPARE(f->tuningSpinBox->text(), QString::number(f->tuningSpinBox->maximum()));
    const QwtScaleDraw* ber = f->statusPlot->axisScaleDraw(QwtPlot::yLeft);
    QCOMPARE(ber->label(0.1).text(), QStringLiteral("0.1"));
    QCOMPARE(f->statusPlot->axisScaleDraw(QwtPlot::yRight)->label(2500).text(),
             QStringLiteral("2500"));
    DisqOptions dialog(f, f->optionValues());
    QCOMPARE(dialog.maxTimeOfPosSpinBox->text(), QStringLiteral("1000"));
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"

// View > Phone meter…: started on this computer, its link and code; a new
// link replaces the old; a port in use is said in the window, which carries on.
void TestMainWindow::phoneMeterFromTheViewMenu()
{
    Window w;
    QAction* action = w.form->findChild<QAction*>(QStringLiteral("viewPhoneMeterAction"));
    QVERIFY(action && w.form->viewMenu->actions().contains(action));
    action->trigger();
    auto* dialog = w.form->findChild<PhoneMeterDialog*>();
    QVERIFY(dialog && dialog->isVisible());
    QVERIFY(dialog->codeLabel->pixmap(Qt::ReturnByValue).isNull());
    dialog->addressBox->setCurrentIndex(dialog->addressBox->findData(QStringLiteral("127.0.0.1")));
    QTcpServer taken;
    QVERIFY(taken.listen(QHostAddress::LocalHost));
    dialog->portBox->setValue(taken.serverPort());
    dialog->startButton->click();
    QVERIFY(!w.form->webServer().running());
    QVERIFY2(dialog->stateLabel->text().contains(QString::number(taken.serverPort())),
             qPrintable(dialog->stateLabel->text()));
    taken.close();
    dialog->startButton->click();
    QVERIFY(w.form->webServer().running());
    const QString first = dialog->urlLabel->text();
    QVERIFY(first.startsWith(QStringLiteral("http://127.0.0.1:")) && first.contains("?t="));
    QVERIFY(!dialog->codeLabel->pixmap(Qt::ReturnByValue).isNull());
    QVERIFY(!dialog->addressBox->isEnabled() && !dialog->portBox->isEnabled());
    dialog->newLinkButton->click();
    QVERIFY(dialog->urlLabel->text() != first);
    dialog->startButton->click(); // Stop
    QVERIFY(!w.form->webServer().running());
    QVERIFY(dialog->urlLabel->text().isEmpty());
    QVERIFY(!dialog->newLinkButton->isEnabled());
    QVERIFY(w.warnings.isEmpty());
}
