#include "app/ui/rs232inter.h"

#include "app/ui/modalresult.h"
#include "app/ui/pngimages.h"

#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>

namespace quenor {

TfrmRS232Inter::TfrmRS232Inter(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("frmRS232Inter"));
    setWindowTitle(QStringLiteral("RS232 Interface connection"));
    setFixedSize(436, 440);

    pnlSchematic = new QFrame(this);
    pnlSchematic->setObjectName(QStringLiteral("pnlSchematic"));
    pnlSchematic->setFrameStyle(QFrame::Panel | QFrame::Raised);
    pnlSchematic->setLineWidth(2);
    pnlSchematic->setGeometry(16, 16, 404, 339);

    imSchematic = new QLabel(pnlSchematic);
    imSchematic->setObjectName(QStringLiteral("imSchematic"));
    imSchematic->setGeometry(2, 2, 400, 335);
    QImage picture;
    LoadPngResource(picture, kSchematicId, QColor(0xFF, 0xFF, 0xFF), QPoint(0, 0));
    imSchematic->setPixmap(QPixmap::fromImage(picture));

    lblNote = new QLabel(
        QStringLiteral("NOTE: pin 3 and pin 7 must be connected on the first controller, on the communication line."),
        this);
    lblNote->setObjectName(QStringLiteral("lblNote"));
    lblNote->setTextFormat(Qt::PlainText);
    lblNote->setWordWrap(true);
    lblNote->setGeometry(16, 362, 404, 34);

    btnClose = new QPushButton(QStringLiteral("&Close"), this);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    btnClose->setGeometry(180, 404, 75, 25);
    btnClose->setDefault(true);
    connect(btnClose, &QPushButton::clicked, this, [this] { done(kMrOk); });
}

}  // namespace quenor
