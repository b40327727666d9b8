// The options dialog and the About box over the main window: what they show,
// what OK and Cancel write back, and what the window applies afterwards.

#include "app/messages.h"
#include "forms/about.h"
#include "forms/disqoptions.h"
#include "forms/zenaraform.h"
#include "settings/settingsstore.h"
#include "testsupport.h"

#include <QApplication>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <qwt_plot.h>
#include <qwt_scale_div.h>

#include <QScopeGuard>
#include <QSettings>

#include <cmath>
#include <functional>

namespace {

class Window
{
public:
    Window() : board({}, false)
    {
        QDir(m_data.path()).mkpath(QStringLiteral("Transponders"));
        QFile list(m_data.filePath(QStringLiteral("satlist.znr")));
        if (list.open(QIODevice::WriteOnly))
            list.write("0=42.0;Turksat;tk.ini\n1=13.0;Hot Bird;hb.ini\n");
        list.close();
        m_previous = QDir::currentPath();
        QDir::setCurrent(m_data.path());
        messages::setHook([this](QMessageBox::Icon, const QString&, const QString& text) {
            warnings.append(text);
        });
        form = std::make_unique<zenaraForm>();
    }
    ~Window()
    {
        form.reset();
        messages::setHook({});
        QDir::setCurrent(m_previous);
    }

    // Opens the options dialog, lets the test fill it in, then presses the button.
    void options(const std::function<void(DisqOptions&)>& fill, bool ok)
    {
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<DisqOptions*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            fill(*dialog);
            (ok ? dialog->okButton : dialog->cancelButton)->click();
            // A refused OK leaves it open: cancel it then.
            if (dialog->isVisible())
                dialog->reject();
        });
        form->optionsDiSEqCButton_clicked();
    }

    SimulatedBoard board;
    std::unique_ptr<zenaraForm> form;
    QStringList warnings;

private:
    QTemporaryDir m_data;
    QString m_previous;
};

} // namespace

class TestDialogs : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init()
    {
        const auto store = openSettings();
        store->clear();
        store->sync();
    }
    void showsTheWindowsValues();
    void cancelWritesNothingButApplies();
    void okWritesBackAndTheSiteRefillsTheBoxes();
    void decimalsRoundTrip();
    void unusableValuesAreRefused();
    void aPointInAnyLanguage_data();
    void aPointInAnyLanguage();
    void minimumElevationThinsTheLists();
    void learntSpeedIsKeptOrForgotten();
    void aboutIsFreshEachTime();
};

