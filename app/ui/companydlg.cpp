#include "app/ui/companydlg.h"

#include "app/ui/companyinfo.h"
#include "app/ui/modalresult.h"
#include "platform/cp1252.h"

#include <QDesktopServices>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>

namespace quenor {

TLinkLabel::TLinkLabel(const QString& text, QWidget* parent)
    : QLabel(text, parent)
{
    setTextFormat(Qt::PlainText);
    QFont f = font();
    f.setUnderline(true);
    setFont(f);
    QPalette p = palette();
    p.setColor(QPalette::WindowText, QColor(0, 0, 255));
    setPalette(p);
    setCursor(Qt::PointingHandCursor);
}

void TLinkLabel::mouseReleaseEvent(QMouseEvent* event)
{
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
}

TCompanyBox::TCompanyBox(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint)
    , opener_([](const QUrl& url) { return QDesktopServices::openUrl(url); })
{
    setWindowTitle(QStringLiteral("Company Info"));
    setFixedSize(300, 232);

    auto* name = new QLabel(FromCp1252(company::kName), this);
    name->setGeometry(8, 8, 284, 18);
    QFont bold = name->font();
    bold.setBold(true);
    name->setFont(bold);

    lblInfo = new QLabel(this);
    lblInfo->setObjectName(QStringLiteral("lblInfo"));
    lblInfo->setTextFormat(Qt::PlainText);
    lblInfo->setGeometry(8, 28, 284, 112);
    lblInfo->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    auto* notice = new QLabel(FromCp1252(company::kNotice), this);
    notice->setGeometry(8, 142, 284, 16);

    (new QLabel(QStringLiteral("Homepage:"), this))->setGeometry(8, 162, 70, 16);
    lblHomePage = new TLinkLabel(FromCp1252(company::kHomePageText), this);
    lblHomePage->setObjectName(QStringLiteral("lblHomePage"));
    lblHomePage->setGeometry(80, 162, 212, 16);
    connect(lblHomePage, &TLinkLabel::clicked, this, &TCompanyBox::lblHomePageClick);

    (new QLabel(QStringLiteral("E-mail:"), this))->setGeometry(8, 180, 70, 16);
    lblEmail = new TLinkLabel(FromCp1252(company::kEmail), this);
    lblEmail->setObjectName(QStringLiteral("lblEmail"));
    lblEmail->setGeometry(80, 180, 212, 16);
    connect(lblEmail, &TLinkLabel::clicked, this, &TCompanyBox::lblEmailClick);

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setGeometry(112, 202, 75, 25);
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, [this] { done(kMrOk); });

    FormCreate();
}

void TCompanyBox::FormCreate() { lblInfo->setText(FromCp1252(company::kPostalAddress)); }

void TCompanyBox::lblHomePageClick() { Open(QUrl(QString::fromLatin1(company::kHomePageUrl))); }

void TCompanyBox::lblEmailClick() { Open(QUrl(QStringLiteral("mailto:") + QString::fromLatin1(company::kEmail))); }

void TCompanyBox::Open(const QUrl& url)
{
    if (opener_ && opener_(url))
        return;
    QMessageBox::warning(this, windowTitle(),
                         QStringLiteral("No program to open %1 was found.").arg(url.toString()));
}

}  // namespace quenor
