#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "core/clock.h"
#include "sim/hayes_modem.h"
#include "sim/sim_line.h"

namespace orvet::sim {

// Faults the simulated device can be told to make.
struct Faults {
    std::map<char, int> silentFirst;  // letter -> the first K such frames go unanswered
    int refuseSize = 0;               // refuse the first K 'S' frames (bit 7 set)
    std::map<char, int> corruptCrc;   // letter -> the first K replies carry a wrong CRC
    bool swapCrc = false;             // every reply's CRC bytes in the wrong order
    int splitAt = 0;                  // > 0: replies go out as two parts, cut at this byte
    int splitDelayMs = 0;             // between the two parts
    int staleAckAtBlock = -1;         // acknowledge this block with the previous number, once
    bool staleAckAlways = false;      // acknowledge every block with the previous number
    char replyLetter = 0;             // != 0: every reply carries this letter instead
    int foreignAddress = -1;          // >= 0: answer from this address instead
    int dropCarrierAfterBlocks = -1;  // modem: hang up after acknowledging this many blocks
};

struct Options {
    int device = 1;
    int major = 2;
    int minor = 25;
    Faults faults;
    bool modem = false;         // a Hayes modem in front: dial command, carrier
    int carrierDelayMs = 1000;  // modem: from the dial command to "CONNECT"
    // A frame ends when the line stays quiet this long.
    int frameGapMs = 20;
    // >= 0: answer this many ms after a request's last byte, and take a 'T' frame as ended as
    // soon as it holds its block with a CRC that checks (the block length learnt from block 0,
    // the last block the rest of the announced size) instead of after the quiet gap. -1: 'T'
    // frames end with the gap and the other requests are answered at once.
    int turnaroundMs = -1;
};

// A USPD as the configurator sees it over the line, directly or through a Hayes modem: answers 'L'
// with its firmware version, checks the access word of 'S', acknowledges 'T' blocks, keeps the
// image received until 'W' and answers 'X'. Requests of a fixed length are taken as soon as they
// are whole; a 'T' frame ends with the quiet gap after it, as on a serial line, or with a
// turnaround as soon as its block is whole. Runs on any clock: the test clock in-process, the real
// one in the tool.
class UspdSimulator {
public:
    UspdSimulator(Clock& clock, SimLine& line, Options options);
    ~UspdSimulator();

    // Bytes arriving from the configurator (through the modem, if there is one).
    void receive(const QByteArray& bytes);
    // The configurator's DTR; the modem hangs up when it drops.
    void setDTR(bool on);
    // The modem, if there is one.
    HayesModem* modem() { return modem_.get(); }

    // What happened, for tests and the tool's log.
    std::function<void(const QString&)> onLog;
    // Called with the image when 'W' ends a transfer.
    std::function<void(const QByteArray&)> onImage;

    const std::vector<QByteArray>& frames() const { return frames_; }
    // Replies made so far, and the bytes of those replies and of every frame taken: what the
    // line had to carry for the exchange, without gaps.
    int replies() const { return replies_; }
    qint64 frameBytes() const { return frameBytes_; }
    QByteArray image() const { return image_; }
    bool imageComplete() const { return complete_; }
    int restarts() const { return restarts_; }
    bool archivesCleared() const { return archivesCleared_; }
    // Connected: always on a direct line, with the carrier through a modem.
    bool carrier() const { return !modem_ || modem_->carrier(); }

private:
    void takeFixedFrames();
    // With a turnaround: the length of the 'T' frame at the start of `pending_` once its
    // block length is known, else 0.
    int blockFrameLength() const;
    void send(const QByteArray& frame);
    void frameGapElapsed();
    void checkFrame(const QByteArray& frame);
    void handleFrame(const QByteArray& frame);
    void receiveFrames(const QByteArray& bytes);
    void reply(char letter, const QByteArray& payload = {}, bool refused = false);
    void log(const QString& text);

    Options options_;
    std::unique_ptr<HayesModem> modem_;
    SimLine& line_;  // the modem, or the line itself
    Timer gap_;
    Timer secondPart_;
    Timer turnaround_;
    QByteArray turnaroundBytes_;  // the reply that waits for the turnaround
    QByteArray pending_;          // bytes of the frame being received
    QByteArray secondPartBytes_;
    std::vector<QByteArray> frames_;
    int replies_ = 0;
    qint64 frameBytes_ = 0;
    std::map<char, int> seen_;
    std::map<char, int> corrupted_;
    int refused_ = 0;
    bool staleDone_ = false;
    quint32 announcedSize_ = 0;
    // By block number; a repeated number replaces the block (an image has at most 255).
    std::map<int, QByteArray> blocks_;
    int blockLength_ = 0;  // bytes of block 0 of the image announced last; 0: none yet
    int blocksAcked_ = 0;
    QByteArray image_;
    bool complete_ = false;
    int restarts_ = 0;
    bool archivesCleared_ = false;
};

}  // namespace orvet::sim
