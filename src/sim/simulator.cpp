#include "sim/simulator.h"

#include <algorithm>
#include <utility>

#include "link/crc16.h"
#include "link/frame.h"

namespace orvet::sim {

UspdSimulator::UspdSimulator(Clock& clock, SimLine& line, Options options)
    : options_(std::move(options)),
      modem_(options_.modem ? std::make_unique<HayesModem>(clock, line, options_.carrierDelayMs)
                            : nullptr),
      line_(modem_ ? *modem_ : line),
      gap_(clock, 0),
      secondPart_(clock, 0),
      turnaround_(clock, 0) {
    gap_.setOnTimer([this] { frameGapElapsed(); });
    secondPart_.setOnTimer([this] {
        secondPart_.setInterval(0);
        line_.write(secondPartBytes_);
    });
    turnaround_.setOnTimer([this] {
        turnaround_.setInterval(0);
        send(std::exchange(turnaroundBytes_, {}));
    });
    if (modem_) {
        modem_->setDevice([this](const QByteArray& bytes) { receiveFrames(bytes); });
        modem_->onLog = [this](const QString& text) { log(QStringLiteral("modem: ") + text); };
    }
}

UspdSimulator::~UspdSimulator() = default;

void UspdSimulator::log(const QString& text) {
    if (onLog)
        onLog(text);
}

void UspdSimulator::receive(const QByteArray& bytes) {
    if (modem_)
        modem_->fromTerminal(bytes);
    else
        receiveFrames(bytes);
}

void UspdSimulator::setDTR(bool on) {
    if (modem_)
        modem_->setDTR(on);
}

void UspdSimulator::receiveFrames(const QByteArray& bytes) {
    pending_ += bytes;
    takeFixedFrames();
    // Every byte restarts the quiet-gap count.
    gap_.setInterval(0);
    if (!pending_.isEmpty())
        gap_.setInterval(options_.frameGapMs);
}

namespace {

// Length of a request with a fixed size, by its letter; 0 for 'T', whose end only the
// quiet gap after it shows.
int fixedLength(char letter) {
    switch (letter) {
        case 'L':
        case 'W':
            return 4;
        case 'X':
            return 5;
        case 'S':
            return 20;
        default:
            return 0;
    }
}

}  // namespace

int UspdSimulator::blockFrameLength() const {
    if (options_.turnaroundMs < 0 || blockLength_ == 0 || pending_.size() < 3 || pending_[1] != 'T')
        return 0;
    const qint64 start = qint64{static_cast<std::uint8_t>(pending_[2])} * blockLength_;
    const qint64 rest = std::clamp<qint64>(qint64{announcedSize_} - start, 0, blockLength_);
    const int length = 5 + static_cast<int>(rest);
    if (pending_.size() < length)
        return 0;
    // A block whose CRC does not check there is left to the quiet gap.
    const auto* data = reinterpret_cast<const std::uint8_t*>(pending_.constData());
    const std::uint16_t crc = crc16(data, length - 2);
    return data[length - 2] == (crc & 0xFF) && data[length - 1] == (crc >> 8) ? length : 0;
}

void UspdSimulator::takeFixedFrames() {
    while (pending_.size() >= 2) {
        int length = fixedLength(pending_[1]);
        if (length == 0)
            length = blockFrameLength();
        if (length == 0 || pending_.size() < length)
            return;
        const QByteArray frame = pending_.left(length);
        pending_.remove(0, length);
        checkFrame(frame);
    }
}

void UspdSimulator::frameGapElapsed() {
    gap_.setInterval(0);
    const QByteArray frame = pending_;
    pending_.clear();
    if (!frame.isEmpty())
        checkFrame(frame);
}

void UspdSimulator::checkFrame(const QByteArray& frame) {
    if (frame.size() < 4) {
        log(QStringLiteral("ignored %1 stray bytes").arg(frame.size()));
        return;
    }
    const auto* data = reinterpret_cast<const std::uint8_t*>(frame.constData());
    const std::uint16_t crc = crc16(data, frame.size() - 2);
    if (data[frame.size() - 2] != (crc & 0xFF) || data[frame.size() - 1] != (crc >> 8)) {
        log(QStringLiteral("ignored a frame with a bad CRC"));
        return;
    }
    if (data[0] != static_cast<std::uint8_t>(options_.device & 0xFF)) {
        log(QStringLiteral("ignored a frame for device %1").arg(data[0]));
        return;
    }
    frames_.push_back(frame);
    frameBytes_ += frame.size();
    handleFrame(frame);
}

void UspdSimulator::handleFrame(const QByteArray& frame) {
    const char letter = frame[1];
    const QByteArray payload = frame.mid(2, frame.size() - 4);
    if (seen_[letter]++ < options_.faults.silentFirst[letter]) {
        log(QStringLiteral("'%1': staying silent").arg(QChar::fromLatin1(letter)));
        return;
    }
    switch (letter) {
        case 'L':
            log(QStringLiteral("'L': firmware %1.%2").arg(options_.major).arg(options_.minor));
            reply('L', QByteArray(1, static_cast<char>(options_.major)) +
                           QByteArray(1, static_cast<char>(options_.minor)));
            return;
        case 'S': {
            if (payload.size() != 16)
                return;
            const bool wrongWord = payload.mid(10, 6) != QByteArray(kAccessWord, 6);
            if (wrongWord || refused_ < options_.faults.refuseSize) {
                ++refused_;
                log(wrongWord ? QStringLiteral("'S': wrong access word, refused")
                              : QStringLiteral("'S': refused"));
                reply('S', {}, true);
                return;
            }
            announcedSize_ = static_cast<std::uint8_t>(payload[0]) |
                             static_cast<std::uint8_t>(payload[1]) << 8 |
                             static_cast<std::uint8_t>(payload[2]) << 16 |
                             static_cast<quint32>(static_cast<std::uint8_t>(payload[3])) << 24;
            blocks_.clear();
            blockLength_ = 0;
            blocksAcked_ = 0;
            complete_ = false;
            log(QStringLiteral("'S': image of %1 bytes").arg(announcedSize_));
            reply('S');
            return;
        }
        case 'T': {
            if (payload.isEmpty())
                return;
            const int number = static_cast<std::uint8_t>(payload[0]);
            blocks_[number] = payload.mid(1);
            if (number == 0)
                blockLength_ = static_cast<int>(payload.size() - 1);
            int ack = number;
            if (options_.faults.staleAckAlways ||
                (number == options_.faults.staleAckAtBlock && !staleDone_)) {
                staleDone_ = true;
                ack = (number + 255) % 256;
                log(QStringLiteral("'T' %1: acknowledging %2 instead").arg(number).arg(ack));
            }
            reply('T', QByteArray(1, static_cast<char>(ack)));
            if (++blocksAcked_ == options_.faults.dropCarrierAfterBlocks) {
                log(QStringLiteral("hanging up"));
                pending_.clear();
                line_.hangUp();
            }
            return;
        }
        case 'W': {
            image_.clear();
            for (const auto& [number, bytes] : blocks_)
                image_ += bytes;
            complete_ = image_.size() == static_cast<qsizetype>(announcedSize_);
            log(QStringLiteral("'W': %1 of %2 bytes received%3")
                    .arg(image_.size())
                    .arg(announcedSize_)
                    .arg(complete_ ? QString() : QStringLiteral(" (incomplete)")));
            if (onImage)
                onImage(image_);
            return;  // 'W' is not answered
        }
        case 'X':
            if (payload.isEmpty())
                return;
            archivesCleared_ = payload[0] == 1;
            ++restarts_;
            log(archivesCleared_ ? QStringLiteral("'X': restarting, archives cleared")
                                 : QStringLiteral("'X': restarting, archives kept"));
            reply('X');
            return;
        default:
            log(QStringLiteral("'%1': unknown command, ignored").arg(QChar::fromLatin1(letter)));
    }
}

void UspdSimulator::reply(char letter, const QByteArray& payload, bool refused) {
    const Faults& faults = options_.faults;
    const int address = faults.foreignAddress >= 0 ? faults.foreignAddress : options_.device;
    const char shown = faults.replyLetter != 0 ? faults.replyLetter : letter;
    const char command = refused ? static_cast<char>(shown | 0x80) : shown;
    QByteArray frame = buildFrame(address, static_cast<LinkCommand>(command), payload);
    if (faults.swapCrc)
        std::swap(frame[frame.size() - 2], frame[frame.size() - 1]);
    auto corrupt = faults.corruptCrc.find(letter);
    if (corrupt != faults.corruptCrc.end() && corrupted_[letter] < corrupt->second) {
        ++corrupted_[letter];
        frame[frame.size() - 1] = static_cast<char>(frame[frame.size() - 1] ^ 0x5A);
        log(QStringLiteral("'%1' reply: CRC corrupted").arg(QChar::fromLatin1(letter)));
    }
    ++replies_;
    frameBytes_ += frame.size();
    if (options_.turnaroundMs > 0) {
        turnaroundBytes_ = frame;
        turnaround_.setInterval(options_.turnaroundMs);
        return;
    }
    send(frame);
}

void UspdSimulator::send(const QByteArray& frame) {
    const Faults& faults = options_.faults;
    if (faults.splitAt > 0 && faults.splitAt < frame.size()) {
        line_.write(frame.left(faults.splitAt));
        secondPartBytes_ = frame.mid(faults.splitAt);
        secondPart_.setInterval(std::max(1, faults.splitDelayMs));
        return;
    }
    line_.write(frame);
}

}  // namespace orvet::sim
