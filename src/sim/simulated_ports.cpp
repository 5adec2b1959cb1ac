#include "sim/simulated_ports.h"

#include <QDir>
#include <QSaveFile>
#include <cerrno>
#include <utility>

#include "sim/virtual_uspd.h"

namespace orvet::sim {

namespace {

const QString kDirect = QStringLiteral("sim");
const QString kModem = QStringLiteral("sim:modem");

// `text` as a whole number of at least `least`.
std::optional<int> number(const QString& text, int least) {
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok && value >= least ? std::optional(value) : std::nullopt;
}

// One "name=value" setting into `port`; false when it is not one.
bool applySetting(const QString& setting, SimulatedPort& port) {
    const qsizetype equals = setting.indexOf(u'=');
    const QString name = setting.left(equals).trimmed();
    const QString value = equals < 0 ? QString() : setting.mid(equals + 1).trimmed();
    Options& o = port.options;
    if (name == u"device") {
        const auto n = number(value, 0);
        o.device = n.value_or(-1);
        return n.has_value() && *n <= 255;
    }
    if (name == u"firmware") {
        const QStringList parts = value.split(u'.');
        const auto major = parts.size() == 2 ? number(parts[0], 0) : std::nullopt;
        const auto minor = parts.size() == 2 ? number(parts[1], 0) : std::nullopt;
        if (!major || !minor || *major > 255 || *minor > 255)
            return false;
        o.major = *major;
        o.minor = *minor;
        return true;
    }
    if (name == u"connect" && o.modem) {
        const auto ms = number(value, 1);
        o.carrierDelayMs = ms.value_or(0);
        return ms.has_value();
    }
    if (name == u"drop-carrier" && o.modem) {
        const auto blocks = number(value, 1);
        o.faults.dropCarrierAfterBlocks = blocks.value_or(-1);
        return blocks.has_value();
    }
    return false;
}

}  // namespace

std::optional<SimulatedPort> simulatedPort(const QString& mapping) {
    const QStringList parts = mapping.simplified().split(u' ');
    const QString& kind = parts.front();
    if (kind != kDirect && !kind.startsWith(kDirect + u':'))
        return std::nullopt;
    SimulatedPort port;
    port.options.modem = kind == kModem;
    if (kind != kDirect && kind != kModem) {
        port.error = QStringLiteral("неизвестный вид «%1», есть sim и sim:modem").arg(kind);
        return port;
    }
    for (qsizetype i = 1; i < parts.size(); ++i) {
        if (!applySetting(parts[i], port)) {
            port.error = QStringLiteral("неверный параметр «%1»").arg(parts[i].trimmed());
            return port;
        }
    }
    return port;
}

struct SimulatedPorts::State {
    Clock& clock;
    QString imageFolder;
    std::unique_ptr<VirtualUspd> device;

    State(Clock& c, QString folder) : clock(c), imageFolder(std::move(folder)) {}

    // Keeps a complete image; an incomplete one is not an upload's result.
    void keep(const QByteArray& image) const {
        QSaveFile file(QDir(imageFolder).filePath(QStringLiteral("config.dat")));
        if (!QDir().mkpath(imageFolder) || !file.open(QIODevice::WriteOnly) ||
            file.write(image) != image.size() || !file.commit()) {
            qWarning("training USPD: cannot keep the image in %s: %s", qPrintable(imageFolder),
                     qPrintable(file.errorString()));
        }
    }
};

SimulatedPorts::SimulatedPorts(Clock& clock, QString imageFolder)
    : state_(std::make_shared<State>(clock, std::move(imageFolder))) {
}

SimulatedPorts::~SimulatedPorts() {
    // Its timers run on the clock, which may go before an opener that outlives this object.
    state_->device.reset();
}

QString SimulatedPorts::defaultImageFolder() {
    return QDir::temp().filePath(QStringLiteral("orvet-4410-sim"));
}

QString SimulatedPorts::imagePath() const {
    return QDir(state_->imageFolder).filePath(QStringLiteral("config.dat"));
}

VirtualUspd* SimulatedPorts::device() {
    return state_->device.get();
}

bool SimulatedPorts::delivered() const {
    return !state_->device || state_->device->line().inFlightToFar() == 0;
}

LineOpener SimulatedPorts::opener(LineOpener others) {
    std::weak_ptr<State> weak = state_;
    return [weak, others = std::move(others)](const QString& path,
                                              int* error) -> std::unique_ptr<SerialLine> {
        const std::optional<SimulatedPort> port = simulatedPort(path);
        if (!port)
            return others(path, error);
        const std::shared_ptr<State> state = weak.lock();
        if (!state || !port->error.isEmpty()) {
            *error = state ? EINVAL : ENODEV;
            return nullptr;
        }
        // The previous device is done with: the port closed its line before opening again.
        state->device.reset();
        state->device = std::make_unique<VirtualUspd>(state->clock, port->options);
        UspdSimulator& device = state->device->device();
        device.onImage = [&device, s = state.get()](const QByteArray& image) {
            if (device.imageComplete())
                s->keep(image);
        };
        return state->device->line().opener()(path, error);
    };
}

}  // namespace orvet::sim
