#include "qt/control_builders.h"

#include <QGroupBox>

namespace dekvanto::qt {

QString Text(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QLabel *Label(QWidget *parent, const char *text, const QRect &geometry) {
    auto *label = new QLabel(QString::fromLatin1(text), parent);
    label->setTextFormat(Qt::PlainText);  // file names and sizes are shown as they are
    label->setGeometry(geometry);
    return label;
}

void Group(QWidget *parent, const char *title, const QRect &geometry) {
    auto *group = new QGroupBox(QString::fromLatin1(title), parent);
    group->setGeometry(geometry);
    group->setFocusPolicy(Qt::NoFocus);
    group->lower();
}

QLineEdit *ReadOnlyBox(QWidget *parent, const QRect &geometry, const char *name) {
    auto *box = new QLineEdit(parent);
    box->setReadOnly(true);
    box->setGeometry(geometry);
    box->setAccessibleName(QString::fromLatin1(name));
    return box;
}

QPushButton *Button(QWidget *parent, const char *text, const QRect &geometry, const char *name) {
    auto *button = new QPushButton(QString::fromLatin1(text), parent);
    button->setGeometry(geometry);
    button->setAccessibleName(QString::fromLatin1(name));
    return button;
}

QCheckBox *CheckBox(QWidget *parent, const char *text, const QRect &geometry) {
    auto *box = new QCheckBox(QString::fromLatin1(text), parent);
    box->setGeometry(geometry);
    box->setAccessibleName(QString::fromLatin1(text));
    return box;
}

}  // namespace dekvanto::qt
