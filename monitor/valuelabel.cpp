#include "monitor/valuelabel.h"

#include <QEvent>
#include <QPainter>
#include <QRegularExpression>
#include <QStyle>
#include <QTextDocumentFragment>

ValueLabel::ValueLabel(QWidget* parent) : QLabel(parent)
{
    m_hint = hintFor(m_shown);
}


void ValueLabel::setText(const QString& text)
{
    if (text == m_text)
        return;
    m_text = text;
    m_shown = shownText(text);
    updateHint();
    update();
}

void ValueLabel::setWidestText(const QString& text)
{
    m_widest = text;
    updateHint();
}

void ValueLabel::updateHint()
{
    const QSize hint = hintFor(m_shown).expandedTo(hintFor(m_widest));
    if (hint != m_hint) {
        m_hint = hint;
        updateGeometry();
    }
}

void ValueLabel::changeEvent(QEvent* event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        updateHint();
}

QString ValueLabel::shownText(const QString& richText)
{
    if (!richText.contains(QLatin1Char('<')) && !richText.contains(QLatin1Char('&')))
        return richText;
    static const QRegularExpression tags(QStringLiteral("<[^>]*>"));
    QString shown = richText;
    shown.remove(tags);
    if (shown.contains(QLatin1Char('&')))
        shown = QTextDocumentFragment::fromHtml(shown).toPlainText();
    return shown;
}

QSize ValueLabel::hintFor(const QString& shown) const
{
    // Every digit counts as the widest, so that a new reading of the same
    // length never changes the window's layout.
    QString widest = shown.isEmpty() ? QStringLiteral(" ") : shown;
    for (QChar& c : widest)
        if (c.isDigit())
            c = QLatin1Char('0');
    const QSize text = fontMetrics().size(0, widest);
    const QMargins m = contentsMargins();
    return text + QSize(m.left() + m.right(), m.top() + m.bottom());
}

QSize ValueLabel::sizeHint() const
{
    return m_hint;
}

QSize ValueLabel::minimumSizeHint() const
{
    return m_hint;
}

void ValueLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    drawFrame(&painter);
    Qt::Alignment align = alignment();
    if (m_text.startsWith(QLatin1String("<p align=\"center\">")))
        align = Qt::AlignCenter;
    else if (m_text.startsWith(QLatin1String("<p align=\"right\">")))
        align = Qt::AlignRight | Qt::AlignVCenter;
    style()->drawItemText(&painter, contentsRect(), int(align), palette(), isEnabled(), m_shown,
                          foregroundRole());
}
