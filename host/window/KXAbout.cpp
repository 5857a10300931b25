#include "KXAbout.h"

#include <QFont>
#include <QLabel>
#include <QPixmap>
#include <QScreen>

TFormKXAbout::TFormKXAbout(QWidget* AParent)
    : QDialog(AParent, Qt::Dialog | Qt::FramelessWindowHint) {
  setObjectName("FormKXAbout");
  setWindowTitle("About Pellora");
  setModal(true);
  const QPixmap Splash(":/console/KX_SPLASH.png");
  FPicture = new QLabel(this);
  FPicture->setObjectName("imgSplash");
  FPicture->setPixmap(Splash);
  FPicture->setGeometry(0, 0, Splash.width(), Splash.height());
  FVersion = new QLabel("Version 10.0.0", this);
  FVersion->setObjectName("lablVersion");
  FVersion->setStyleSheet("color: white; background: transparent;");
  FVersion->move(105, 175);
  FVersion->adjustSize();
  FNumber = new QLabel("1", this);
  FNumber->setObjectName("lablNumber");
  QFont Big("Times New Roman", 70);
  Big.setBold(true);
  FNumber->setFont(Big);
  FNumber->setStyleSheet("color: rgb(153, 201, 12); background: transparent;");
  FNumber->move(10, 160);
  FNumber->adjustSize();
  // the labels let clicks through to the box, which closes on any of them
  for (QLabel* L : {FPicture, FVersion, FNumber}) L->setAttribute(Qt::WA_TransparentForMouseEvents);
  setFixedSize(Splash.size());
}

void TFormKXAbout::Popup() {
  if (const QScreen* Screen = screen()) move(Screen->geometry().center() - rect().center());
  open();
}

void TFormKXAbout::mousePressEvent(QMouseEvent*) { accept(); }