void TestDialogs::showsTheWindowsValues()
{
    Window w;
    bool checked = false;
    w.options(
        [&](DisqOptions& d) {
            QCOMPARE(d.windowTitle(), QStringLiteral("Settings"));
            QCOMPARE(d.locationLongitudeLineEdit->text(), QStringLiteral("42.0"));
            QCOMPARE(d.locationLatitudeLineEdit->text(), QStringLiteral("45.0"));
            QCOMPARE(d.oneDegStepLineEdit->text(), QStringLiteral("9.60"));
            QCOMPARE(d.maxTimeOfPosSpinBox->value(), 1000);
            QCOMPARE(d.gapTimeSpinBox->value(), 200);
            QCOMPARE(d.maxAngleSpinBox->value(), 80);
            QCOMPARE(d.spinBoxAcousticFreqMin->value(), 50);
            QCOMPARE(d.spinBoxAcousticFreqMax->value(), 1000);
            QCOMPARE(d.spinBoxAcousticScaleMax->value(), 70);
            QCOMPARE(d.comboBoxDriveVersion->currentText(), QStringLiteral("Typical"));
            QCOMPARE(d.comboBoxDriveVersion->itemText(1), QStringLiteral("STAB"));
            // What each version sends west, and when to pick the other.
            QVERIFY(d.labelWestCode->text().contains(QLatin1String("0x00 with Typical")) &&
                    d.labelWestCode->text().contains(QLatin1String("0xD0 with STAB")));
            QVERIFY(d.spinBoxAGCMin->isEnabled());
            QCOMPARE(d.spinBoxAGCMax->maximum(), 100);
            QCOMPARE(d.spinBoxAGCMin->maximum(), 99);
            QCOMPARE(d.maxAngleSpinBox->minimum(), 10);
            QCOMPARE(d.maxAngleSpinBox->maximum(), 90);
            QCOMPARE(d.gapTimeSpinBox->singleStep(), 10);
            QCOMPARE(d.locationLongitudeLineEdit->maxLength(), 6);
            QCOMPARE(d.oneDegStepLineEdit->maxLength(), 5);
            QVERIFY(d.width() >= 352 && d.height() >= 491);
            // On a 1366 x 768 laptop screen with a panel and a title bar.
            QVERIFY2(d.minimumSizeHint().width() <= 1366 && d.minimumSizeHint().height() <= 690,
                     qPrintable(QStringLiteral("%1 x %2")
                                    .arg(d.minimumSizeHint().width())
                                    .arg(d.minimumSizeHint().height())));
            // The focus order the form sets, through the fields that take a tab.
            const QList<QWidget*> order = {d.locationLongitudeLineEdit,
                                           d.locationLatitudeLineEdit,
                                           d.minElevationLineEdit,
                                           d.spinBoxAGCMin,
                                           d.spinBoxAGCMax,
                                           d.checkBoxAGCAutoScale,
                                           d.comboBoxDriveVersion,
                                           d.oneDegStepLineEdit,
                                           d.maxTimeOfPosSpinBox,
                                           d.gapTimeSpinBox,
                                           d.maxAngleSpinBox,
                                           d.dishDiameterLineEdit,
                                           d.okButton,
                                           d.cancelButton};
            QList<QWidget*> seen;
            QWidget* next = d.locationLongitudeLineEdit;
            for (int i = 0; i < 200 && seen.size() < order.size();
                 ++i, next = next->nextInFocusChain())
                if (order.contains(next) && !seen.contains(next))
                    seen.append(next);
            QCOMPARE(seen, order);
            checked = true;
        },
        false);
    QVERIFY(checked);
}

void TestDialogs::cancelWritesNothingButApplies()
{
    Window w;
    auto* f = w.form.get();
    const optionvalues::Values before = f->optionValues();
    // Something for each of the three steps to put right.
    f->satlistComboBox->setItemText(1, QStringLiteral("changed by the test"));
    f->tuningSpinBox->setMaximum(5);
    f->statusPlot->setAxisScale(QwtPlot::yRight, 5, 7);
    w.options(
        [](DisqOptions& d) {
            d.locationLatitudeLineEdit->setText(QStringLiteral("10.0"));
            d.maxAngleSpinBox->setValue(20);
        },
        false);
    QCOMPARE(f->optionValues().latitude, before.latitude);
    QCOMPARE(f->optionValues().maxAngle, before.maxAngle);
    // The site did not change: the boxes were not refilled ...
    QCOMPARE(f->satlistComboBox->itemText(1), QStringLiteral("changed by the test"));
    // ... but the drive ranges were derived again (Steps: 2 x 80 x 9.6) and
    // the plot's right axis set to the AGC scale again.
    QCOMPARE(f->tuningSpinBox->maximum(), 1536);
    f->statusPlot->updateAxes();
    QCOMPARE(f->statusPlot->axisScaleDiv(QwtPlot::yRight).lowerBound(), 0.0);
    QCOMPARE(f->statusPlot->axisScaleDiv(QwtPlot::yRight).upperBound(), 100.0);
}

