#pragma once
// The RS-232 interface schematic: how a motor is wired to a PC's serial port.

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

namespace quenor {

class TfrmRS232Inter : public QDialog {
    Q_OBJECT
public:
    static constexpr int kSchematicId = 172;  // the picture's resource number

    explicit TfrmRS232Inter(QWidget* parent = nullptr);

    QFrame* pnlSchematic = nullptr;  // the raised frame round the picture
    QLabel* imSchematic = nullptr;   // 400 x 335
    QLabel* lblNote = nullptr;
    QPushButton* btnClose = nullptr;  // modal result 1
};

}  // namespace quenor
