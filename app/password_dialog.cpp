#include "app/password_dialog.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>

#include "app/qt_desktop.h"

namespace vellumar {

bool askPasswordsDialog(QWidget* parent, const QString& title, const QStringList& labels,
                        QStringList& typed) {
    QDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("frmPasswords"));
    dialog.setWindowTitle(title);
    dialog.setWindowIcon(applicationIcon());
    auto* form = new QFormLayout(&dialog);
    QList<QLineEdit*> fields;
    for (int i = 0; i < labels.size(); ++i) {
        auto* field = new QLineEdit(&dialog);
        field->setObjectName(QStringLiteral("txtPassword%1").arg(i));
        field->setEchoMode(QLineEdit::Password);
        form->addRow(labels[i], field);
        fields << field;
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("cmdPasswordsOK"));
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    form->addRow(buttons);
    if (dialog.exec() != QDialog::Accepted) return false;
    typed.clear();
    for (QLineEdit* field : fields) typed << field->text();
    return true;
}

}  // namespace vellumar