void TestDialogs::okWritesBackAndTheSiteRefillsTheBoxes()
{
    Window w;
    auto* f = w.form.get();
    f->satlistComboBox->setItemText(1, QStringLiteral("changed by the test"));
    f->satListToolbarComboBox->setItemText(1, QStringLiteral("changed by the test"));
    w.options(
        [](DisqOptions& d) {
            d.locationLatitudeLineEdit->setText(QStringLiteral("45.1"));
            d.checkBoxAGCAutoScale->setChecked(true);
            // Disabled with auto scale, yet written back.
            QVERIFY(!d.spinBoxAGCMin->isEnabled() && !d.spinBoxAGCMax->isEnabled());
            d.spinBoxAGCMin->setValue(20);
            d.spinBoxAGCMax->setValue(90);
            d.comboBoxDriveVersion->setCurrentIndex(1);
            d.maxAngleSpinBox->setValue(60);
            d.spinBoxAcousticVolume->setValue(75);
        },
        true);
    const optionvalues::Values v = f->optionValues();
    QCOMPARE(v.latitude, 45.1);
    QVERIFY(v.agcAutoScale);
    QCOMPARE(v.agcScaleMin, 20);
    QCOMPARE(v.agcScaleMax, 90);
    QCOMPARE(v.driveVersion, 1);
    QCOMPARE(v.maxAngle, 60);
    QCOMPARE(v.acousticVolume, 75);
    // A tenth of a degree of latitude: both satellite boxes are filled afresh.
    QVERIFY(f->satlistComboBox->itemText(1).startsWith(QLatin1Char('[')));
    QVERIFY(f->satListToolbarComboBox->itemText(1).startsWith(QLatin1Char('[')));
    QCOMPARE(f->tuningSpinBox->maximum(), 1152); // 2 x 60 x 9.6
    // The positioner goes by the new values: the STAB code west.
    f->satListToolbarComboBox_activated(2);
    w.board.scene->heard.clear();
    f->gotoXYButton->click();
    QVERIFY(!w.board.scene->heard.isEmpty());
    QCOMPARE(quint8(w.board.scene->heard.first().at(3)) & 0xF0, 0xD0);
    // And they are what the window stores when it closes.
    w.form.reset();
    QSettings stored(openSettings()->fileName(), QSettings::IniFormat);
    QCOMPARE(stored.value(QStringLiteral("Settings/DriveVersion")).toInt(), 1);
    QCOMPARE(stored.value(QStringLiteral("Settings/LocationLatitude")).toDouble(), 45.1);
}

void TestDialogs::decimalsRoundTrip()
{
    Window w;
    auto* f = w.form.get();
    // Values with more decimals than the fields show are kept as shown.
    w.options([](DisqOptions& d) { d.oneDegStepLineEdit->setText(QStringLiteral("9.666")); }, true);
    QCOMPARE(f->optionValues().oneDegreSteps, 9.666); // set as text, past the validator
    QString shown;
    w.options(
        [&](DisqOptions& d) {
            shown = d.oneDegStepLineEdit->text();
            d.locationLongitudeLineEdit->setText(QStringLiteral("-8.04"));
        },
        true);
    QCOMPARE(shown, QStringLiteral("9.67"));
    QCOMPARE(f->optionValues().oneDegreSteps, 9.67);
    w.options([&](DisqOptions& d) { shown = d.locationLongitudeLineEdit->text(); }, true);
    QCOMPARE(shown, QStringLiteral("-8.0"));
    QCOMPARE(f->optionValues().longitude, -8.0);
    // A field that is no number is refused with the dialog's message, never
    // kept as 0.0 (which is a place, and would move every goto).
    w.options([](DisqOptions& d) { d.locationLongitudeLineEdit->setText(QStringLiteral("-")); },
              true);
    QCOMPARE(w.warnings.size(), 1);
    QVERIFY2(w.warnings.first().startsWith(QLatin1String("The longitude \"-\" is not a number")),
             qPrintable(w.warnings.first()));
    QCOMPARE(f->optionValues().longitude, -8.0);
}

