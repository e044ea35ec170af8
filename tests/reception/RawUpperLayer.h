#pragma once

// A DICOM client written byte by byte on a plain socket, for what no toolkit sends: data sets
// that do not parse, lengths that lie, UIDs that differ between command and data set or hold a
// NUL. It offers verification (context 1, implicit little endian) and one storage class in one
// syntax (context 3), and sends each command and data set as it is given.

#include <QByteArray>
#include <QtEndian>
#include <cstdint>
#include <optional>

#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdatset.h>
#include <dcmtk/dcmdata/dcostrmb.h>
#include <dcmtk/dcmdata/dcuid.h>

namespace reception {

// The data set as a sender puts it on the wire in explicit little endian (no meta header).
inline QByteArray DatasetBytes(DcmDataset& dataset) {
  dataset.updateOriginalXfer();
  const Uint32 size = dataset.calcElementLength(EXS_LittleEndianExplicit, EET_ExplicitLength);
  QByteArray bytes(qsizetype(size) + 16, '\0');
  DcmOutputBufferStream out(bytes.data(), offile_off_t(bytes.size()));
  dataset.transferInit();
  const OFCondition written =
      dataset.write(out, EXS_LittleEndianExplicit, EET_ExplicitLength, nullptr);
  dataset.transferEnd();
  void* buffer = nullptr;
  offile_off_t length = 0;
  out.flushBuffer(buffer, length);
  if (written.bad()) return {};
  bytes.truncate(qsizetype(length));
  return bytes;
}

class RawAssociation {
 public:
  static constexpr quint8 kVerificationContext = 1;
  static constexpr quint8 kStorageContext = 3;

  RawAssociation() = default;
  RawAssociation(const RawAssociation&) = delete;
  RawAssociation& operator=(const RawAssociation&) = delete;
  ~RawAssociation() {
    if (m_fd >= 0) ::close(m_fd);
  }

  // Connects to 127.0.0.1:port; false when no connection could be made.
  bool connect(quint16 port) {
    m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (m_fd < 0) return false;
    timeval timeout{30, 0};
    setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return ::connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  }

  // Sends the association request; the type of the answer's PDU (2 accepted, 3 rejected, 7
  // aborted), 0 when none came. A rejection's result, source and reason are kept.
  // The storage context offers `storageClass` in `storageSyntax`.
  int associate(const QByteArray& calledAE = "VANTREL", const QByteArray& callingAE = "RAWSCU",
                const char* storageClass = UID_ComputedRadiographyImageStorage,
                const char* storageSyntax = UID_LittleEndianExplicitTransferSyntax) {
    QByteArray body;
    body += QByteArray::fromHex("00010000") + aeTitle(calledAE) + aeTitle(callingAE) +
            QByteArray(32, '\0');
    body += item(0x10, UID_StandardApplicationContext);
    body += context(kVerificationContext, UID_VerificationSOPClass,
                    UID_LittleEndianImplicitTransferSyntax);
    body += context(kStorageContext, storageClass, storageSyntax);
    QByteArray maxLength(4, '\0');
    qToBigEndian<quint32>(16384, maxLength.data());
    body += item(0x50, item(0x51, maxLength) + item(0x52, "1.2.826.0.1.3680043.2.1125.99.1"));
    if (!sendPdu(0x01, body)) return 0;
    const auto answer = readPdu();
    if (!answer) return 0;
    if (answer->type == 0x03 && answer->body.size() >= 4) m_rejection = answer->body.mid(1, 3);
    return answer->type;
  }
  // Result, source and reason of a rejection.
  const QByteArray& rejection() const { return m_rejection; }

  // Sends a C-STORE request for the data set in pieces of `piece` bytes; the status of the
  // answer, -1 when none came (the peer aborted or closed).
  int store(const QByteArray& dataset, const QByteArray& sopClass, const QByteArray& sopInstance,
            int piece = 16000) {
    QByteArray command = element(0x0002, uid(sopClass)) + element(0x0100, us(0x0001)) +
                         element(0x0110, us(++m_messageId)) + element(0x0700, us(0)) +
                         element(0x0800, us(0x0000)) + element(0x1000, uid(sopInstance));
    if (!sendCommand(kStorageContext, command)) return -1;
    for (qsizetype at = 0; at < dataset.size() || at == 0; at += piece) {
      const bool last = at + piece >= dataset.size();
      if (!sendPdv(kStorageContext, 0x00 | (last ? 0x02 : 0x00), dataset.mid(at, piece))) return -1;
    }
    return readStatus();
  }

  // A C-ECHO; its status, -1 when no answer came.
  int echo() {
    const QByteArray command = element(0x0002, uid(UID_VerificationSOPClass)) +
                               element(0x0100, us(0x0030)) + element(0x0110, us(++m_messageId)) +
                               element(0x0800, us(0x0101));
    return sendCommand(kVerificationContext, command) ? readStatus() : -1;
  }

  // Asks for a release; true when the peer answered it.
  bool release() {
    if (!sendPdu(0x05, QByteArray(4, '\0'))) return false;
    const auto answer = readPdu();
    return answer && answer->type == 0x06;
  }

