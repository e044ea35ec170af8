#pragma once

// Sends images to a node in one association: each as stored when the node accepts its transfer
// syntax, otherwise converted by DCMTK to explicit or implicit little endian.

#include <QList>
#include <QString>
#include <functional>

#include "net/Association.h"
#include "net/SendQueue.h"

struct SendOutcome {
  bool reached = false;  // the association was set up
  QList<int> sent;       // the images (SendImage::seq) answered with success or a warning
  // Why the try was not complete: the network's error, or the first refusal with the node's
  // status. Empty when every image went.
  QString error;
};

class CImageSender {
 public:
  CImageSender(const DicomNode& node, const NetworkOptions& options);

  // After every image's answer: the image and whether it arrived. Returning false stops the
  // association after that image.
  std::function<bool(const SendImage&, bool)> onImage;

  SendOutcome Send(const QList<SendImage>& images);

 private:
  DicomNode m_node;
  NetworkOptions m_options;
};

// Whether a C-STORE response status means the image arrived (success or a warning).
bool StoreSucceeded(unsigned short status);
