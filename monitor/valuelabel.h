#pragma once

#include <QLabel>

// A label for a reading that changes four times a second. Its text keeps the
// window's rich-text form ("<p align=\"center\">47.3</p>") but is drawn as plain
// text, and a new reading only repaints the label: QLabel would parse and lay
// out the HTML and ask the whole window to lay itself out again on every poll,
// which cost more CPU than the rest of the poll together.
class ValueLabel : public QLabel
{
public:
    explicit ValueLabel(QWidget* parent = nullptr);

    // Stand in for QLabel's (not virtual) through a ValueLabel pointer, which
    // is how the window holds these labels.
    void setText(const QString& text);
    QString text() const { return m_text; }

    // The text as it is drawn: without tags, entities decoded.
    static QString shownText(const QString& richText);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    // The longest text the label will show: room for it is kept from the
    // start, in whatever font, so that a longer reading is never cut off.
    void setWidestText(const QString& text);

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QSize hintFor(const QString& shown) const;

    void updateHint();

    QString m_text;
    QString m_shown;
    QString m_widest;
    QSize m_hint;
};
