// The Russian translation is complete: every text the sources mark for
// translation (forms, messages, status lines, command-line help) has a
// finished translation, and the compiled translation turns the window Russian.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTranslator>
#include <QXmlStreamReader>
#include <QtTest>

class TestTranslation : public QObject
{
    Q_OBJECT

private slots:
    void everyTextIsTranslated();
    void compiledTranslationIsFound();
};

void TestTranslation::everyTextIsTranslated()
{
    // lupdate over the sources into a copy: texts added since the file was
    // last updated come in unfinished, texts gone go out.
    QTemporaryDir dir;
    const QString copy = dir.filePath(QStringLiteral("zenara_ru.ts"));
    QVERIFY(QFile::copy(QStringLiteral(ZENARA_SOURCE_DIR "/Translations/zenara_ru.ts"), copy));
    QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner);
    QProcess lupdate;
    lupdate.setWorkingDirectory(QStringLiteral(ZENARA_SOURCE_DIR));
    lupdate.setProcessChannelMode(QProcess::MergedChannels);
    lupdate.start(QStringLiteral("lupdate"),
                  {QStringLiteral("-no-obsolete"), QStringLiteral("-locations"),
                   QStringLiteral("none"), QStringLiteral("app"), QStringLiteral("forms"),
                   QStringLiteral("hw"), QStringLiteral("lists"), QStringLiteral("monitor"),
                   QStringLiteral("positioner"), QStringLiteral("settings"), QStringLiteral("sim"),
                   QStringLiteral("-ts"), copy});
    QVERIFY2(lupdate.waitForFinished(120000) && lupdate.exitCode() == 0,
             lupdate.readAll().constData());

    QFile file(copy);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&file);
    QString context, source;
    QStringList untranslated;
    int messages = 0;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        if (xml.name() == QLatin1String("name")) {
            context = xml.readElementText();
        } else if (xml.name() == QLatin1String("source")) {
            source = xml.readElementText();
            ++messages;
        } else if (xml.name() == QLatin1String("translation")) {
            const QString type = xml.attributes().value(QLatin1String("type")).toString();
            if (!type.isEmpty() || xml.readElementText().isEmpty())
                untranslated.append(context + QStringLiteral(": ") + source);
        }
    }
    QVERIFY(!xml.hasError());
    QVERIFY(messages > 200);
    QVERIFY2(untranslated.isEmpty(), qPrintable(untranslated.join(QLatin1Char('\n'))));
}

void TestTranslation::compiledTranslationIsFound()
{
    // Built next to the sample data, where the program looks first.
    QTranslator translator;
    QVERIFY(translator.load(QStringLiteral("zenara_ru_RU"),
                            QStringLiteral(ZENARA_RUN_DIR "/Translations")));
    QCOMPARE(translator.translate("zenaraForm", "Halt Motor"), QStringLiteral("Стоп мотор"));
    QCOMPARE(translator.translate("main", "Receivers:"), QStringLiteral("Приёмники:"));
    // The status bar's receiver, and the window's numbers (which stay as they are).
    QCOMPARE(translator.translate("Receivers", "simulated receiver"),
             QStringLiteral("симулятор приёмника"));
}

QTEST_GUILESS_MAIN(TestTranslation)
#include "tst_translation.moc"
