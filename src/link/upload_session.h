#pragma once

#include <QString>
#include <functional>
#include <optional>

#include "core/platform.h"
#include "link/comm_port_link.h"
#include "link/link_settings.h"
#include "link/upload_decisions.h"
#include "link/upload_exchange.h"

namespace orvet {

class CompileProgress;
class TDataModule1;

// The line an upload goes out on.
struct LineChoice {
    enum class Start {
        Direct,   // 'L' at once
        Modem,    // the dial command, then 'L' when the carrier comes up
        Nothing,  // the port opens, nothing is sent
    };
    int comNumber = 1;
    std::optional<int> baudRate;  // bit/s; none leaves the port's speed as it is
    Start start = Start::Direct;
    bool toneDialling = false;
    QString phone;

    static LineChoice direct(int comNumber, std::optional<int> baudRate);
    static LineChoice modem(int comNumber, std::optional<int> baudRate, bool toneDialling,
                            const QString& phone);
    // The line of the page in use: the direct line's or the modem's port and speed, and the
    // phone to dial (the dialog's field, which the settings do not replace).
    static LineChoice fromConnection(const ConnectionSettings& connection, const QString& phone);
};

// One upload of "config.dat" into a USPD, without widgets: the image is compiled (or the
// ready file taken), the port opened on the chosen line, and the exchange run until it ends.
// The progress window and orvet-cli both drive it, each with its own view and decisions. The
// session takes the port's data, carrier and lamp events for as long as it lives.
class UploadSession {
public:
    // With the fast exchange the port's status watcher pauses this long instead of its usual
    // 50 ms, so that a whole reply is seen within about a millisecond of its last byte.
    static constexpr int kFastWatchPauseMs = 1;

    UploadSession(Platform& platform, TCommPort& port, const LinkSettings& link, UploadView& view,
                  UploadDecisions& decisions);
    ~UploadSession();
    UploadSession(const UploadSession&) = delete;
    UploadSession& operator=(const UploadSession&) = delete;

    // The exchange, for its options (device number, image path, repetition bounds, end
    // handlers) and its state.
    UploadExchange& exchange() { return exchange_; }

    // Compiles the current USPD of `store` into the image, or with `readyFile` takes the
    // existing image as it is. A failure is shown and gives false: the line stays closed.
    bool prepareImage(TDataModule1& store, bool readyFile, CompileProgress& progress);
    // Opens the port on `line` (closed and flushed first; its watcher paced for the exchange
    // the link settings ask for), raises RTS and DTR, lights the TXD lamp and starts the
    // exchange. False, with the reason shown, when the link settings cannot drive an upload
    // or the port cannot be opened; nothing is sent then.
    bool open(const LineChoice& line);
    // "Отмена": lowers DTR and closes the port; the exchange ends.
    void cancel() { exchange_.cancel(); }
    // Why the last prepareImage() or open() gave false, as it was shown.
    const QString& failure() const { return failure_; }

private:
    Platform& platform_;
    TCommPort& port_;
    const LinkSettings& link_;
    UploadView& view_;
    CommPortLink line_;
    UploadExchange exchange_;
    QString failure_;
};

}  // namespace orvet