void TestDialogs::unusableValuesAreRefused()
{
    Window w;
    auto* f = w.form.get();
    const optionvalues::Values before = f->optionValues();
    for (const auto& [field, text, message] :
         {std::tuple{0, "91.0", "The latitude must lie between -90 and 90 degrees"},
          std::tuple{1, "-181", "The longitude must lie between -180 and 180 degrees"},
          std::tuple{2, "0", "The motor must take between 0.01 and 999.99 steps for a degree."},
          std::tuple{2, "", "The steps per degree \"\" are not a number"},
          std::tuple{3, "61", "The minimum elevation must lie between 0 and 60 degrees."},
          std::tuple{4, "0.1", "The dish diameter must lie between 0.2 and 10 metres."},
          std::tuple{4, "1.2.3", "The dish diameter \"1.2.3\" is not a number"}}) {
        w.warnings.clear();
        w.options(
            [&](DisqOptions& d) {
                QLineEdit* edits[5] = {d.locationLatitudeLineEdit, d.locationLongitudeLineEdit,
                                       d.oneDegStepLineEdit, d.minElevationLineEdit,
                                       d.dishDiameterLineEdit};
                edits[field]->setText(QLatin1String(text));
                d.maxAngleSpinBox->setValue(33); // would be stored with the rest
            },
            true);
        QCOMPARE(w.warnings.size(), 1);
        QVERIFY2(w.warnings.first().startsWith(QLatin1String(message)),
                 qPrintable(w.warnings.first()));
        QCOMPARE(f->optionValues().maxAngle, before.maxAngle);
        QCOMPARE(f->optionValues().latitude, before.latitude);
    }
    // The whole-number fields offer what the options table allows, no more:
    // every such option has its field.
    w.options(
        [](DisqOptions& d) {
            int fields = 0;
            for (const QSpinBox* box : d.findChildren<QSpinBox*>()) {
                const optionvalues::Key* key =
                    optionvalues::findKey(box->property("optionKey").toString());
                QVERIFY2(key, qPrintable(box->objectName()));
                QCOMPARE(box->minimum(), int(key->minimum));
                QCOMPARE(box->maximum(), int(key->maximum));
                ++fields;
            }
            int wholes = 0;
            for (const optionvalues::Key& key : optionvalues::keys())
                wholes += key.kind == optionvalues::Key::Kind::Whole && key.whole;
            // The drive version is a list; the motor's learnt speeds are shown.
            QCOMPARE(fields, wholes - 3);
        },
        false);
}

void TestDialogs::aPointInAnyLanguage_data()
{
    QTest::addColumn<QLocale>("language");
    QTest::addColumn<QString>("typed");    // into the longitude field, key by key
    QTest::addColumn<double>("longitude"); // NaN: refused, the site unchanged
    const QLocale russian(QLocale::Russian, QLocale::Russia);
    const QLocale german(QLocale::German, QLocale::Germany);
    const QLocale english(QLocale::English, QLocale::UnitedKingdom);
    const double refused = qQNaN();
    // The fields are shown with a point: typing one works in every language.
    QTest::newRow("ru point") << russian << "-33.9" << -33.9;
    QTest::newRow("en point") << english << "-3.7" << -3.7;
    // Where the language writes a comma, a comma is a decimal separator too.
    QTest::newRow("ru comma") << russian << "43,5" << 43.5;
    QTest::newRow("de comma") << german << "-9,6" << -9.6;
    // Where it does not, "9,6" is no number: refused, never read as 96 or 0.
    QTest::newRow("en comma") << english << "9,6" << refused;
    // A lone sign or nothing at all is no place on Earth.
    QTest::newRow("sign") << russian << "-" << refused;
    QTest::newRow("empty") << english << "" << refused;
}

// The motor's learnt speed is shown, goes through OK untouched (no field
// holds it), and Forget clears it.
void TestDialogs::learntSpeedIsKeptOrForgotten()
{
    optionvalues::Values values;
    values.learnedMsPerDegree18V = 560;
    for (const bool forget : {false, true}) {
        DisqOptions d(nullptr, values);
        QCOMPARE(d.labelLearnedSpeed->text(),
                 QStringLiteral("Learnt from gotos: 560 ms/° at 18 V, not yet at 13 V"));
        QVERIFY(d.forgetSpeedButton->isEnabled());
        if (forget)
            QTest::mouseClick(d.forgetSpeedButton, Qt::LeftButton);
        QCOMPARE(d.forgetSpeedButton->isEnabled(), !forget);
        QCOMPARE(d.fieldValues().learnedMsPerDegree18V, forget ? 0 : 560);
    }
}

