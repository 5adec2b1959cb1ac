#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <initializer_list>
#include <map>
#include <utility>
#include <vector>

#include "link/frame_trace.h"
#include "link/link_port.h"
#include "link/upload_exchange.h"

namespace orvet {

// The bytes of `values`, each taken as one byte.
inline QByteArray bytes(std::initializer_list<int> values) {
    QByteArray out;
    for (int v : values)
        out.append(static_cast<char>(v));
    return out;
}

// The line as the exchange sees it: frames and texts it sent, bytes waiting to be read.
class FakePort final : public LinkPort {
public:
    bool isOpen() const override { return open; }
    void sendFrame(const QByteArray& frame) override { sent.push_back(frame); }
    void sendText(const QByteArray& text) override { texts.push_back(text); }
    QByteArray received() const override { return input; }
    void flushInput() override { input.clear(); }
    void flushOutput() override {}
    void setDTR(bool on) override { dtr = on; }
    void close() override { open = false; }

    bool open = true;
    bool dtr = true;
    QByteArray input;
    std::vector<QByteArray> sent;
    std::vector<QByteArray> texts;
};

// When each request letter was last sent, in ms since the exchange started.
class SendTimes final : public FrameTrace {
public:
    void exchangeStarted() override { sentAt.clear(); }
    void record(const TraceEntry& entry) override {
        if (entry.kind == TraceEntry::Kind::Sent)
            sentAt[entry.letter] = entry.ms;
    }

    std::map<char, std::int64_t> sentAt;
};

class FakeView final : public UploadView {
public:
    bool isVisible() const override { return visible; }
    void setBlockCount(int count) override { blockCount = count; }
    void stepBlock() override { ++steps; }
    void lightTxd() override { ++txd; }
    void dimTxd() override { ++txdDimmed; }
    void lightRxd() override { ++rxd; }
    void dimRxd() override { ++rxdDimmed; }
    void transferEnded() override {
        ended = true;
        visible = false;
    }
    void hideProgress() override { visible = false; }
    void showWaiting(const QString& text) override { waiting = text; }
    void showProblem(const QString& text) override {
        problem = text;
        if (!text.isEmpty())
            problems << text;
    }

    bool visible = true;
    QString waiting;       // the status line now
    QString problem;       // the last problem shown, empty once the exchange moved on
    QStringList problems;  // every problem shown, in order
    int blockCount = -1;
    int steps = 0;
    int txd = 0;
    int txdDimmed = 0;
    int rxd = 0;
    int rxdDimmed = 0;
    bool ended = false;
};

// The user's decisions as a test sets them; every question asked is logged in order.
class FakeDecisions final : public UploadDecisions {
public:
    bool acceptFirmware(int major, int minor) override {
        asked << QStringLiteral("firmware %1.%2").arg(major).arg(minor);
        if (duringQuestion)
            duringQuestion();
        return firmware;
    }
    bool restartDevice() override {
        asked << QStringLiteral("restart");
        return restart;
    }
    bool clearArchives() override {
        asked << QStringLiteral("clear archives");
        return clear;
    }
    void notice(const std::function<void()>& show) override {
        show();
        if (duringNotice)
            std::exchange(duringNotice, nullptr)();
    }
    void withdraw() override { ++withdrawn; }

    bool firmware = false;
    bool restart = false;
    bool clear = false;
    QStringList asked;
    int withdrawn = 0;
    std::function<void()> duringQuestion;  // runs while the firmware question is open
    std::function<void()> duringNotice;    // runs while the next notice is open
};

}  // namespace orvet
