#include "app/ui/connhelp.h"

#include "app/connhelp.h"
#include "app/ui/rs232inter.h"
#include "platform/cp1252.h"

#include <QCheckBox>
#include <QLabel>
#include <QPalette>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStringList>

namespace quenor {

TfrmConnHelp::TfrmConnHelp(QWidget* parent, TfrmRS232Inter* schematic)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint),
      frmRS232Inter_(schematic ? schematic : new TfrmRS232Inter(this))
{
    setObjectName(QStringLiteral("frmConnHelp"));
    setWindowTitle(QStringLiteral("Connection trouble shooting"));
    setFixedSize(395, 442);

    lblInfo = new QLabel(QStringLiteral("This dialog can be displayed from the help menu."), this);
    lblInfo->setObjectName(QStringLiteral("lblInfo"));
    lblInfo->setTextFormat(Qt::PlainText);
    lblInfo->setGeometry(8, 8, 379, 18);

    meText = new QPlainTextEdit(this);
    meText->setObjectName(QStringLiteral("meText"));
    meText->setReadOnly(true);
    meText->setFrameShape(QFrame::NoFrame);
    meText->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    meText->setGeometry(8, 30, 379, 332);
    QPalette palette = meText->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Button));
    meText->setPalette(palette);
    QStringList lines;
    for (const std::string& line : ConnHelpLines())
        lines.push_back(FromCp1252(line));
    meText->setPlainText(lines.join(QLatin1Char('\n')));

    auto button = [this](const QString& text, const char* name, int x, int y, int w) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setGeometry(x, y, w, 25);
        b->setAutoDefault(false);
        return b;
    };
    btnSchematic = button(QStringLiteral("Schematic"), "btnSchematic", 8, 370, 121);
    btnUpdateMini = button(QStringLiteral("Load firmware VekAD"), "btnUpdateMini", 137, 370, 121);
    btnUpdateBig = button(QStringLiteral("Load firmware VekEF"), "btnUpdateBig", 266, 370, 121);
    btnClose = button(QStringLiteral("&Close"), "btnClose", 312, 408, 75);
    btnClose->setDefault(true);

    cbDisplay = new QCheckBox(QStringLiteral("Don't show this again."), this);
    cbDisplay->setObjectName(QStringLiteral("cbDisplay"));
    cbDisplay->setGeometry(8, 410, 290, 21);

    connect(btnSchematic, &QPushButton::clicked, this, &TfrmConnHelp::btnSchematicClick);
    connect(btnUpdateMini, &QPushButton::clicked, this, [this] { done(kConnHelpLoadSmall); });
    connect(btnUpdateBig, &QPushButton::clicked, this, [this] { done(kConnHelpLoadLarge); });
    connect(btnClose, &QPushButton::clicked, this, [this] { done(kConnHelpClose); });
}

int TfrmConnHelp::ShowHelp(bool& dontShow)
{
    cbDisplay->setChecked(dontShow);
    const int result = exec();
    dontShow = cbDisplay->isChecked();
    return result;
}

void TfrmConnHelp::btnSchematicClick() { frmRS232Inter_->exec(); }

}  // namespace quenor
