// zenara_mangen TEMPLATE OUTPUT: the manual page, its @OPTIONS@ and
// @REMOTE_COMMANDS@ filled in from the tables the program itself uses.

#include "app/commandline.h"
#include "core/remotecommands.h"

#include <QFile>
#include <QString>

#include <cstdio>

namespace {

// Text as roff prints it: hyphens as minus signs, backslashes kept, no line
// starting with a control character.
QString roff(const QString& text)
{
    QString out = text;
    out.replace(QLatin1Char('\\'), QLatin1String("\\e"));
    out.replace(QLatin1Char('-'), QLatin1String("\\-"));
    if (out.startsWith(QLatin1Char('.')) || out.startsWith(QLatin1Char('\'')))
        out.prepend(QLatin1String("\\&"));
    return out;
}

QString options()
{
    QString out;
    for (int i = 0; i < OptionRowCount; ++i) {
        const OptionRow& row = OptionRows[i];
        // The tag on one line: the option in bold, its value in italics.
        if (row.valueName)
            out += QLatin1String(".TP\n.BI \\-\\-") + roff(QLatin1String(row.name)) +
                   QLatin1String(" \" ") + roff(QLatin1String(row.valueName)) + QLatin1Char('"');
        else
            out += QLatin1String(".TP\n.B \\-\\-") + roff(QLatin1String(row.name));
        out += QLatin1Char('\n') + roff(QLatin1String(row.help)) + QLatin1Char('\n');
    }
    out += QLatin1String(".TP\n.BR \\-h \", \" \\-\\-help\nShow the options and the receivers, "
                         "then exit.\n.TP\n.BR \\-v \", \" \\-\\-version\nShow the version, "
                         "then exit.\n");
    return out;
}

QString remoteCommands()
{
    QString out;
    for (const remotecommands::Command* c : remotecommands::commands()) {
        if (*c->arguments)
            out += QLatin1String(".TP\n.BI ") + roff(QLatin1String(c->name)) +
                   QLatin1String(" \" ") + roff(QLatin1String(c->arguments)) + QLatin1Char('"');
        else
            out += QLatin1String(".TP\n.B ") + roff(QLatin1String(c->name));
        out += QLatin1Char('\n') + roff(QLatin1String(c->what)) + QLatin1String(".\n");
    }
    return out;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: zenara_mangen TEMPLATE OUTPUT\n");
        return 2;
    }
    QFile in(QString::fromLocal8Bit(argv[1]));
    QFile out(QString::fromLocal8Bit(argv[2]));
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "zenara_mangen: cannot read %s or write %s\n", argv[1], argv[2]);
        return 1;
    }
    QString page = QString::fromUtf8(in.readAll());
    page.replace(QLatin1String("@VERSION@"), QLatin1String(ZENARA_VERSION));
    page.replace(QLatin1String("@OPTIONS@\n"), options());
    page.replace(QLatin1String("@REMOTE_COMMANDS@\n"), remoteCommands());
    return out.write(page.toUtf8()) >= 0 && out.flush() ? 0 : 1;
}
