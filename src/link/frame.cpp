#include "link/frame.h"

#include "link/crc16.h"

namespace orvet {

QByteArray buildFrame(int deviceNumber, LinkCommand command, const QByteArray& payload) {
    QByteArray frame;
    frame.reserve(payload.size() + 4);
    frame.append(static_cast<char>(deviceNumber & 0xFF));
    frame.append(static_cast<char>(command));
    frame.append(payload);
    const std::uint16_t crc =
        crc16(reinterpret_cast<const std::uint8_t*>(frame.constData()), frame.size());
    frame.append(static_cast<char>(crc & 0xFF));
    frame.append(static_cast<char>(crc >> 8));
    return frame;
}

QByteArray sizePayload(std::uint32_t imageSize) {
    QByteArray payload;
    for (int shift = 0; shift < 32; shift += 8)
        payload.append(static_cast<char>(imageSize >> shift));
    payload.append(kImageName, 6);
    payload.append(kAccessWord, 6);
    return payload;
}

QByteArray blockPayload(std::uint8_t blockNo, const QByteArray& bytes) {
    QByteArray payload;
    payload.reserve(bytes.size() + 1);
    payload.append(static_cast<char>(blockNo));
    payload.append(bytes);
    return payload;
}

QByteArray restartPayload(bool clearArchives) {
    return QByteArray(1, clearArchives ? 1 : 0);
}

Reply checkReply(const std::uint8_t* data, int size, int deviceNumber) {
    Reply reply;
    if (size < 1)
        return reply;
    if (data[0] != static_cast<std::uint8_t>(deviceNumber & 0xFF)) {
        reply.status = Reply::Status::WrongAddress;
        return reply;
    }
    if (size < 4)
        return reply;
    const std::uint16_t crc = crc16(data, size - 2);
    const std::uint8_t lo = crc & 0xFF;
    const std::uint8_t hi = crc >> 8;
    const std::uint8_t a = data[size - 2];
    const std::uint8_t b = data[size - 1];
    if (!((a == lo && b == hi) || (a == hi && b == lo))) {
        reply.status = Reply::Status::BadCrc;
        return reply;
    }
    reply.letter = static_cast<char>(data[1] & 0x7F);
    reply.refused = (data[1] & 0x80) != 0;
    reply.payload = QByteArray(reinterpret_cast<const char*>(data) + 2, size - 4);
    // The exchange reads the version of an accepted 'L' reply and the block number of any
    // 'T' reply, refused or not.
    int needed = 0;
    if (reply.letter == static_cast<char>(LinkCommand::Link) && !reply.refused)
        needed = 2;
    if (reply.letter == static_cast<char>(LinkCommand::Block))
        needed = 1;
    reply.status =
        reply.payload.size() >= needed ? Reply::Status::Accepted : Reply::Status::MissingPayload;
    return reply;
}

}  // namespace orvet
