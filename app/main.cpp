#include "app/startargs.h"
#include "app/ui/dialogplacement.h"
#include "app/ui/pngimages.h"
#include "app/ui/quenormain.h"
#include "platform/quitsignal.h"
#include "platform/savefile.h"
#include "platform/singleinstance.h"

#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QTimer>

#include <clocale>
#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char* argv[])
{
    quenor::IgnoreFileSizeSignal();
    // Options are answered before anything else: no window, no display, no
    // hand-over to a running Quenor.
    const std::vector<std::string> options =
        argc > 1 ? std::vector<std::string>(argv + 1, argv + argc) : std::vector<std::string>();
    const quenor::StartArguments start = quenor::ParseStartArguments(options);
    switch (start.action) {
    case quenor::StartAction::Help: std::fputs(quenor::UsageText().c_str(), stdout); return 0;
    case quenor::StartAction::Version: std::fputs(quenor::VersionText().c_str(), stdout); return 0;
    case quenor::StartAction::Refuse:
        std::fprintf(stderr, "quenor: unknown option %s\n\n%s", start.option.c_str(), quenor::UsageText().c_str());
        return 2;
    case quenor::StartAction::Run: break;
    }

    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Tovik"));
    QCoreApplication::setApplicationName(QStringLiteral("Quenor"));
    QApplication::setWindowIcon(quenor::ProgramIcon());
    quenor::CentreDialogsOnOwners(app);
    // Numbers are written and read with '.' whatever the user's locale.
    std::setlocale(LC_NUMERIC, "C");

    // Qt has taken its own options (-platform, -style, ...) out of the list.
    const QString fileName = argc > 1 ? QFile::decodeName(argv[1]) : QString();
    // The program names its files as text: a name whose bytes are not UTF-8
    // would name another file than the one given. It is refused; a first
    // start goes on without it and says so in its window as well.
    const bool nameIsText = argc <= 1 || QFile::encodeName(fileName) == QByteArray(argv[1]);
    if (!nameIsText)
        std::fputs("quenor: the name of the setup file is not valid UTF-8: Quenor cannot open a file by such a name\n",
                   stderr);

    quenor::SingleInstance instance;
    if (!instance.Claim()) {
        if (!nameIsText)
            return 2;
        // Another Quenor runs: it comes to the front and opens our file.
        QString why;
        if (!instance.SendToPrimary(fileName, 3000, &why)) {
            std::fprintf(stderr, "quenor: Quenor runs already, and %s: %s\n",
                         fileName.isEmpty() ? "did not come to the front" : "the file was not handed to it",
                         why.toLocal8Bit().constData());
            return 1;
        }
        return 0;
    }

    try {
        quenor::TfrmQuenor frmQuenor;
        QObject::connect(&instance, &quenor::SingleInstance::Activated, &frmQuenor,
                         [&frmQuenor](const QString& file) { frmQuenor.BringToFront(file); });
        quenor::InstallQuitOnSignal([&frmQuenor] { frmQuenor.close(); });
        frmQuenor.show();
        frmQuenor.InitAfterCreate(nameIsText ? fileName : QString());
        if (!nameIsText)
            QTimer::singleShot(0, &frmQuenor, [&frmQuenor, fileName] { frmQuenor.Session().RefuseFileName(fileName); });
        return app.exec();
    } catch (const std::exception& e) {
        QMessageBox::critical(nullptr, QStringLiteral("Quenor"), QString::fromLocal8Bit(e.what()));
        return 0;
    }
}
