#include "app/ui/warninginfo.h"

#include "app/ui/modalresult.h"
#include "app/warnings.h"
#include "platform/cp1252.h"

#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QShowEvent>

#include <algorithm>

namespace quenor {
namespace {

constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 25;
constexpr int kInitialRange = 400;

}  // namespace

TfrmWarningInfo::TfrmWarningInfo(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint)
{
    setWindowTitle(QStringLiteral("Warning information"));
    setFixedSize(380, 428);

    sbWarnings = new QScrollArea(this);
    sbWarnings->setObjectName(QStringLiteral("sbWarnings"));
    sbWarnings->setGeometry(8, 8, 361, 385);
    sbWarnings->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    sbWarnings->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    sbWarnings->setWidgetResizable(false);
    auto* content = new QWidget;
    content->resize(sbWarnings->maximumViewportSize().width(), kInitialRange);
    sbWarnings->setWidget(content);

    auto makeButton = [this](const char* name, const QString& text, int x, int result) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setGeometry(x, 400, kButtonWidth, kButtonHeight);
        connect(b, &QPushButton::clicked, this, [this, result] { done(result); });
        return b;
    };
    btnAbort = makeButton("btnAbort", QStringLiteral("&Abort"), 208, kMrAbort);
    btnIgnore = makeButton("btnIgnore", QStringLiteral("&Ignore"), 296, kMrIgnore);
    btnClose = makeButton("btnClose", QStringLiteral("&Close"), 296, kMrOk);
    SetCloseOnly(false);
}

void TfrmWarningInfo::SetWarnings(std::span<const bool> flags, std::span<const std::string> args, int count)
{
    flags_.assign(flags.begin(), flags.end());
    args_.assign(args.begin(), args.end());
    count_ = count;
}

void TfrmWarningInfo::SetCloseOnly(bool closeOnly)
{
    closeOnly_ = closeOnly;
    btnAbort->setVisible(!closeOnly);
    btnIgnore->setVisible(!closeOnly);
    btnClose->setVisible(closeOnly);
    // Enter presses the button that is shown in Ignore's place.
    (closeOnly ? btnClose : btnIgnore)->setDefault(true);
}

void TfrmWarningInfo::reject() { done(kMrCancel); }

void TfrmWarningInfo::showEvent(QShowEvent* event)
{
    if (!event->spontaneous())
        BuildList();
    QDialog::showEvent(event);
}

void TfrmWarningInfo::BuildList()
{
    // The client width of the scroll box (its vertical bar always shown); the
    // box has its size by the time the dialog's show event arrives.
    const int clientWidth = sbWarnings->viewport()->width();

    auto* content = new QWidget;
    content->resize(clientWidth, kInitialRange);

    const int bits = std::min<int>({count_, static_cast<int>(flags_.size()), kWarningCount});
    int y = 10;
    for (int bit = 0; bit < bits; ++bit) {
        if (!flags_[static_cast<std::size_t>(bit)] || (bit == kWarnSaveInFlash && !closeOnly_))
            continue;
        const std::string arg =
            static_cast<std::size_t>(bit) < args_.size() ? args_[static_cast<std::size_t>(bit)] : std::string();

        auto* title = new QLabel(FromCp1252(FormatWarningText(kWarningTitleBase + bit, arg)), content);
        title->setObjectName(QStringLiteral("title%1").arg(bit));
        QFont bold = title->font();
        bold.setBold(true);
        title->setFont(bold);
        title->setWordWrap(true);
        title->setTextFormat(Qt::PlainText);
        const int titleWidth = clientWidth - 20;
        const int titleHeight = title->heightForWidth(titleWidth);
        title->setGeometry(10, y, titleWidth, titleHeight);
        y += titleHeight + 5;

        auto* text = new QLabel(FromCp1252(FormatWarningText(kWarningTextBase + bit, arg)), content);
        text->setObjectName(QStringLiteral("text%1").arg(bit));
        text->setWordWrap(true);
        text->setTextFormat(Qt::PlainText);
        const int textWidth = clientWidth - 30;
        const int textHeight = text->heightForWidth(textWidth);
        text->setGeometry(20, y, textWidth, textHeight);
        y += textHeight + 15;
    }
    content->resize(clientWidth, y);
    sbWarnings->setWidget(content);  // deletes the previous list
}

}  // namespace quenor
