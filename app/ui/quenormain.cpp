#include "app/ui/quenormain.h"

namespace quenor {

TfrmQuenor::TfrmQuenor(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("frmQuenor"));
    resize(800, 600);
    SetFileCaption(QStringLiteral("Noname"));
}

TfrmQuenor::~TfrmQuenor() = default;

void TfrmQuenor::SetFileCaption(const QString& fileName)
{
    setWindowTitle(QStringLiteral("Quenor - ") + fileName);
}

}  // namespace quenor
