#pragma once

// The widget helpers both halves of the settings dialog build with: the dialog
// itself and the building of its two tabs. Not part of its interface.

#include "settings/colour_value.h"

#include <QCheckBox>
#include <QColor>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace velmar::settings {

namespace detail {

// Twips a pixel at 96 dpi: the design sizes are in twips.
inline constexpr int kTwipsPerPixel = 15;
// Width of both absence grid columns, twips.
inline constexpr int kAbsenceColumnWidth = 1500;

QLabel* label(QWidget* parent, const char* name, const QString& caption, const QString& tip = {});
QPushButton* button(QWidget* parent, const char* name, const QString& caption, const QString& tip);
QLineEdit* lineEdit(QWidget* parent, const char* name, const QString& tip);
QCheckBox* checkBox(QWidget* parent, const char* name, const QString& caption, const QString& tip);
// A stored colour value as shown; white where the value is none.
QColor shownColour(quint32 value);

} // namespace detail

// A colour sample: a read-only box whose background is the colour value it holds.
class ColourSwatch final : public QLineEdit {
public:
    ColourSwatch(const char* name, const QString& tip, QWidget* parent) : QLineEdit(parent)
    {
        setObjectName(QString::fromLatin1(name));
        setToolTip(tip);
        setReadOnly(true);
        setFocusPolicy(Qt::NoFocus);
        setMaximumWidth(fontMetrics().horizontalAdvance(u'M') * 4);
        setValue(WindowBackgroundColour);
    }

    quint32 value() const { return m_value; }
    void setValue(quint32 value)
    {
        m_value = value;
        QPalette p = palette();
        p.setColor(QPalette::Base, detail::shownColour(value));
        setPalette(p);
    }

private:
    quint32 m_value = WindowBackgroundColour;
};

} // namespace velmar::settings
