#pragma once

#include <QByteArray>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/main_thread.h"
#include "serial/comm_port.h"
#include "serial/serial_line.h"

namespace orvet::testing {

// Runs the user-interface thread's pending calls until `done` holds or `timeoutMs` of real
// time have passed; whether it holds. For the tests that run real threads.
bool pumpUntil(MainThread& mainThread, const std::function<bool()>& done, int timeoutMs = 5000);

// Records every event of `port` in `log`: "CTS", "DCD", "DSR", "Ring", "RxD", "RxEvent",
// "TxD", "Break", "Error:<code>", "Data:<count>", "Open:<code>", "Close".
void recordEvents(TCommPort& port, std::vector<std::string>& log);

// `size` bytes that differ from their neighbours; `seed` shifts them.
QByteArray pattern(int size, int seed = 0);

// Makes `port` lower DTR and close itself from OnDCDSignal when the carrier drops, as the
// device link does; each call of the handler is logged as "DCD".
void closeOnCarrierLoss(TCommPort& port, std::vector<std::string>& log);

// How often each call reached a line: a spinning worker shows as thousands of calls.
struct LineCalls {
    std::atomic<int> reads{0};
    std::atomic<int> writes{0};
    std::atomic<int> waits{0};
    std::atomic<int> queued{0};
    int total() const { return reads + writes + waits + queued; }
};

// An opener that counts the calls made on the lines `opener` opens.
LineOpener countingOpener(LineOpener opener, LineCalls& calls);

// A pseudo-terminal pair: the port opens the subordinate side by its path; the test is the
// device on the controlling side.
class PtyPair {
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool ok() const { return master_ >= 0; }
    QString path() const { return path_; }
    void write(const QByteArray& bytes);
    // Reads until `count` bytes have come or `timeoutMs` has passed.
    QByteArray read(int count, int timeoutMs = 5000);
    // The device goes away: the controlling side closes.
    void hangUp();

private:
    int master_ = -1;
    QString path_;
};

}  // namespace orvet::testing
