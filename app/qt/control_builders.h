// The controls of DEKVANTO's Qt windows, made at their place in the window's dialog-unit layout:
// each control that takes the focus gets an accessible name (screen readers, tests).
#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QString>
#include <string_view>

namespace dekvanto::qt {

// A text of the application core (UTF-8) as Qt holds it.
QString Text(std::string_view text);

QLabel *Label(QWidget *parent, const char *text, const QRect &geometry);
// A group box, lying behind the controls it frames.
void Group(QWidget *parent, const char *title, const QRect &geometry);
QLineEdit *ReadOnlyBox(QWidget *parent, const QRect &geometry, const char *name);
QPushButton *Button(QWidget *parent, const char *text, const QRect &geometry, const char *name);
// A check box named by its text.
QCheckBox *CheckBox(QWidget *parent, const char *text, const QRect &geometry);

}  // namespace dekvanto::qt
