#include "link/upload_session.h"

#include "core/texts.h"
#include "image/compiler.h"

namespace orvet {

LineChoice LineChoice::direct(int comNumber, std::optional<int> baudRate) {
    LineChoice line;
    line.comNumber = comNumber;
    line.baudRate = baudRate;
    return line;
}

LineChoice LineChoice::modem(int comNumber, std::optional<int> baudRate, bool toneDialling,
                             const QString& phone) {
    LineChoice line = direct(comNumber, baudRate);
    line.start = Start::Modem;
    line.toneDialling = toneDialling;
    line.phone = phone;
    return line;
}

LineChoice LineChoice::fromConnection(const ConnectionSettings& connection, const QString& phone) {
    if (connection.ActivePage == ConnectionSettings::kDirectPage)
        return direct(connection.Port + 1, ConnectionSettings::baudRate(connection.Baud));
    LineChoice line =
        modem(connection.ModemPort + 1, ConnectionSettings::baudRate(connection.ModemBaud),
              connection.TypeDial != ConnectionSettings::kPulseDialling, phone);
    if (connection.ActivePage != ConnectionSettings::kModemPage)
        line.start = Start::Nothing;
    return line;
}

UploadSession::UploadSession(Platform& platform, TCommPort& port, const LinkSettings& link,
                             UploadView& view, UploadDecisions& decisions)
    : platform_(platform),
      port_(port),
      link_(link),
      view_(view),
      line_(port),
      exchange_(platform, line_, link, view, decisions) {
    port_.OnDataReceived = [this](TCommPort&, int) { exchange_.onDataReceived(); };
    port_.OnDCDSignal = [this](TCommPort& sender) { exchange_.onCarrierChanged(sender.DCD()); };
    // The lamps change only while the progress is shown.
    port_.OnRxDSignal = [this](TCommPort&) {
        if (view_.isVisible())
            view_.lightRxd();
    };
    port_.OnTxDSignal = [this](TCommPort&) {
        if (view_.isVisible())
            view_.dimTxd();
    };
    // The line reports a device that went away (a USB adapter pulled out, the far side of a
    // pseudo-terminal closed) as an I/O error.
    port_.OnErrorSignal = [this](TCommPort&, int errors) {
        if (errors & CE_IOE)
            exchange_.onPortLost();
    };
}

UploadSession::~UploadSession() {
    port_.OnDataReceived = nullptr;
    port_.OnDCDSignal = nullptr;
    port_.OnRxDSignal = nullptr;
    port_.OnTxDSignal = nullptr;
    port_.OnErrorSignal = nullptr;
}

bool UploadSession::prepareImage(TDataModule1& store, bool readyFile, CompileProgress& progress) {
    CompileOptions options;
    options.readyFile = readyFile;
    options.imagePath = exchange_.imagePath();
    const CompileResult result = ConfigCompiler(store).compile(options, progress);
    failure_ = result.succeeded() ? QString() : result.message;
    if (!result.succeeded())
        result.showFailure(platform_.messages);
    return result.succeeded();
}

bool UploadSession::open(const LineChoice& line) {
    failure_.clear();
    if (const QString problem = link_.validate(); !problem.isEmpty()) {
        failure_ = problem + QStringLiteral(
                                 ". Запись не начата: измените параметры в окне "
                                 "«Параметры связи».");
        platform_.messages.warning(failure_, texts::kAttention);
        return false;
    }
    if (port_.Open())
        port_.SetOpen(false);
    port_.FlushInBuffer();
    port_.FlushOutBuffer();
    port_.SetComNumber(line.comNumber);
    if (line.baudRate)
        port_.SetBaud(*line.baudRate);
    port_.SetWatchPauseMs(link_.FastExchange ? kFastWatchPauseMs : TCommPort::kWatchPauseMs);
    port_.SetOpen(true);
    if (!port_.Open()) {
        failure_ =
            QStringLiteral("%1\n%2: %3")
                .arg(texts::kCantOpenPort, port_.DevicePath(), qt_error_string(port_.OpenError()));
        platform_.messages.error(failure_, texts::kPortErrorCaption);
        return false;
    }
    port_.SetRTS(true);
    port_.SetDTR(true);
    view_.lightTxd();
    switch (line.start) {
        case LineChoice::Start::Direct:
            exchange_.startDirect();
            break;
        case LineChoice::Start::Modem:
            exchange_.startModem(line.toneDialling, line.phone);
            break;
        case LineChoice::Start::Nothing:
            break;
    }
    return true;
}

}  // namespace orvet
