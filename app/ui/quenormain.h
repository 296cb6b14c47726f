#pragma once
// The main window.

#include <QMainWindow>

namespace quenor {

class TfrmQuenor : public QMainWindow {
    Q_OBJECT
public:
    explicit TfrmQuenor(QWidget* parent = nullptr);
    ~TfrmQuenor() override;

    void SetFileCaption(const QString& fileName);
};

}  // namespace quenor
