// Maker page: product name, version and the maker's details from [General] of the settings
// file, or a picture "ZT7_COPYR.BMP" with the version below it.
#pragma once

#include <QWidget>
#include <string>
#include <vector>

class QLabel;

class TNXGF7_Copyright : public QWidget {
public:
    TNXGF7_Copyright(QWidget* parent, const std::string& folder);

    void LoadOverlay();
    void ReloadTexts();
    void SetLine(int index, const QString& text);
    bool GetOverlay() const { return FOverlay; }

    QWidget* Panel;
    QLabel* itsUnderlayImage;
    QLabel* LineLabel[10];
    QLabel* itsOverlayImage;
    QLabel* BottomLabel;

private:
    std::string FFolder;
    std::vector<QLabel*> FLines;
    bool FOverlay = false;
};
