// About box: the panel's version line and the distributor's details, or "ZT7_ABOUT.BMP".
#pragma once

#include <QDialog>
#include <string>

class QLabel;
class QPushButton;

class TNXGF7_About : public QDialog {
public:
    TNXGF7_About(QWidget* parent, const std::string& folder);

    void OKButtonClick();

    QLabel* Label[8];
    QLabel* itsOverlayImage;
    QPushButton* OKButton;

private:
    std::string FFolder;
};