void TestDialogs::aPointInAnyLanguage()
{
    QFETCH(QLocale, language);
    QFETCH(QString, typed);
    QFETCH(double, longitude);
    const QLocale before;
    QLocale::setDefault(language);
    auto restore = qScopeGuard([&before] { QLocale::setDefault(before); });
    Window w;
    w.options(
        [&](DisqOptions& d) {
            d.locationLongitudeLineEdit->clear();
            QTest::keyClicks(d.locationLongitudeLineEdit, typed);
            d.oneDegStepLineEdit->clear();
            QTest::keyClicks(d.oneDegStepLineEdit, QStringLiteral("8.75"));
            d.minElevationLineEdit->clear();
            QTest::keyClicks(d.minElevationLineEdit, QStringLiteral("5"));
            d.dishDiameterLineEdit->clear();
            QTest::keyClicks(d.dishDiameterLineEdit, QStringLiteral("1.2"));
        },
        true);
    const optionvalues::Values v = w.form->optionValues();
    if (std::isnan(longitude)) {
        QCOMPARE(w.warnings.size(), 1);
        QCOMPARE(v.longitude, 42.0);
        QCOMPARE(v.oneDegreSteps, 9.6); // nothing of a refused OK is kept
        return;
    }
    QVERIFY2(w.warnings.isEmpty(), qPrintable(w.warnings.join('\n')));
    QCOMPARE(v.longitude, longitude);
    QCOMPARE(v.oneDegreSteps, 8.75);
    QCOMPARE(v.minElevation, 5.0);
    QCOMPARE(v.dishDiameter, 1.2);
    // Written at once, and read back at the next start.
    QSettings stored(openSettings()->fileName(), QSettings::IniFormat);
    QCOMPARE(stored.value(QStringLiteral("Settings/DishDiameter")).toDouble(), 1.2);
    QCOMPARE(stored.value(QStringLiteral("Settings/MinElevation")).toDouble(), 5.0);
}

void TestDialogs::minimumElevationThinsTheLists()
{
    // From 50 N 10 E, Turksat at 42 E stands 25 degrees up, Hot Bird 33.
    Window w;
    auto* f = w.form.get();
    w.options(
        [](DisqOptions& d) {
            d.locationLatitudeLineEdit->setText(QStringLiteral("50.0"));
            d.locationLongitudeLineEdit->setText(QStringLiteral("10.0"));
        },
        true);
    QCOMPARE(f->satlistComboBox->count(), 3);
    w.options([](DisqOptions& d) { d.minElevationLineEdit->setText(QStringLiteral("30.0")); },
              true);
    QCOMPARE(f->satlistComboBox->count(), 2);
    QCOMPARE(f->satListToolbarComboBox->count(), 2);
    QVERIFY(f->satlistComboBox->itemText(1).endsWith(QLatin1String("Hot Bird")));
}

void TestDialogs::aboutIsFreshEachTime()
{
    Window w;
    QList<QPointer<About>> seen;
    for (int i = 0; i < 2; ++i) {
        QTimer::singleShot(0, [&] {
            auto* about = qobject_cast<About*>(QApplication::activeModalWidget());
            QVERIFY(about);
            seen.append(about);
            QCOMPARE(about->windowTitle(), QStringLiteral("About"));
            QVERIFY(about->textLabel1->text().contains(QLatin1String("<b>Version 2.02</b>")));
            QVERIFY(about->textLabel1->text().contains(QLatin1String("GPL")));
            // Where this user's settings are.
            QVERIFY(about->textLabel1->text().contains(settingsPath().toHtmlEscaped()));
            QVERIFY(!about->pixmapLabel1->pixmap(Qt::ReturnByValue).isNull());
            QCOMPARE(about->pixmapLabel1->pixmap(Qt::ReturnByValue).size(),
                     QPixmap(QStringLiteral(":/images/splash.png")).size());
            about->pushButton1->click();
        });
        w.form->helpAboutAction->trigger();
    }
    QCOMPARE(seen.size(), 2);
    // Each one was destroyed when it closed.
    QVERIFY(seen.at(0).isNull() && seen.at(1).isNull());
}

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
