#include "app/ui/relnotes.h"

#include "app/ui/modalresult.h"

#include <QPlainTextEdit>
#include <QPushButton>

namespace quenor {

TfrmReleaseNotes::TfrmReleaseNotes(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint)
{
    setWindowTitle(QStringLiteral("Release notes"));
    setFixedSize(361, 421);

    meRelNotes = new QPlainTextEdit(this);
    meRelNotes->setObjectName(QStringLiteral("meRelNotes"));
    meRelNotes->setGeometry(8, 8, 345, 372);
    meRelNotes->setReadOnly(true);
    meRelNotes->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QPalette p = meRelNotes->palette();
    p.setColor(QPalette::Base, p.color(QPalette::Button));
    meRelNotes->setPalette(p);

    Button1 = new QPushButton(QStringLiteral("&Close"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(143, 388, 75, 25);
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, &TfrmReleaseNotes::Button1Click);
}

void TfrmReleaseNotes::Button1Click() { close(); }

void TfrmReleaseNotes::reject() { done(kMrCancel); }

}  // namespace quenor
