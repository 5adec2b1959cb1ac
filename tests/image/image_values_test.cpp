#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>

#include "image/image_values.h"

namespace orvet {
namespace {

quint32 bitsOf(float value) {
    quint32 bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

TEST(ImageValues, RoundHalfEvenGoesToTheEvenNeighbourOnlyOnHalves) {
    const struct {
        double value;
        double rounded;
    } cases[] = {
        {0.5, 0},
        {1.5, 2},
        {2.5, 2},
        {3.5, 4},
        {-0.5, 0},
        {-1.5, -2},
        {-2.5, -2},
        {2.4999999, 2},
        {2.5000001, 3},
        {-2.5000001, -3},
        {1, 1},
        {1000.4, 1000},
        {4095, 4095},
        {4503599627370497.0, 4503599627370497.0},  // 2^52 + 1: no fraction left to round
    };
    for (const auto& c : cases) {
        const double rounded = roundHalfEven(c.value);
        EXPECT_EQ(rounded, c.rounded) << c.value;
        EXPECT_FALSE(std::signbit(rounded) && rounded == 0) << "negative zero from " << c.value;
    }
    EXPECT_EQ(roundHalfEven(INFINITY), INFINITY);
    EXPECT_TRUE(std::isnan(roundHalfEven(NAN)));
}

TEST(ImageValues, Float32IsTheNearestSingleWithTiesToEven) {
    const double maxFloat = FLT_MAX;
    const double halfUnitAboveMax = std::ldexp(1.0, 103);
    const struct {
        double value;
        quint32 bits;
    } cases[] = {
        {0.1, 0x3DCCCCCD},
        {1.0 / 3, 0x3EAAAAAB},
        {-1, 0xBF800000},
        {16777217.0, 0x4B800000},  // halfway between 2^24 and 2^24 + 2: to the even one
        {16777219.0, 0x4B800002},
        {1.0000001, 0x3F800001},
        {1e-45, 0x00000001},  // the smallest subnormal
        {1e-50, 0x00000000},
        {maxFloat, 0x7F7FFFFF},
        {maxFloat + halfUnitAboveMax / 2, 0x7F7FFFFF},
        {maxFloat + halfUnitAboveMax, 0x7F800000},  // a tie: the even neighbour is infinity
        {1e39, 0x7F800000},
        {-1e39, 0xFF800000},
        {std::numeric_limits<double>::max(), 0x7F800000},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(bitsOf(toFloat32(c.value)), c.bits) << c.value;
    }
    EXPECT_TRUE(std::isnan(toFloat32(NAN)));
}

TEST(ImageValues, LowBitsOfIntegralDoublesWrapLikeIntegers) {
    const struct {
        double value;
        int bits;
        quint32 low;
    } cases[] = {
        {2, 8, 2},        {300, 8, 44},          {-1, 8, 255}, {-256, 8, 0},
        {65541, 16, 5},   {4294967303.0, 32, 7}, {1e20, 8, 0}, {-1, 32, 0xFFFFFFFF},
        {INFINITY, 8, 0}, {NAN, 8, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(lowBitsOf(c.value, c.bits), c.low) << c.value << " in " << c.bits << " bits";
    }
}

TEST(ImageValues, BaudCodesOneToEightAreSpeedsOthersZero) {
    const qint64 speeds[] = {0, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, 0};
    for (qint64 code = 0; code <= 9; ++code) {
        EXPECT_EQ(baudRate(code), speeds[code]) << code;
    }
    EXPECT_EQ(baudRate(-1), 0);
    EXPECT_EQ(baudRate(65536 + 4), 0);
}

// An imported image's speeds go back to the codes they came from; a speed no code gives
// (an unknown code compiles to 0) has none.
TEST(ImageValues, BaudCodeIsTheCodeOfASpeed) {
    for (qint64 code = 1; code <= 8; ++code)
        EXPECT_EQ(baudCode(baudRate(code)), code) << code;
    for (const qint64 speed : {0, 300, 9601, 230400, -9600})
        EXPECT_EQ(baudCode(speed), 0) << speed;
}

TEST(ImageValues, DeviceTextLengthCountsCharactersNotUtf16Units) {
    EXPECT_EQ(deviceTextLength(QString()), 0);
    EXPECT_EQ(deviceTextLength(QStringLiteral("Пароль12")), 8);
    EXPECT_EQ(deviceTextLength(QString::fromUtf8("12😀")), 3);
}

}  // namespace
}  // namespace orvet
