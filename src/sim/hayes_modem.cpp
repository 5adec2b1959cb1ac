#include "sim/hayes_modem.h"

#include <utility>

namespace orvet::sim {

HayesModem::HayesModem(Clock& clock, SimLine& terminal, int connectMs)
    : clock_(clock),
      terminal_(terminal),
      connectMs_(connectMs),
      dial_(clock, 0),
      escape_(clock, 0) {
    dial_.setOnTimer([this] {
        if (link_ == Link::Dialling) {
            // Online with the answer; the carrier rises a little later (kConnectLeadMs).
            result("CONNECT");
            link_ = Link::Connected;
            online_ = true;
            lastOnlineByteMs_ = clock_.nowMs();
            dial_.setInterval(kConnectLeadMs);
            return;
        }
        dial_.setInterval(0);
        carrier_ = true;
        terminal_.setCarrier(true);
        log(QStringLiteral("carrier up"));
    });
    escape_.setOnTimer([this] {
        // "+++" and a guard time of silence after it: command mode, the connection kept.
        escape_.setInterval(0);
        pluses_ = 0;
        online_ = false;
        result("OK");
    });
}

HayesModem::~HayesModem() = default;

void HayesModem::log(const QString& text) {
    if (onLog)
        onLog(text);
}

void HayesModem::result(const char* text) {
    terminal_.write(QByteArray("\r\n") + text + "\r\n");
}

void HayesModem::fromTerminal(const QByteArray& bytes) {
    if (online_) {
        onlineBytes(bytes);
        return;
    }
    for (const char c : bytes)
        commandByte(c);
}

void HayesModem::onlineBytes(const QByteArray& bytes) {
    const std::int64_t now = clock_.nowMs();
    // The escape is three '+' after a guard time of silence, then silence again; any other
    // byte, or a fourth '+', makes them data.
    if (bytes.count('+') == bytes.size() && pluses_ + bytes.size() <= 3 &&
        (pluses_ > 0 || now - lastOnlineByteMs_ >= kGuardTimeMs)) {
        pluses_ += static_cast<int>(bytes.size());
    } else {
        pluses_ = 0;
    }
    escape_.setInterval(0);
    if (pluses_ == 3)
        escape_.setInterval(kGuardTimeMs);
    lastOnlineByteMs_ = now;
    if (toDevice_)
        toDevice_(bytes);
}

void HayesModem::commandByte(char c) {
    if (echo_)
        terminal_.write(QByteArray(1, c));
    if (c == '\r') {
        command(std::exchange(commandLine_, {}).trimmed().toUpper());
        return;
    }
    if (c == '\b') {
        commandLine_.chop(1);
        return;
    }
    if (c != '\n' && commandLine_.size() < 256)
        commandLine_ += c;
}

void HayesModem::command(const QByteArray& text) {
    // A command starts with "AT"; what comes before it is line noise, and a line without it
    // is not answered.
    const qsizetype start = text.indexOf("AT");
    if (start < 0)
        return;
    const QByteArray line = text.mid(start);
    log(QString::fromLatin1(line));
    const QByteArray rest = line.mid(2);
    if (rest.startsWith('D')) {
        if (link_ != Link::Idle) {
            result("ERROR");
            return;
        }
        link_ = Link::Dialling;
        dialled_ = rest;
        dial_.setInterval(0);
        dial_.setInterval(connectMs_);
        return;  // answered with CONNECT (or not at all) when the call is made
    }
    if (rest.startsWith('H')) {
        if (link_ != Link::Idle)
            endConnection(nullptr);
        result("OK");
        return;
    }
    if (rest.startsWith('O')) {
        if (link_ != Link::Connected) {
            result("NO CARRIER");
            return;
        }
        result("CONNECT");
        online_ = true;
        lastOnlineByteMs_ = clock_.nowMs();
        return;
    }
    if (rest == "E0" || rest == "E")
        echo_ = false;
    else if (rest == "E1" || rest == "Z")
        echo_ = true;
    result("OK");
}

void HayesModem::endConnection(const char* text) {
    const bool hadCarrier = carrier_;
    dial_.setInterval(0);
    escape_.setInterval(0);
    link_ = Link::Idle;
    online_ = false;
    carrier_ = false;
    pluses_ = 0;
    if (text != nullptr)
        result(text);
    if (hadCarrier) {
        terminal_.setCarrier(false);
        log(QStringLiteral("carrier dropped"));
    }
}

void HayesModem::setDTR(bool on) {
    if (on == dtr_)
        return;
    dtr_ = on;
    if (!on && link_ != Link::Idle)
        endConnection("NO CARRIER");
}

void HayesModem::write(const QByteArray& bytes) {
    // Online command mode holds the connection but passes nothing on.
    if (online_)
        terminal_.write(bytes);
}

void HayesModem::hangUp() {
    if (link_ == Link::Connected)
        endConnection("NO CARRIER");
}

}  // namespace orvet::sim
