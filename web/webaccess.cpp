#include "web/webaccess.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkInterface>
#include <QRandomGenerator>
#include <QUrl>
#include <QUrlQuery>

#include <cmath>

namespace web {

bool parseListen(const QString& text, const QHostAddress& fallback, Listen* out, QString* error)
{
    const QString t = text.trimmed();
    QString host, port;
    const int colon = t.lastIndexOf(QLatin1Char(':'));
    if (t.startsWith(QLatin1Char('['))) { // [::1]:8088
        const int close = t.indexOf(QLatin1Char(']'));
        host = t.mid(1, close - 1);
        port = close > 0 && colon == close + 1 ? t.mid(colon + 1) : QString();
    } else if (colon >= 0 && t.indexOf(QLatin1Char(':')) == colon) {
        host = t.left(colon);
        port = t.mid(colon + 1);
    } else if (colon < 0 && !t.contains(QLatin1Char('.'))) {
        port = t;
    } else {
        host = t;
        port = QString::number(DefaultPort);
    }
    bool ok = false;
    const int number = port.toInt(&ok);
    QHostAddress address = fallback;
    if (!host.isEmpty() && !address.setAddress(host)) {
        *error = QStringLiteral("%1 is not an IP address of this machine, such as 192.168.1.20")
                     .arg(host);
        return false;
    }
    if (!ok || number < 0 || number > 65535) {
        *error = QStringLiteral("the phone meter needs [ADDRESS:]PORT, such as 192.168.1.20:8088 "
                                "or 8088 (port 0: any free one)");
        return false;
    }
    out->address = address;
    out->port = quint16(number);
    return true;
}

QByteArray newToken()
{
    quint32 words[4];
    QRandomGenerator::system()->fillRange(words);
    return QByteArray(reinterpret_cast<const char*>(words), sizeof words).toHex();
}

bool sameToken(const QByteArray& given, const QByteArray& token)
{
    if (token.isEmpty())
        return false;
    // Every byte of the token is looked at whatever the given one holds.
    unsigned difference = unsigned(given.size() ^ token.size());
    for (int i = 0; i < token.size(); ++i)
        difference |= unsigned(uchar(token.at(i)) ^ uchar(i < given.size() ? given.at(i) : 0));
    return difference == 0;
}

QHostAddress firstNetworkAddress()
{
    for (const QHostAddress& a : QNetworkInterface::allAddresses())
        if (!a.isLoopback() && a.protocol() == QAbstractSocket::IPv4Protocol)
            return a;
    return QHostAddress(QHostAddress::LocalHost);
}

QString pageUrl(const Listen& listen, quint16 boundPort, const QByteArray& token)
{
    QHostAddress host = listen.address;
    if (host == QHostAddress(QHostAddress::AnyIPv4) || host == QHostAddress(QHostAddress::AnyIPv6))
        host = firstNetworkAddress();
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(host.toString());
    url.setPort(boundPort);
    url.setPath(QStringLiteral("/"));
    url.setQuery(QStringLiteral("t=") + QString::fromLatin1(token));
    return url.toString(QUrl::FullyEncoded);
}

bool pageMayRun(const QByteArray& request, QString* reason)
{
    static const char* const Allowed[] = {"status", "satellites", "satellite", "go",
                                          "halt",   "drive",      "autotune",  "markers"};
    const QJsonObject o = QJsonDocument::fromJson(request).object();
    const QString command = o.value(QStringLiteral("command")).toString();
    for (const char* name : Allowed)
        if (command == QLatin1String(name))
            return true;
    *reason = command.isEmpty() ? QStringLiteral("the request names no command")
                                : QStringLiteral("%1 is not a phone meter command").arg(command);
    return false;
}

namespace {

QString number(const QJsonValue& v, int decimals, const char* unit)
{
    return v.isDouble() ? QString::number(v.toDouble(), 'f', decimals) + QLatin1String(unit)
                        : QStringLiteral("–");
}

QString berText(const QJsonValue& v)
{
    return v.isDouble() ? QString::number(v.toDouble(), 'e', 1) : QStringLiteral("–");
}

} // namespace

QString readingsText(const QJsonObject& s)
{
    QStringList flags;
    const QJsonObject f = s.value(QStringLiteral("flags")).toObject();
    for (auto it = f.begin(); it != f.end(); ++it)
        if (it.value().toBool())
            flags.append(it.key());
    const QJsonValue angle = s.value(QStringLiteral("dish_angle"));
    QString dish = QStringLiteral("–");
    if (angle.isDouble())
        dish = QStringLiteral("%1°%2")
                   .arg(std::abs(angle.toDouble()), 0, 'f', 1)
                   .arg(angle.toDouble() < 0 ? 'W' : 'E');
    if (s.value(QStringLiteral("moving")).toBool())
        dish += QStringLiteral(", moving");
    return QStringList{
        QStringLiteral("Satellite: ") + s.value(QStringLiteral("satellite")).toString(),
        QStringLiteral("Lock: ") +
            (s.value(QStringLiteral("locked")).toBool() ? QStringLiteral("yes")
                                                        : QStringLiteral("no")) +
            QStringLiteral(" (") + flags.join(QLatin1Char(' ')) + QLatin1Char(')'),
        QStringLiteral("AGC: ") + number(s.value(QStringLiteral("agc")), 0, " %"),
        QStringLiteral("SNR: ") + number(s.value(QStringLiteral("snr")), 0, " %"),
        QStringLiteral("BER: ") + berText(s.value(QStringLiteral("ber"))),
        QStringLiteral("C/N: ") + number(s.value(QStringLiteral("cn_db")), 1, " dB") +
            QStringLiteral(", margin ") + number(s.value(QStringLiteral("margin_db")), 1, " dB"),
        QStringLiteral("Network: ") + s.value(QStringLiteral("network_line")).toString(),
        QStringLiteral("Dish: ") + dish,
    }
        .join(QLatin1Char('\n'));
}

} // namespace web
