// Small builders of the controls the output dialogs share: every control carries its
// component name as objectName, and an edit's caption is a label whose buddy it is.
// Shared by the program's dialogs.
#pragma once

#include "run/qt_text.h"

#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <string_view>

namespace tarvimo::output::ui {

inline QPushButton* makeButton(QWidget* parent, const char* name, std::string_view utf8)
{
    auto* b = new QPushButton(q(utf8), parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    return b;
}

inline QLineEdit* makeEdit(QWidget* parent, const char* name)
{
    auto* e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    return e;
}

inline QLabel* captionFor(QWidget* buddy, const char* utf8)
{
    auto* l = new QLabel(q(utf8), buddy->parentWidget());
    l->setBuddy(buddy);
    return l;
}

// The bold heading at the top of a dialog.
inline QLabel* makeHeading(QWidget* parent, const QString& text)
{
    auto* l = new QLabel(text, parent);
    QFont f = l->font();
    f.setBold(true);
    f.setPointSizeF(f.pointSizeF() * 1.3);
    l->setFont(f);
    return l;
}

// Sets an edit's text only when it differs, so the cursor of an edit being typed in stays.
inline void showText(QLineEdit* e, const QString& text)
{
    if (e->text() != text)
        e->setText(text);
}

} // namespace tarvimo::output::ui
