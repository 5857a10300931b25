#pragma once
// The About box: borderless and modal, centred on the screen, the size of its picture, with the
// version over it; a click anywhere closes it.
#include <QDialog>

class QLabel;

class TFormKXAbout : public QDialog {
  Q_OBJECT

public:
  explicit TFormKXAbout(QWidget* AParent = nullptr);
  // Shows the box modal without blocking the caller (the server's notifications go on).
  void Popup();

protected:
  void mousePressEvent(QMouseEvent* AEvent) override;

private:
  QLabel* FPicture = nullptr;
  QLabel* FVersion = nullptr;
  QLabel* FNumber = nullptr;
};