  // Raw bytes, sent as they are.
  bool sendRaw(const QByteArray& bytes) {
    qsizetype sent = 0;
    while (sent < bytes.size()) {
      const ssize_t n =
          ::send(m_fd, bytes.data() + sent, size_t(bytes.size() - sent), MSG_NOSIGNAL);
      if (n <= 0) return false;
      sent += n;
    }
    return true;
  }
  bool sendPdu(quint8 type, const QByteArray& body) {
    QByteArray header(6, '\0');
    header[0] = char(type);
    qToBigEndian<quint32>(quint32(body.size()), header.data() + 2);
    return sendRaw(header + body);
  }

  struct Pdu {
    quint8 type;
    QByteArray body;
  };
  // The next PDU from the peer; nullopt when the connection ended or nothing came in time.
  std::optional<Pdu> readPdu() {
    QByteArray header = readExactly(6);
    if (header.size() != 6) return std::nullopt;
    const quint32 length = qFromBigEndian<quint32>(header.constData() + 2);
    if (length > (1u << 24)) return std::nullopt;
    QByteArray body = readExactly(qsizetype(length));
    if (body.size() != qsizetype(length)) return std::nullopt;
    return Pdu{quint8(header[0]), body};
  }

  // A command element (group 0000, implicit little endian).
  static QByteArray element(quint16 elementNumber, const QByteArray& value) {
    QByteArray bytes(8, '\0');
    qToLittleEndian<quint16>(0x0000, bytes.data());
    qToLittleEndian<quint16>(elementNumber, bytes.data() + 2);
    qToLittleEndian<quint32>(quint32(value.size()), bytes.data() + 4);
    return bytes + value;
  }
  static QByteArray us(quint16 value) {
    QByteArray bytes(2, '\0');
    qToLittleEndian<quint16>(value, bytes.data());
    return bytes;
  }
  static QByteArray uid(QByteArray value) {
    if (value.size() % 2) value += '\0';
    return value;
  }

 private:
  static QByteArray aeTitle(const QByteArray& title) {
    return title.left(16).leftJustified(16, ' ');
  }
  static QByteArray item(quint8 type, const QByteArray& value) {
    QByteArray header(4, '\0');
    header[0] = char(type);
    qToBigEndian<quint16>(quint16(value.size()), header.data() + 2);
    return header + value;
  }
  static QByteArray context(quint8 id, const char* abstractSyntax, const char* transferSyntax) {
    return item(0x20, QByteArray(1, char(id)) + QByteArray(3, '\0') + item(0x30, abstractSyntax) +
                          item(0x40, transferSyntax));
  }

  bool sendPdv(quint8 contextId, quint8 control, const QByteArray& data) {
    QByteArray pdv(6, '\0');
    qToBigEndian<quint32>(quint32(data.size() + 2), pdv.data());
    pdv[4] = char(contextId);
    pdv[5] = char(control);
    return sendPdu(0x04, pdv + data);
  }
  bool sendCommand(quint8 contextId, const QByteArray& elements) {
    QByteArray length(4, '\0');
    qToLittleEndian<quint32>(quint32(elements.size()), length.data());
    return sendPdv(contextId, 0x03, element(0x0000, length) + elements);
  }

  // The Status (0000,0900) of the next command the peer sends, -1 when none comes.
  int readStatus() {
    QByteArray command;
    for (bool last = false; !last;) {
      const auto pdu = readPdu();
      if (!pdu || pdu->type != 0x04) return -1;
      for (qsizetype at = 0; at + 6 <= pdu->body.size();) {
        const quint32 length = qFromBigEndian<quint32>(pdu->body.constData() + at);
        if (length < 2 || at + 4 + qsizetype(length) > pdu->body.size()) return -1;
        const quint8 control = quint8(pdu->body[at + 5]);
        if (control & 0x01) command += pdu->body.mid(at + 6, qsizetype(length) - 2);
        last = last || (control & 0x03) == 0x03;
        at += 4 + qsizetype(length);
      }
    }
    for (qsizetype at = 0; at + 8 <= command.size();) {
      const quint16 elementNumber = qFromLittleEndian<quint16>(command.constData() + at + 2);
      const quint32 length = qFromLittleEndian<quint32>(command.constData() + at + 4);
      if (elementNumber == 0x0900 && length == 2 && at + 10 <= command.size())
        return qFromLittleEndian<quint16>(command.constData() + at + 8);
      at += 8 + qsizetype(length);
    }
    return -1;
  }

  QByteArray readExactly(qsizetype size) {
    QByteArray bytes(size, '\0');
    qsizetype got = 0;
    while (got < size) {
      const ssize_t n = ::recv(m_fd, bytes.data() + got, size_t(size - got), 0);
      if (n <= 0) break;
      got += n;
    }
    bytes.truncate(got);
    return bytes;
  }

  int m_fd = -1;
  quint16 m_messageId = 0;
  QByteArray m_rejection;
};

}  // namespace reception
