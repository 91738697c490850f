#include "panel/save.h"

#include <QLabel>
#include <QPushButton>

#include "panel/controls.h"

TNXGF7_Save::TNXGF7_Save(QWidget* parent) : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName(QStringLiteral("NXGF7_Save"));
    setWindowTitle(QStringLiteral("NX7 Save"));
    setFont(zt7::UiFont());
    setFixedSize(232, 93);
    Spacer = new QLabel(this);
    Spacer->setGeometry(0, 0, 232, 17);
    Label1 = new QLabel(QStringLiteral("設定の変更が完了しました"), this);
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setGeometry(0, 17, 232, 16);
    Label2 = new QLabel(QStringLiteral("変更された設定を保存しますか？"), this);
    Label2->setAlignment(Qt::AlignCenter);
    Label2->setGeometry(0, 33, 232, 16);
    CancelButton = new QPushButton(QStringLiteral("キャンセル"), this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    CancelButton->setGeometry(24, 58, 81, 25);
    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setGeometry(128, 58, 81, 25);
    // Cancel is the default: an accidental Enter sends nothing.
    CancelButton->setDefault(true);
    CancelButton->setAutoDefault(true);
    OKButton->setAutoDefault(false);
    QObject::connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
    QObject::connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
}
