// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QWidget>

// A form's control names start with a prefix that says what kind of control
// it is ("st_" a label, "sle_" a single-line edit, ...). Tests and the engine
// find controls by these names, so a control of the wrong kind is a fault.
inline bool controlIsOfItsNamesKind(const QWidget *control)
{
    static const std::pair<const char *, const char *> kinds[] = {
        {"st_", "QLabel"},      {"sle_", "QLineEdit"}, {"mle_", "QPlainTextEdit"}, {"cbx_", "QCheckBox"},
        {"cb_", "QPushButton"}, {"gb_", "QGroupBox"},  {"lb_", "QListWidget"},     {"em_", "QSpinBox"},
        {"dw_", "QTableView"},  {"ole_", "u_web_browser"},
    };
    const QString name = control->objectName();
    for (const auto &[prefix, kind] : kinds) {
        if (name.startsWith(QLatin1String(prefix)))
            return control->inherits(kind);
    }
    return false;
}
