// How setup files reach the session from the window: the file menu, the tool
// bar's Open with its recent files, and a dropped file.

#include "app/setupfile.h"
#include "app/ui/quenormain.h"

#include <QAction>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QMenu>
#include <QMimeData>
#include <QToolBar>
#include <QToolButton>

namespace quenor {

void TfrmQuenor::OpenClick() { session_->OpenSetupFile(); }

void TfrmQuenor::SaveClick()
{
    if (session_->FileName() == QStringLiteral("Noname"))
        SaveAsClick();
    else
        session_->SaveSetupFile(session_->FileName());
}

void TfrmQuenor::SaveAsClick()
{
    const QString name = session_->prompts.saveFileName();
    if (!name.isEmpty())
        session_->SaveSetupFile(name);
}

void TfrmQuenor::RebuildRecentMenu()
{
    if (!recentMenu_)
        return;
    recentMenu_->clear();
    const std::vector<QString>& files = session_->RecentFiles();
    int n = 0;
    for (const QString& name : files) {
        QAction* a = recentMenu_->addAction(QStringLiteral("&%1 %2").arg(++n).arg(name));
        connect(a, &QAction::triggered, this, [this, name] { session_->LoadSetupFile(name); });
    }
    recentMenu_->setEnabled(!files.empty());
    // With recent files the tool bar's Open gets them as its drop-down.
    if (auto* button = qobject_cast<QToolButton*>(tbxToolbar_ ? tbxToolbar_->widgetForAction(tbOpen_) : nullptr)) {
        button->setMenu(files.empty() ? nullptr : recentMenu_);
        button->setPopupMode(files.empty() ? QToolButton::DelayedPopup : QToolButton::MenuButtonPopup);
    }
}

void TfrmQuenor::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void TfrmQuenor::dropEvent(QDropEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    event->acceptProposedAction();
    if (urls.size() != 1 || !urls.front().isLocalFile())
        return;
    const QString name = urls.front().toLocalFile();
    if (IsSetupFileName(QFile::encodeName(name).toStdString()))
        session_->LoadSetupFile(name);
}

}  // namespace quenor
