#pragma once

#include <QPixmap>
#include <QWidget>

#include "app/icon/app_picture.h"

namespace corvat {

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
