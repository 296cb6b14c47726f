#include "app/ui/connhelp.h"

#include "app/connhelp.h"
#include "app/ui/rs232inter.h"
#include "platform/cp1252.h"

#include <QCheckBox>
#include <QFontMetrics>
#include <QLabel>
#include <QPalette>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStringList>
#include <QTextDocument>

#include <algorithm>

namespace quenor {

TfrmConnHelp::TfrmConnHelp(QWidget* parent, TfrmRS232Inter* schematic)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint),
      frmRS232Inter_(schematic ? schematic : new TfrmRS232Inter(this))
{
    setObjectName(QStringLiteral("frmConnHelp"));
    setWindowTitle(QStringLiteral("Connection trouble shooting"));

    lblInfo = new QLabel(QStringLiteral("This dialog can be displayed from the help menu."), this);
    lblInfo->setObjectName(QStringLiteral("lblInfo"));
    lblInfo->setTextFormat(Qt::PlainText);
    lblInfo->setGeometry(8, 8, 379, 18);

    meText = new QPlainTextEdit(this);
    meText->setObjectName(QStringLiteral("meText"));
    meText->setReadOnly(true);
    meText->setFrameShape(QFrame::NoFrame);
    meText->setLineWrapMode(QPlainTextEdit::NoWrap);
    QPalette palette = meText->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Button));
    meText->setPalette(palette);
    QStringList lines;
    for (const std::string& line : ConnHelpLines())
        lines.push_back(FromCp1252(line));
    meText->setPlainText(lines.join(QLatin1Char('\n')));

    // The text is laid out in lines of its own: the memo (and with it the
    // dialog) grows where the platform's font needs more room than 379 x 332.
    const QFontMetrics fm(meText->font());
    int textWidth = 0;
    for (const QString& line : lines)
        textWidth = std::max(textWidth, fm.horizontalAdvance(line));
    const int margins = 2 * (static_cast<int>(meText->document()->documentMargin()) + meText->frameWidth());
    const int memoWidth = std::max(379, textWidth + margins + 2 * fm.averageCharWidth());
    const int memoHeight = std::max(332, fm.lineSpacing() * (static_cast<int>(lines.size()) + 1) + margins);
    meText->setGeometry(8, 30, memoWidth, memoHeight);
    meText->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    meText->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    const int right = 8 + memoWidth;
    const int bottom = 30 + memoHeight;
    setFixedSize(right + 8, bottom + 80);

    auto button = [this](const QString& text, const char* name, int width) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QString::fromLatin1(name));
        b->resize(std::max(width, b->sizeHint().width()), 25);
        b->setAutoDefault(false);
        return b;
    };
    btnSchematic = button(QStringLiteral("Schematic"), "btnSchematic", 121);
    btnUpdateMini = button(QStringLiteral("Load firmware VekAD"), "btnUpdateMini", 121);
    btnUpdateBig = button(QStringLiteral("Load firmware VekEF"), "btnUpdateBig", 121);
    btnClose = button(QStringLiteral("&Close"), "btnClose", 75);
    btnClose->setDefault(true);
    btnSchematic->move(8, bottom + 8);
    btnUpdateBig->move(right - btnUpdateBig->width(), bottom + 8);
    btnUpdateMini->move(btnUpdateBig->x() - 8 - btnUpdateMini->width(), bottom + 8);
    btnClose->move(right - btnClose->width(), bottom + 46);

    cbDisplay = new QCheckBox(QStringLiteral("Don't show this again."), this);
    cbDisplay->setObjectName(QStringLiteral("cbDisplay"));
    cbDisplay->setGeometry(8, bottom + 48, std::max(200, cbDisplay->sizeHint().width()), 21);

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

void TfrmConnHelp::btnSchematicClick()
{
    frmRS232Inter_->exec();
}

}  // namespace quenor
