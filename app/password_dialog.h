#pragma once
// The small dialog behind Desktop::askPasswords: one field without echo for
// each label, OK and Cancel.

#include <QString>
#include <QStringList>
#include <QWidget>

namespace vellumar {

// False when cancelled; else `typed` holds one text per label.
bool askPasswordsDialog(QWidget* parent, const QString& title, const QStringList& labels,
                        QStringList& typed);

}  // namespace vellumar
