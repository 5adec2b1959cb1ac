#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "core/clock.h"

namespace orvet::sim {

// Where the simulated device sends its bytes and shows its carrier.
class SimLine {
public:
    virtual ~SimLine() = default;
    virtual void write(const QByteArray& bytes) = 0;
    // The modem's carrier (DCD at the configurator's side); lines without modem signals
    // ignore it.
    virtual void setCarrier(bool on) { (void)on; }
};

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
    int dropCarrierAfterBlocks = -1;  // modem: drop the carrier after this many blocks
};

struct Options {
    int device = 1;
    int major = 2;
    int minor = 25;
    Faults faults;
    bool modem = false;  // Hayes modem in front: dial command, carrier
    int carrierDelayMs = 1000;
    // A frame ends when the line stays quiet this long.
    int frameGapMs = 20;
    // >= 0: answer this many ms after a request's last byte, and take a 'T' frame as ended as
    // soon as it holds its block with a CRC that checks (the block length learnt from block 0,
    // the last block the rest of the announced size) instead of after the quiet gap. -1: 'T'
    // frames end with the gap and the other requests are answered at once.
    int turnaroundMs = -1;
};

// A USPD as the configurator sees it over the line: answers 'L' with its firmware version,
// checks the access word of 'S', acknowledges 'T' blocks, keeps the image received until 'W'
// and answers 'X'. Requests of a fixed length are taken as soon as they are whole; a 'T'
// frame ends with the quiet gap after it, as on a serial line, or with a turnaround as soon
// as its block is whole. Runs on any clock: the test clock in-process, the real one in the
// tool.
class UspdSimulator {
public:
    UspdSimulator(Clock& clock, SimLine& line, Options options);
    ~UspdSimulator();

    // Bytes arriving from the configurator.
    void receive(const QByteArray& bytes);
    // Modem: the carrier goes away (the line is broken off).
    void dropCarrier();

    // What happened, for tests and the tool's log.
    std::function<void(const QString&)> onLog;
    // Called with the image when 'W' ends a transfer.
    std::function<void(const QByteArray&)> onImage;

    const std::vector<QByteArray>& frames() const { return frames_; }
    QByteArray image() const { return image_; }
    bool imageComplete() const { return complete_; }
    int restarts() const { return restarts_; }
    bool archivesCleared() const { return archivesCleared_; }
    bool carrier() const { return carrier_; }

private:
    void takeFixedFrames();
    // With a turnaround: the length of the 'T' frame at the start of `pending_` once its
    // block length is known, else 0.
    int blockFrameLength() const;
    void send(const QByteArray& frame);
    void frameGapElapsed();
    void checkFrame(const QByteArray& frame);
    void handleFrame(const QByteArray& frame);
    void handleModemCommand(const QByteArray& line);
    void reply(char letter, const QByteArray& payload = {}, bool refused = false);
    void log(const QString& text);

    SimLine& line_;
    Options options_;
    Timer gap_;
    Timer carrierUp_;
    Timer secondPart_;
    Timer turnaround_;
    QByteArray turnaroundBytes_;  // the reply that waits for the turnaround
    QByteArray pending_;          // bytes of the frame being received
    QByteArray modemInput_;       // command-mode text before the carrier
    QByteArray secondPartBytes_;
    bool carrier_ = false;
    std::vector<QByteArray> frames_;
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
