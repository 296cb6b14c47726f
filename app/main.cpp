#include "app/ui/quenormain.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Tovik"));
    QCoreApplication::setApplicationName(QStringLiteral("Quenor"));
    QApplication::setApplicationDisplayName(QStringLiteral("Quenor"));

    quenor::TfrmQuenor frmQuenor;
    frmQuenor.show();
    return app.exec();
}
