// Save prompt: asks whether the driver's changed settings should be saved.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

class TNXGF7_Save : public QDialog {
public:
    explicit TNXGF7_Save(QWidget* parent = nullptr);

    QLabel* Spacer;
    QLabel* Label1;
    QLabel* Label2;
    QPushButton* CancelButton;
    QPushButton* OKButton;
};
