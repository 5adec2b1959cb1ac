#include "link/upload_exchange.h"

#include <algorithm>

#include "core/conversion.h"
#include "core/texts.h"

namespace orvet {
namespace {

// Thrown while a request is built: the message has been shown and nothing is sent.
struct RequestRefused {
    QString reason;
};

// The letters of the replies the exchange acts on; others are ignored.
bool isReplyLetter(char letter) {
    switch (static_cast<LinkCommand>(letter)) {
        case LinkCommand::Link:
        case LinkCommand::Size:
        case LinkCommand::Block:
        case LinkCommand::Restart:
            return true;
        case LinkCommand::End:
            return false;
    }
    return false;
}

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
    begin();
    send(LinkCommand::Link);
}

void UploadExchange::begin() {
    startedMs_ = platform_.clock.nowMs();
    if (trace_)
        trace_->exchangeStarted();
}

void UploadExchange::trace(TraceEntry entry) {
    if (!trace_)
        return;
    entry.ms = platform_.clock.nowMs() - startedMs_;
    trace_->record(entry);
}

void UploadExchange::startModem(bool toneDialling, const QString& phone) {
    const QString command = (toneDialling ? QStringLiteral("ATDT") : QStringLiteral("ATDP")) +
                            phone + QLatin1Char('\r');
    begin();
    port_.sendText(command.toLatin1());
    repeats_ = 0;
    blockNo_ = 0;
    state_ = State::WaitingForCarrier;
    view_.showWaiting(QStringLiteral("Ожидание несущей: набран номер %1").arg(phone));
}

void UploadExchange::onDataReceived() {
    // The window opens with the first bytes of a reply: an unchanged interval does not
    // restart it. The time-out waits meanwhile; a window without a usable reply resumes it.
    TO_BYTE_RECEIVE.setInterval(kReplyWindowMs);
    TO_ANSWER.setEnabled(false);
    if (link_.FastExchange && replyComplete())
        replyWindowClosed();
}

bool UploadExchange::replyComplete() const {
    // While a question is open the bytes wait for its answer, as in a full window.
    if (!awaitsReply() || asking_ || !port_.isOpen())
        return false;
    int expected = 0;
    switch (curCmd_) {
        case LinkCommand::Link:
            expected = 6;  // address, letter, two version bytes, CRC
            break;
        case LinkCommand::Block:
            expected = 5;  // address, letter, block number, CRC
            break;
        case LinkCommand::Size:
        case LinkCommand::Restart:
            expected = 4;
            break;
        case LinkCommand::End:
            return false;
    }
    const QByteArray bytes = port_.received();
    if (bytes.size() != expected)
        return false;
    int device = 0;
    try {
        device = strToInt(deviceNumber_ ? deviceNumber_() : QString());
    } catch (const ConversionError&) {
        return false;  // the full window reports it
    }
    const Reply reply =
        checkReply(reinterpret_cast<const std::uint8_t*>(bytes.constData()), bytes.size(), device);
    return reply.status == Reply::Status::Accepted && reply.letter == static_cast<char>(curCmd_);
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

void UploadExchange::onPortLost() {
    if (state_ == State::Idle && !port_.isOpen())
        return;
    const QString text = QStringLiteral("Порт закрыт: устройство отключено");
    closeLine();
    view_.showProblem(text);
    view_.hideProgress();
    end(Outcome::PortLost);
    platform_.messages.warning(text + QLatin1Char('.'), texts::kAttention);
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
    ++generation_;
    if (asking_ || noticeOpen_)
        decisions_.withdraw();
    if (onFinished_)
        onFinished_(outcome);
}

void UploadExchange::stall(const QString& problem) {
    TO_ANSWER.setEnabled(false);
    state_ = State::Stalled;
    view_.showWaiting(QStringLiteral("Обмен остановлен: нажмите «Отмена»"));
    view_.showProblem(problem);
    if (onStalled_)
        onStalled_();
}

std::optional<bool> UploadExchange::ask(const std::function<bool()>& question) {
    // While the box is open nothing is awaited from the device (the time-out is stopped and
    // reply windows leave their bytes alone), so only the end of the exchange can overtake
    // the question.
    const int generation = generation_;
    asking_ = true;
    const bool answer = question();
    asking_ = false;
    if (generation != generation_)
        return std::nullopt;
    return answer;
}

void UploadExchange::notify(const QString& text, bool warning) {
    view_.showProblem(text);
    if (noticeOpen_)
        return;
    noticeOpen_ = true;
    decisions_.notice([&] {
        if (warning)
            platform_.messages.warning(text, texts::kAttention);
        else
            platform_.messages.information(text, QString());
    });
    noticeOpen_ = false;
}

void UploadExchange::send(LinkCommand command) {
    // A new request: the exchange has got over what an open notice reports.
    if (noticeOpen_)
        decisions_.withdraw();
    repeats_ = 0;
    view_.showProblem(QString());
    transmit(command);
}

void UploadExchange::transmit(LinkCommand command) {
    curCmd_ = command;
    problem_ = Problem::None;
    QByteArray frame;
    try {
        frame = buildRequest(command);
    } catch (const ConversionError& error) {
        // A refused request is not repeated: the same message would come back every time.
        platform_.messages.error(error.message(), texts::kError);
        stall(error.message());
        return;
    } catch (const RequestRefused& refused) {
        stall(refused.reason);
        return;
    }
    port_.sendFrame(frame);
    TraceEntry sent;
    sent.kind = TraceEntry::Kind::Sent;
    sent.letter = static_cast<char>(command);
    sent.bytes = frame;
    sent.repeat = repeats_;
    trace(sent);
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
    answerDue_ = platform_.clock.nowMs() + link_.TOAnswer;
    TO_ANSWER.setInterval(link_.TOAnswer);
    TO_ANSWER.setEnabled(true);
    showWaiting(command);
}

void UploadExchange::showWaiting(LinkCommand command) {
    switch (command) {
        case LinkCommand::Link:
            view_.showWaiting(QStringLiteral("Ожидание ответа на запрос связи ('L')"));
            return;
        case LinkCommand::Size:
            view_.showWaiting(QStringLiteral("Ожидание ответа на объявление конфигурации ('S')"));
            return;
        case LinkCommand::Block:
            view_.showWaiting(QStringLiteral("Ожидание подтверждения блоков ('T')"));
            return;
        case LinkCommand::Restart:
            view_.showWaiting(QStringLiteral("Ожидание ответа на команду перезагрузки ('X')"));
            return;
        case LinkCommand::End:
            return;
    }
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
                const QString text = QStringLiteral("%1 (%2)").arg(
                    texts::fileCannotOpen(imagePath_), imageFile_->errorString());
                imageFile_.reset();
                platform_.messages.information(text, QString());
                throw RequestRefused{text};
            }
            const qint64 size = imageFile_->size();
            const qint64 blocks = (size + link_.PakLen - 1) / link_.PakLen;
            if (size == 0) {
                const QString text =
                    QStringLiteral("Файл %1 пуст: передавать нечего.").arg(imagePath_);
                platform_.messages.warning(text, texts::kAttention);
                throw RequestRefused{text};
            }
            // Block numbers are one byte: a longer image could never be acknowledged whole.
            if (blocks > kMaxBlocks) {
                const qint64 needed = (size + kMaxBlocks - 1) / kMaxBlocks;
                // A packet length beyond the largest one is no advice to give.
                const QString text =
                    needed > LinkSettings::kMaxPakLen
                        ? QStringLiteral(
                              "Конфигурация (%1 байт) слишком велика: она не "
                              "помещается в %2 блоков даже при наибольшей длине "
                              "пакета %3 байт.")
                              .arg(size)
                              .arg(kMaxBlocks)
                              .arg(LinkSettings::kMaxPakLen)
                        : QStringLiteral(
                              "Конфигурация (%1 байт) не помещается в %2 блоков по %3 "
                              "байт. Увеличьте длину пакета в окне «Параметры связи» "
                              "не меньше чем до %4 байт.")
                              .arg(size)
                              .arg(kMaxBlocks)
                              .arg(link_.PakLen)
                              .arg(needed);
                platform_.messages.warning(text, texts::kAttention);
                throw RequestRefused{text};
            }
            blockCount_ = static_cast<int>(blocks);
            view_.setBlockCount(blockCount_);
            reSend_ = false;
            return buildFrame(device, command, sizePayload(static_cast<std::uint32_t>(size)));
        }
        case LinkCommand::Block: {
            if (!imageFile_) {
                platform_.messages.information(texts::kFileCannotOpen, QString());
                throw RequestRefused{texts::kFileCannotOpen};
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
    TraceEntry timedOut;
    timedOut.kind = TraceEntry::Kind::TimedOut;
    timedOut.letter = static_cast<char>(curCmd_);
    timedOut.waitedMs = link_.TOAnswer;
    trace(timedOut);
    if (problem_ == Problem::None)
        repeat(Problem::Silence, QStringLiteral("нет ответа"));
    else
        repeat(problem_, problemDetail_);
}

bool UploadExchange::repeat(Problem problem, const QString& detail) {
    ++repeats_;
    const bool restart = curCmd_ == LinkCommand::Restart;
    int limit = maxRepeats_;
    if (restart)
        limit = maxRepeats_ >= 0 ? std::min(maxRepeats_, restartRepeats_) : restartRepeats_;
    const QChar letter = QChar::fromLatin1(static_cast<char>(curCmd_));
    if (limit >= 0 && repeats_ > limit) {
        closeLine();
        view_.hideProgress();
        QString text;
        if (restart)
            text = QStringLiteral("УСПД не ответил на команду перезагрузки. Порт закрыт.");
        else if (problem == Problem::Silence)
            text = QStringLiteral("УСПД не отвечает: запрос '%1' повторён %2 раз. Порт закрыт.")
                       .arg(letter)
                       .arg(limit);
        else
            text = QStringLiteral("Запрос '%1' повторён %2 раз без успеха: %3. Порт закрыт.")
                       .arg(letter)
                       .arg(limit)
                       .arg(detail);
        end(Outcome::GaveUp);
        platform_.messages.warning(text, texts::kAttention);
        return false;
    }
    const QString count = limit >= 0 ? QStringLiteral("%1 из %2").arg(repeats_).arg(limit)
                                     : QString::number(repeats_);
    if (problem == Problem::Silence)
        view_.showProblem(
            QStringLiteral("Нет ответа УСПД на %1, повтор %2").arg(requestName(), count));
    else
        view_.showProblem(
            QStringLiteral("%1: запрос '%2' послан снова (повтор %3)").arg(detail, letter, count));
    // What a garbled or ignored reply left behind would spoil the next reply.
    port_.flushInput();
    reSend_ = true;
    transmit(curCmd_);
    return true;
}

QString UploadExchange::requestName() const {
    const QChar letter = QChar::fromLatin1(static_cast<char>(curCmd_));
    if (curCmd_ == LinkCommand::Block)
        return QStringLiteral("'%1' (блок %2)").arg(letter).arg(blockNo_);
    return QStringLiteral("'%1'").arg(letter);
}

bool UploadExchange::awaitsReply() const {
    return state_ == State::Link || state_ == State::Announce || state_ == State::Transfer ||
           state_ == State::Restart;
}

void UploadExchange::missedReply(const QString& detail) {
    if (!awaitsReply())
        return;
    problem_ = Problem::Reply;
    problemDetail_ = detail;
    view_.showProblem(QStringLiteral("%1 (запрос '%2')")
                          .arg(detail, QChar::fromLatin1(static_cast<char>(curCmd_))));
    if (link_.TOAnswer <= 0)
        return;
    const std::int64_t left = answerDue_ - platform_.clock.nowMs();
    if (left <= 0) {
        replyTimedOut();
        return;
    }
    TO_ANSWER.setInterval(static_cast<int>(left));
    TO_ANSWER.setEnabled(true);
}

void UploadExchange::replyWindowClosed() {
    TO_BYTE_RECEIVE.setInterval(0);
    if (view_.isVisible())
        view_.dimRxd();
    // While the user answers a question nothing is awaited: the bytes wait in the buffer.
    if (!port_.isOpen() || asking_)
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
    traceReply(bytes, reply);
    const int generation = generation_;
    switch (reply.status) {
        case Reply::Status::WrongAddress:
            port_.flushInput();
            missedReply(QStringLiteral("ответ с чужим адресом %1")
                            .arg(static_cast<std::uint8_t>(bytes[0])));
            return;
        case Reply::Status::TooShort:
        case Reply::Status::BadCrc:
            // The bytes stay: the rest of a split reply completes them in the next window.
            missedReply(QStringLiteral("Ошибка CRC"));
            if (generation == generation_)
                notify(QStringLiteral("Ошибка CRC"));
            return;
        case Reply::Status::MissingPayload: {
            port_.flushInput();
            const QString text =
                QStringLiteral("Ответ УСПД на запрос '%1' неполон и не может быть принят.")
                    .arg(QChar::fromLatin1(reply.letter));
            missedReply(text);
            if (generation == generation_)
                notify(text, true);
            return;
        }
        case Reply::Status::Accepted:
            react(reply);
            return;
    }
}

void UploadExchange::traceReply(const QByteArray& bytes, const Reply& reply) {
    using Check = TraceEntry::Check;
    TraceEntry received;
    received.kind = TraceEntry::Kind::Received;
    received.bytes = bytes;
    if (bytes.size() >= 2) {
        received.letter = static_cast<char>(bytes[1] & 0x7F);
        received.refused = (static_cast<std::uint8_t>(bytes[1]) & 0x80) != 0;
    }
    switch (reply.status) {
        case Reply::Status::Accepted:
            received.check = isReplyLetter(reply.letter) ? Check::Accepted : Check::UnknownCommand;
            break;
        case Reply::Status::WrongAddress:
            received.check = Check::ForeignAddress;
            break;
        case Reply::Status::BadCrc:
            received.check = Check::BadCrc;
            break;
        case Reply::Status::TooShort:
            received.check = Check::TooShort;
            break;
        case Reply::Status::MissingPayload:
            received.check = Check::MissingPayload;
            break;
    }
    trace(received);
}

void UploadExchange::react(const Reply& reply) {
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
            // Other replies are ignored and their bytes stay; the request is still unanswered.
            missedReply(QStringLiteral("ответ с неизвестной командой '%1'")
                            .arg(QChar::fromLatin1(reply.letter)));
            break;
    }
}

void UploadExchange::onLinkReply(const Reply& reply) {
    if (reply.refused) {
        const QString text =
            QStringLiteral("УСПД не понял запроса. Возможно Firmware имеет старую версию.");
        platform_.messages.warning(text, texts::kAttention);
        port_.flushInput();
        stall(text);
        return;
    }
    const auto major = static_cast<std::uint8_t>(reply.payload[0]);
    const auto minor = static_cast<std::uint8_t>(reply.payload[1]);
    const bool supported = major == 2 && minor >= 20 && minor <= 29;
    port_.flushInput();
    if (supported) {
        blockNo_ = 0;
        send(LinkCommand::Size);
        return;
    }
    // The version is shown as signed numbers, as the device's bytes read.
    const auto shownMajor = static_cast<std::int8_t>(major);
    const auto shownMinor = static_cast<std::int8_t>(minor);
    TO_ANSWER.setEnabled(false);
    view_.showWaiting(
        QStringLiteral("Ожидание решения о версии %1.%2").arg(shownMajor).arg(shownMinor));
    const std::optional<bool> accepted =
        ask([&] { return decisions_.acceptFirmware(shownMajor, shownMinor); });
    if (!accepted)
        return;
    // What arrived while the question was open answers no request.
    port_.flushInput();
    if (*accepted) {
        blockNo_ = 0;
        send(LinkCommand::Size);
        return;
    }
    stall(QStringLiteral("Версия %1.%2 не поддерживается: продолжение отклонено")
              .arg(shownMajor)
              .arg(shownMinor));
}

void UploadExchange::onSizeReply(const Reply& reply) {
    port_.flushInput();
    if (!reply.refused) {
        send(LinkCommand::Block);
        return;
    }
    const bool goesOn = repeat(Problem::Refused, QStringLiteral("пароль не принят"));
    if (++passErrors_ >= 3) {
        passErrors_ = 0;
        if (goesOn)
            notify(QStringLiteral("Неверный пароль!"));
    }
}

void UploadExchange::onBlockReply(const Reply& reply) {
    // The refusal bit of a 'T' reply is not looked at: the number alone acknowledges.
    const auto acknowledged = static_cast<std::uint8_t>(reply.payload[0]);
    port_.flushInput();
    if (acknowledged != blockNo_) {
        // Block blockNo_ is not confirmed: it goes again, the same bytes under the same
        // number, so that the device never stores the next bytes under this number.
        repeat(Problem::WrongAck,
               QStringLiteral("подтверждён блок %1 вместо %2").arg(acknowledged).arg(blockNo_));
        return;
    }
    view_.stepBlock();
    ++blockNo_;
    if (blockNo_ == blockCount_) {
        imageDelivered();
        return;
    }
    send(LinkCommand::Block);
}

void UploadExchange::imageDelivered() {
    imageFile_.reset();
    send(LinkCommand::End);
    view_.transferEnded();
    const std::optional<bool> restart = ask([this] { return decisions_.restartDevice(); });
    if (!restart)
        return;
    if (*restart) {
        const std::optional<bool> clear = ask([this] { return decisions_.clearArchives(); });
        if (!clear)
            return;
        clearArchives_ = *clear;
        platform_.clock.pause(kRestartPauseMs);
        // What arrived while the questions were open answers no request.
        port_.flushInput();
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
