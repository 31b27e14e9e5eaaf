#pragma once

#include <QLabel>

namespace corvat {

// A label that acts on a click, as the web address does. It also takes the focus by Tab and acts on
// Space or Enter, so the link is not out of reach of someone without a mouse.
class LinkLabel : public QLabel {
    Q_OBJECT
  public:
    explicit LinkLabel(const QString& text, QWidget* parent = nullptr);

  signals:
    void Clicked();

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    bool m_pressed = false;  // a click is a press and a release both on the label
};

}  // namespace corvat
