#include "app/ui/about.h"

#include "app/ui/companyinfo.h"
#include "app/ui/modalresult.h"
#include "app/ui/pngimages.h"
#include "platform/cp1252.h"

#include <QLabel>
#include <QPushButton>

namespace quenor {

TAboutBox::TAboutBox(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint)
{
    setWindowTitle(QStringLiteral("About Quenor"));
    setFixedSize(296, 184);

    auto label = [this](const QString& text, int x, int y, int w, int h, const char* name = nullptr) {
        auto* l = new QLabel(text, this);
        l->setGeometry(x, y, w, h);
        l->setTextFormat(Qt::PlainText);
        if (name)
            l->setObjectName(QString::fromLatin1(name));
        return l;
    };

    // The panel with the program icon and the texts.
    auto* icon = label({}, 8, 8, 32, 32, "ProgramIcon");
    icon->setPixmap(ProgramIcon().pixmap(32, 32));

    auto* product = label(QStringLiteral("Quenor"), 52, 8, 200, 18, "ProductName");
    QFont bold = product->font();
    bold.setBold(true);
    product->setFont(bold);
    label(QStringLiteral("Version"), 52, 28, 44, 16, "Version");
    lblVersion = label({}, 100, 28, 60, 16, "lblVersion");
    lblTestText = label(QStringLiteral("Beta version"), 164, 28, 120, 16, "lblTestText");
    lblTestText->setVisible(false);

    label(FromCp1252(company::kNotice), 8, 58, 280, 16, "Copyright");
    label(QStringLiteral("Built with the Qt toolkit"), 8, 76, 280, 16, "Credit1");
    auto* credit = label(QStringLiteral("PNG images decoded with libpng"), 8, 94, 280, 16, "Credit2");
    credit->setToolTip(QStringLiteral("Thanks to the authors of Qt and libpng"));
    label(FromCp1252(company::kName), 8, 118, 280, 16, "Company");
    lblDate = label({}, 8, 136, 280, 16, "lblDate");

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setGeometry(110, 154, 75, 25);
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, [this] { done(kMrOk); });

    FormCreate();
}

void TAboutBox::FormCreate() { ShowVersion(GetOwnVersionInfo(), BuildDateText()); }

void TAboutBox::ShowVersion(const OwnVersionInfo& info, const std::string& buildDate)
{
    lblVersion->setText(FromCp1252(AboutVersionText(info)));
    lblVersion->setToolTip(FromCp1252(AboutVersionHint(info, buildDate)));
    lblDate->setText(FromCp1252(buildDate));
    const std::string beta = AboutBetaText(info);
    if (!beta.empty()) {
        lblTestText->setText(FromCp1252(beta));
        lblTestText->setVisible(true);
    } else {
        lblTestText->setText(QStringLiteral("Beta version"));
        lblTestText->setVisible(false);
    }
}

}  // namespace quenor
