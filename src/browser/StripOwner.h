#pragma once

// What the thumbnail strip asks of the window it sits in (the study browser) when the operator
// drops one thumbnail onto another (the drop renumbers images, which only the browser can do,
// and only while exactly one study is selected in it) or asks for an image's commands.
class CBrwsrImgElement;
class QPoint;

class CStripOwner {
 public:
  virtual ~CStripOwner() = default;

  // Number of selected rows of the browser's study list.
  virtual int SelectedStudyCount() const = 0;
  // Moves image imageNo of series serSeq in front of image beforeImageNo of the same series.
  virtual void MoveImageInSeries(long serSeq, long imageNo, long beforeImageNo) = 0;
  // Moves image imageNo of series fromSerSeq into series toSerSeq, in front of its image
  // beforeImageNo.
  virtual void MoveImageToSeries(long fromSerSeq, long imageNo, long toSerSeq,
                                 long beforeImageNo) = 0;
  // The operator asked for the commands on one thumbnail's image (a right click at globalPos).
  virtual void ImageMenu(const CBrwsrImgElement& element, const QPoint& globalPos) = 0;
};
