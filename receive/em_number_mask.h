// SPDX-License-Identifier: MIT
#pragma once

#include <QSpinBox>

// A numeric edit mask of five digits with spin buttons: up to five digits
// may be typed; the spin buttons stay within 1 to 1000; filling all five
// digits moves the focus on to the next control.
class em_number_mask : public QSpinBox {
    Q_OBJECT
public:
    static constexpr int kDigits = 5;
    static constexpr int kSpinMinimum = 1;
    static constexpr int kSpinMaximum = 1000;

    explicit em_number_mask(QWidget *parent = nullptr);

    void stepBy(int steps) override;

protected:
    StepEnabled stepEnabled() const override;
    void keyPressEvent(QKeyEvent *event) override;
};
