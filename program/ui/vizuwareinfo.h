#pragma once
// "Program information": how much module memory the program needs in each
// transfer setting, its checksum, its number of lines and its type.

#include "program/runcontrol.h"

#include <QDialog>

class QLabel;

namespace quenor {

class TVizuWareInfo : public QDialog {
    Q_OBJECT
public:
    explicit TVizuWareInfo(QWidget* parent = nullptr);

    void SetSizes(std::uint16_t codeSize, std::uint16_t sourceSize, std::uint16_t remarkSize);
    // Fills every value from the program information.
    void Show(const ProgramInformation& info);

    QLabel* ProgramSourceRem = nullptr;
    QLabel* ProgramSource = nullptr;
    QLabel* Program = nullptr;
    QLabel* Checksum = nullptr;
    QLabel* Lines = nullptr;
    QLabel* Mode = nullptr;
};

}  // namespace quenor
