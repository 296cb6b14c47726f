#include "app/ui/dialogplacement.h"
#include "app/ui/pngimages.h"
#include "app/ui/quenormain.h"
#include "platform/quitsignal.h"
#include "platform/singleinstance.h"

#include <QApplication>
#include <QMessageBox>

#include <clocale>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Tovik"));
    QCoreApplication::setApplicationName(QStringLiteral("Quenor"));
    QApplication::setWindowIcon(quenor::ProgramIcon());
    quenor::CentreDialogsOnOwners(app);
    // Numbers are written and read with '.' whatever the user's locale.
    std::setlocale(LC_NUMERIC, "C");

    const QStringList args = QCoreApplication::arguments();
    const QString fileName = args.size() > 1 ? args.at(1) : QString();

    quenor::SingleInstance instance;
    if (!instance.Claim()) {
        // Another Quenor runs: it comes to the front and opens our file.
        instance.SendToPrimary(fileName);
        return 0;
    }

    try {
        quenor::TfrmQuenor frmQuenor;
        QObject::connect(&instance, &quenor::SingleInstance::Activated, &frmQuenor,
                         [&frmQuenor](const QString& file) { frmQuenor.BringToFront(file); });
        quenor::InstallQuitOnSignal([&frmQuenor] { frmQuenor.close(); });
        frmQuenor.show();
        frmQuenor.InitAfterCreate(fileName);
        return app.exec();
    } catch (const std::exception& e) {
        QMessageBox::critical(nullptr, QStringLiteral("Quenor"), QString::fromLocal8Bit(e.what()));
        return 0;
    }
}
