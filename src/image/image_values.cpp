#include "image/image_values.h"

#include <QList>
#include <cfloat>
#include <cmath>
#include <iterator>

namespace orvet {

double roundHalfEven(double value) {
    if (!std::isfinite(value)) {
        return value;
    }
    const bool half = std::fabs(value - std::trunc(value)) == 0.5;
    const double rounded = half ? 2.0 * std::round(value / 2.0) : std::round(value);
    return rounded + 0.0;  // an integer has no negative zero
}

float toFloat32(double value) {
    // Converting a finite double beyond the float range is undefined in C++; IEEE rounding
    // keeps FLT_MAX up to half a unit beyond it (2^103) and gives infinity from there.
    const double overflow = static_cast<double>(FLT_MAX) + std::ldexp(1.0, 103);
    if (std::isfinite(value) && std::fabs(value) > static_cast<double>(FLT_MAX)) {
        const float bound = std::fabs(value) >= overflow ? INFINITY : FLT_MAX;
        return std::signbit(value) ? -bound : bound;
    }
    return static_cast<float>(value);
}

quint32 lowBitsOf(double integral, int bits) {
    if (!std::isfinite(integral)) {
        return 0;
    }
    const double modulus = std::ldexp(1.0, bits);
    double rest = std::fmod(std::trunc(integral), modulus);  // exact for every double
    if (rest < 0) {
        rest += modulus;
    }
    return static_cast<quint32>(rest);
}

namespace {
constexpr qint64 kRates[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
}  // namespace

qint64 baudRate(qint64 code) {
    return code >= 1 && code <= qint64(std::size(kRates)) ? kRates[code - 1] : 0;
}

qint64 baudCode(qint64 speed) {
    for (qint64 code = 1; code <= qint64(std::size(kRates)); ++code) {
        if (kRates[code - 1] == speed)
            return code;
    }
    return 0;
}

qint64 mainArchiveBase(qint64 shortRecords) {
    return 2 * shortRecords + 32;
}

qsizetype deviceTextLength(const QString& text) {
    return text.toUcs4().size();
}

}  // namespace orvet
