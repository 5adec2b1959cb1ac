#pragma once

#include <QByteArray>
#include <cstdint>

namespace orvet {

// Command letters of the device link.
enum class LinkCommand : char {
    Link = 'L',     // open the link; the reply carries the firmware version
    Size = 'S',     // announce the image: size, name and access word
    Block = 'T',    // one numbered block of the image
    End = 'W',      // end of the image; no reply is awaited
    Restart = 'X',  // restart the device, optionally clearing its archives
};

// The six ASCII letters every 'S' frame carries after the image name.
inline constexpr char kAccessWord[] = "marigo";
// The image name in an 'S' frame: the first six characters of "config.dat".
inline constexpr char kImageName[] = "config";

// A whole frame: address (low 8 bits of the device number), letter, payload, CRC low byte
// first.
QByteArray buildFrame(int deviceNumber, LinkCommand command, const QByteArray& payload = {});

// Payloads of the requests.
QByteArray sizePayload(std::uint32_t imageSize);
QByteArray blockPayload(std::uint8_t blockNo, const QByteArray& bytes);
QByteArray restartPayload(bool clearArchives);

// The verdict on the bytes received in one collection window.
struct Reply {
    enum class Status {
        Accepted,
        WrongAddress,    // dropped without a message; the caller flushes the input
        BadCrc,          // "Ошибка CRC"; the bytes stay for a late rest of the reply
        TooShort,        // fewer than four bytes: no frame to check yet; the bytes stay
        MissingPayload,  // a whole frame, but without the bytes its reply must carry
    };
    Status status = Status::TooShort;
    char letter = 0;       // command letter with bit 7 cleared
    bool refused = false;  // bit 7 of the command byte
    QByteArray payload;    // the bytes between the letter and the CRC
};

// Checks `size` received bytes as one reply from `deviceNumber`. Reads nothing outside
// them: a reply needs its address, letter and two CRC bytes, an accepted 'L' reply two
// version bytes and a 'T' reply a block number besides. The CRC bytes are accepted in either order.
Reply checkReply(const std::uint8_t* data, int size, int deviceNumber);

}  // namespace orvet
