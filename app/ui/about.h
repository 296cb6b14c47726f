#pragma once
// The about box: product name, version and build of this program.

#include "app/ownversion.h"

#include <QDialog>

#include <string>

class QLabel;
class QPushButton;

namespace quenor {

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr);

    // Fills the version, date and beta labels (done at creation with this
    // build's version).
    void ShowVersion(const OwnVersionInfo& info, const std::string& buildDate);

    QLabel* lblVersion = nullptr;
    QLabel* lblDate = nullptr;
    QLabel* lblTestText = nullptr;
    QPushButton* OKButton = nullptr;  // kMrOk

private:
    void FormCreate();
};

}  // namespace quenor
