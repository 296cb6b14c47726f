#include "update/ui/proxylogin.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace quenor {

void AnswerProxyPrompt(QWidget* parent, ProxyPrompt& prompt)
{
    QDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("dlgProxyLogin"));
    dialog.setWindowTitle(QStringLiteral("Proxy authentication"));
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel(QStringLiteral("The proxy server requires a user name and password."), &dialog));
    auto* form = new QFormLayout;
    auto* user = new QLineEdit(&dialog);
    user->setObjectName(QStringLiteral("edUser"));
    auto* password = new QLineEdit(&dialog);
    password->setObjectName(QStringLiteral("edPassword"));
    password->setEchoMode(QLineEdit::Password);
    form->addRow(QStringLiteral("&User name:"), user);
    form->addRow(QStringLiteral("&Password:"), password);
    layout->addLayout(form);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    const bool ok = dialog.exec() == QDialog::Accepted;
    prompt.Answer(ok, user->text().toStdString(), password->text().toStdString());
}

}  // namespace quenor
