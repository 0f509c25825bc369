// SPDX-License-Identifier: MIT
#include "receive/em_number_mask.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <algorithm>

em_number_mask::em_number_mask(QWidget *parent) : QSpinBox(parent)
{
    // The text takes any five digits; only the buttons keep to 1..1000.
    setRange(0, 99999);
    setValue(1);
    setButtonSymbols(QAbstractSpinBox::UpDownArrows);
    setAccelerated(true);
    lineEdit()->setMaxLength(kDigits);
}

void em_number_mask::stepBy(int steps)
{
    setValue(std::clamp(value() + steps, kSpinMinimum, kSpinMaximum));
    selectAll();
}

QAbstractSpinBox::StepEnabled em_number_mask::stepEnabled() const
{
    StepEnabled enabled = StepNone;
    if (isReadOnly())
        return enabled;
    if (value() < kSpinMaximum)
        enabled |= StepUpEnabled;
    if (value() > kSpinMinimum)
        enabled |= StepDownEnabled;
    return enabled;
}

void em_number_mask::keyPressEvent(QKeyEvent *event)
{
    const bool digit = event->text().size() == 1 && event->text().at(0).isDigit();
    QSpinBox::keyPressEvent(event);
    if (digit && lineEdit()->text().size() >= kDigits && lineEdit()->cursorPosition() >= kDigits)
        focusNextChild();
}
