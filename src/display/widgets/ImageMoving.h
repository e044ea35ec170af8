#pragma once

// CImageMoving: the half-transparent copy of a thumbnail that follows the pointer while the
// operator drags it. A frameless top-level window at 128/255 opacity showing one picture
// stretched over its whole area. The strip hands the picture over directly, so a drag never
// touches the user's clipboard; the strip also places, moves, shows and destroys the window.

#include <QImage>
#include <QWidget>

class CImageMoving : public QWidget {
  Q_OBJECT

 public:
  static constexpr double kOpacity = 128.0 / 255.0;

  // Hidden until the caller shows it. It never takes input or focus: the drop goes to the
  // window under the pointer, not to this one.
  CImageMoving();

  // Takes the picture to show and repaints. False (nothing shown) for a null picture.
  bool LoadPicture(const QImage& picture);
  const QImage& Picture() const { return m_picture; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QImage m_picture;
};
