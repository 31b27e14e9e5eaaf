#pragma once

#include <QPixmap>
#include <QWidget>

namespace corvat {

constexpr int kWindowIconSize = 32;  // pixels
constexpr int kLogoSize = 50;        // pixels

// Both are drawn by the program, so no image file has to travel with it.
QPixmap WindowIconPixmap();
QPixmap LogoPixmap();
// The same picture at any size, on a transparent ground: the desktop's icons.
QPixmap IconPixmap(int size);

// The picture box: a sunken frame around the logo. It sits in the tab order, so it shows where the focus is.
class LogoBox : public QWidget {
  public:
    explicit LogoBox(QWidget* parent = nullptr);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QPixmap m_logo = LogoPixmap();
};

}  // namespace corvat
