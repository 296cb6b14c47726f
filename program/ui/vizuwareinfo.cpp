#include "program/ui/vizuwareinfo.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace quenor {
namespace {

QLabel* AddPair(QGridLayout* grid, int row, const char* caption, const char* name)
{
    grid->addWidget(new QLabel(QString::fromLatin1(caption)), row, 0);
    auto* value = new QLabel;
    value->setObjectName(QString::fromLatin1(name));
    value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    value->setMinimumWidth(70);
    grid->addWidget(value, row, 1);
    return value;
}

}  // namespace

TVizuWareInfo::TVizuWareInfo(QWidget* parent) : QDialog(parent, Qt::Tool)
{
    setWindowTitle(QStringLiteral("Program information"));
    auto* column = new QVBoxLayout(this);
    auto* sizes = new QGroupBox(QStringLiteral("Sizes:"), this);
    auto* sizeGrid = new QGridLayout(sizes);
    ProgramSourceRem = AddPair(sizeGrid, 0, "Program + Source + REM:", "ProgramSourceRem");
    ProgramSource = AddPair(sizeGrid, 1, "Program + Source:", "ProgramSource");
    Program = AddPair(sizeGrid, 2, "Program only:", "Program");
    column->addWidget(sizes);
    auto* general = new QGroupBox(QStringLiteral("General Information:"), this);
    auto* generalGrid = new QGridLayout(general);
    Checksum = AddPair(generalGrid, 0, "Checksum:", "Checksum");
    Lines = AddPair(generalGrid, 1, "Lines:", "Lines");
    Mode = AddPair(generalGrid, 2, "Program type:", "Mode");
    column->addWidget(general);
    auto* ok = new QPushButton(QStringLiteral("Close"), this);
    ok->setObjectName(QStringLiteral("OKButton"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    column->addWidget(ok, 0, Qt::AlignHCenter);
}

void TVizuWareInfo::SetSizes(std::uint16_t codeSize, std::uint16_t sourceSize, std::uint16_t remarkSize)
{
    const ProgramSizeTexts t = SizeTexts(codeSize, sourceSize, remarkSize);
    Program->setText(QString::fromStdString(t.program));
    ProgramSource->setText(QString::fromStdString(t.programSource));
    ProgramSourceRem->setText(QString::fromStdString(t.programSourceRem));
}

void TVizuWareInfo::Show(const ProgramInformation& info)
{
    SetSizes(static_cast<std::uint16_t>(info.codeSize), static_cast<std::uint16_t>(info.sourceSize),
             static_cast<std::uint16_t>(info.remarkSize));
    Checksum->setText(QString::fromStdString(info.checksum));
    Lines->setText(QString::fromStdString(info.lines));
    Mode->setText(QString::fromStdString(info.mode));
}

}  // namespace quenor
