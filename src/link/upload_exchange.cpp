#include "link/upload_exchange.h"

#include "core/conversion.h"
#include "core/texts.h"

namespace orvet {
namespace {

// Thrown while a request is built: the message has been shown and nothing is sent.
struct RequestRefused {};

}  // namespace

UploadExchange::UploadExchange(Platform& platform, LinkPort& port, const LinkSettings& link,
                               UploadView& view, UploadDecisions& decisions)
    : platform_(platform),
      port_(port),
      link_(link),
      view_(view),
      decisions_(decisions),
      TO_BYTE_RECEIVE(platform.clock, 0, true),
      TO_ANSWER(platform.clock, 5000, false) {
    TO_BYTE_RECEIVE.setOnTimer([this] { replyWindowClosed(); });
    TO_ANSWER.setOnTimer([this] { replyTimedOut(); });
}

UploadExchange::~UploadExchange() = default;

void UploadExchange::startDirect() {
    repeats_ = 0;
    send(LinkCommand::Link);
}

void UploadExchange::startModem(bool toneDialling, const QString& phone) {
    const QString command = (toneDialling ? QStringLiteral("ATDT") : QStringLiteral("ATDP")) +
                            phone + QLatin1Char('\r');
    port_.sendText(command.toLatin1());
    repeats_ = 0;
    blockNo_ = 0;
    state_ = State::WaitingForCarrier;
}

void UploadExchange::onDataReceived() {
    // The window opens with the first bytes of a reply: an unchanged interval does not
    // restart it.
    TO_BYTE_RECEIVE.setInterval(kReplyWindowMs);
    TO_ANSWER.setEnabled(false);
}

void UploadExchange::onCarrierChanged(bool present) {
    if (!view_.isVisible())
        return;
    if (present) {
        if (blockNo_ != 0)
            return;
        platform_.clock.pause(kCarrierPauseMs);
        send(LinkCommand::Link);
        return;
    }
    view_.hideProgress();
    closeLine();
    end(Outcome::CarrierLost);
}

void UploadExchange::cancel() {
    closeLine();
    end(Outcome::Cancelled);
}

void UploadExchange::closeLine() {
    TO_ANSWER.setEnabled(false);
    port_.setDTR(false);
    port_.close();
}

void UploadExchange::end(Outcome outcome) {
    TO_ANSWER.setEnabled(false);
    imageFile_.reset();
    state_ = State::Idle;
    if (onFinished_)
        onFinished_(outcome);
}

void UploadExchange::stall() {
    state_ = State::Stalled;
    if (onStalled_)
        onStalled_();
}

void UploadExchange::send(LinkCommand command) {
    curCmd_ = command;
    QByteArray frame;
    try {
        frame = buildRequest(command);
    } catch (const ConversionError& error) {
        // A refused request is not repeated: the same message would come back every time.
        TO_ANSWER.setEnabled(false);
        platform_.messages.error(error.message(), texts::kError);
        stall();
        return;
    } catch (const RequestRefused&) {
        TO_ANSWER.setEnabled(false);
        stall();
        return;
    }
    port_.sendFrame(frame);
    switch (command) {
        case LinkCommand::Link:
            state_ = State::Link;
            break;
        case LinkCommand::Size:
            state_ = State::Announce;
            break;
        case LinkCommand::Block:
            state_ = State::Transfer;
            break;
        case LinkCommand::End:
            state_ = State::Finishing;
            return;  // no reply is awaited
        case LinkCommand::Restart:
            state_ = State::Restart;
            break;
    }
    TO_ANSWER.setInterval(link_.TOAnswer);
    TO_ANSWER.setEnabled(true);
}

QByteArray UploadExchange::buildRequest(LinkCommand command) {
    const int device = strToInt(deviceNumber_ ? deviceNumber_() : QString());
    switch (command) {
        case LinkCommand::Link:
        case LinkCommand::End:
            return buildFrame(device, command);
        case LinkCommand::Restart:
            return buildFrame(device, command, restartPayload(clearArchives_));
        case LinkCommand::Size: {
            // Opened afresh for every 'S', a repeated one too.
            imageFile_ = std::make_unique<QFile>(imagePath_);
            if (!imageFile_->open(QIODevice::ReadOnly)) {
                imageFile_.reset();
                platform_.messages.information(texts::kFileCannotOpen, QString());
                throw RequestRefused{};
            }
            const qint64 size = imageFile_->size();
            const qint64 blocks = (size + link_.PakLen - 1) / link_.PakLen;
            if (size == 0) {
                platform_.messages.warning(
                    QStringLiteral("Файл %1 пуст: передавать нечего.").arg(imagePath_),
                    texts::kAttention);
                throw RequestRefused{};
            }
            // Block numbers are one byte: a longer image could never be acknowledged whole.
            if (blocks > kMaxBlocks) {
                const qint64 needed = (size + kMaxBlocks - 1) / kMaxBlocks;
                // A packet length beyond the largest one is no advice to give.
                platform_.messages.warning(
                    needed > LinkSettings::kMaxPakLen
                        ? QStringLiteral("Конфигурация (%1 байт) слишком велика: она не "
                                         "помещается в %2 блоков даже при наибольшей длине "
                                         "пакета %3 байт.")
                              .arg(size)
                              .arg(kMaxBlocks)
                              .arg(LinkSettings::kMaxPakLen)
                        : QStringLiteral("Конфигурация (%1 байт) не помещается в %2 блоков по %3 "
                                         "байт. Увеличьте длину пакета в окне «Параметры связи» "
                                         "не меньше чем до %4 байт.")
                              .arg(size)
                              .arg(kMaxBlocks)
                              .arg(link_.PakLen)
                              .arg(needed),
                    texts::kAttention);
                throw RequestRefused{};
            }
            blockCount_ = static_cast<int>(blocks);
            view_.setBlockCount(blockCount_);
            reSend_ = false;
            return buildFrame(device, command, sizePayload(static_cast<std::uint32_t>(size)));
        }
        case LinkCommand::Block: {
            if (!imageFile_) {
                platform_.messages.information(texts::kFileCannotOpen, QString());
                throw RequestRefused{};
            }
            if (reSend_) {
                imageFile_->seek(blockPos_);
                reSend_ = false;
            }
            blockPos_ = imageFile_->pos();
            const QByteArray bytes = imageFile_->read(link_.PakLen);
            view_.lightTxd();
            return buildFrame(device, command, blockPayload(blockNo_, bytes));
        }
    }
    return {};
}

void UploadExchange::replyTimedOut() {
    ++repeats_;
    const bool restart = curCmd_ == LinkCommand::Restart;
    const int limit = restart ? restartRepeats_ : maxRepeats_;
    if (limit >= 0 && repeats_ > limit) {
        closeLine();
        view_.hideProgress();
        platform_.messages.warning(
            restart ? QStringLiteral("УСПД не ответил на команду перезагрузки. Порт закрыт.")
                    : QStringLiteral("УСПД не отвечает: запрос '%1' повторён %2 раз. Порт закрыт.")
                          .arg(QChar::fromLatin1(static_cast<char>(curCmd_)))
                          .arg(limit),
            texts::kAttention);
        end(Outcome::GaveUp);
        return;
    }
    reSend_ = true;
    send(curCmd_);
}

void UploadExchange::replyWindowClosed() {
    TO_BYTE_RECEIVE.setInterval(0);
    if (view_.isVisible())
        view_.dimRxd();
    if (!port_.isOpen())
        return;
    int device = 0;
    try {
        device = strToInt(deviceNumber_ ? deviceNumber_() : QString());
    } catch (const ConversionError& error) {
        platform_.messages.error(error.message(), texts::kError);
        return;
    }
    const QByteArray bytes = port_.received();
    if (bytes.isEmpty())
        return;
    const Reply reply =
        checkReply(reinterpret_cast<const std::uint8_t*>(bytes.constData()), bytes.size(), device);
    switch (reply.status) {
        case Reply::Status::WrongAddress:
            port_.flushInput();
            stall();
            return;
        case Reply::Status::TooShort:
        case Reply::Status::BadCrc:
            // The bytes stay: the rest of a split reply completes them in the next window.
            stall();
            platform_.messages.information(QStringLiteral("Ошибка CRC"), QString());
            return;
        case Reply::Status::MissingPayload:
            port_.flushInput();
            stall();
            platform_.messages.warning(
                QStringLiteral("Ответ УСПД на запрос '%1' неполон и не может быть принят.")
                    .arg(QChar::fromLatin1(reply.letter)),
                texts::kAttention);
            return;
        case Reply::Status::Accepted:
            react(reply);
            return;
    }
}

void UploadExchange::react(const Reply& reply) {
    repeats_ = 0;
    switch (static_cast<LinkCommand>(reply.letter)) {
        case LinkCommand::Link:
            onLinkReply(reply);
            break;
        case LinkCommand::Size:
            onSizeReply(reply);
            break;
        case LinkCommand::Block:
            onBlockReply(reply);
            break;
        case LinkCommand::Restart:
            onRestartReply();
            break;
        default:
            break;  // other replies are ignored; their bytes stay
    }
}

void UploadExchange::onLinkReply(const Reply& reply) {
    if (reply.refused) {
        platform_.messages.warning(
            QStringLiteral("УСПД не понял запроса. Возможно Firmware имеет старую версию."),
            texts::kAttention);
        port_.flushInput();
        stall();
        return;
    }
    const auto major = static_cast<std::uint8_t>(reply.payload[0]);
    const auto minor = static_cast<std::uint8_t>(reply.payload[1]);
    const bool supported = major == 2 && minor >= 20 && minor <= 29;
    // The question is asked with the input flushed, so a reply arriving meanwhile is new.
    port_.flushInput();
    // The version is shown as signed numbers, as the device's bytes read.
    if (supported || decisions_.acceptFirmware(static_cast<std::int8_t>(major),
                                               static_cast<std::int8_t>(minor))) {
        blockNo_ = 0;
        send(LinkCommand::Size);
        return;
    }
    stall();
}

void UploadExchange::onSizeReply(const Reply& reply) {
    port_.flushInput();
    if (!reply.refused) {
        send(LinkCommand::Block);
        return;
    }
    send(LinkCommand::Size);
    if (++passErrors_ >= 3) {
        passErrors_ = 0;
        platform_.messages.information(QStringLiteral("Неверный пароль!"), QString());
    }
}

void UploadExchange::onBlockReply(const Reply& reply) {
    view_.stepBlock();
    if (static_cast<std::uint8_t>(reply.payload[0]) == blockNo_)
        ++blockNo_;
    port_.flushInput();
    if (blockNo_ == blockCount_) {
        imageDelivered();
        return;
    }
    // The file moves on either way: a stale acknowledgement sends the next bytes under the
    // unchanged number.
    send(LinkCommand::Block);
}

void UploadExchange::imageDelivered() {
    imageFile_.reset();
    send(LinkCommand::End);
    view_.transferEnded();
    if (decisions_.restartDevice()) {
        clearArchives_ = decisions_.clearArchives();
        platform_.clock.pause(kRestartPauseMs);
        send(LinkCommand::Restart);
        return;
    }
    // The output is not flushed here: the 'W' frame may still be on its way (an answer that
    // comes at once), and the close sends what is queued.
    port_.setDTR(false);
    port_.flushInput();
    port_.close();
    end(Outcome::Delivered);
}

void UploadExchange::onRestartReply() {
    closeLine();
    end(Outcome::Restarted);
    platform_.messages.information(texts::kRestarted, QString());
}

}  // namespace orvet
