#include "program/ui/vizuwareui.h"

#include "platform/cp1252.h"

#include <QMessageBox>

namespace quenor {

bool QtVizuWareUi::Ask(const std::string& text, const std::string& caption, Buttons buttons)
{
    if (buttons == Buttons::YesNo)
        return QMessageBox::question(parent_, FromCp1252(caption), FromCp1252(text),
                                     QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    return QMessageBox::question(parent_, FromCp1252(caption), FromCp1252(text),
                                 QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
}

void QtVizuWareUi::Message(const std::string& text, const std::string& caption)
{
    QMessageBox::information(parent_, FromCp1252(caption), FromCp1252(text));
}

}  // namespace quenor
