// The core library's sin, cos and tan against a reference computed in
// quadruple precision: the angle reduced exactly (fmodq) and folded to
// [-90, 90], converted with a 113-bit pi. Every 80-bit result must be within two units in the last
// place of the reference, for angles of every sign and size.
#include <quadmath.h>

#include <cmath>
#include <random>
#include <string>

#include "core_fixture.h"
#include "native_loader.h"

using namespace tavro;

namespace {

struct Trigonometry : CoreTest {
    // Calls the native word as its wrapper would: an activation record
    // with the input `number` on top of the context stack.
    long double Call(const char* word, long double a)
    {
        Atom* procedure = CreatePath(Root, "w", nullptr, true);
        Atom* record = AttachNew(procedure, AnonymousName(), nullptr);
        record->Flags |= flActivation;
        AttachNew(record, Text("number").raw(), NewNumber(a));
        PushContext(record);
        Atom* result = ResolveNative(std::string("dll.core.") + word)(&State);
        PopContext();
        Detach(procedure);
        EXPECT_TRUE(result && result != NoValue && result->Kind == akNumber) << word << " " << double(a);
        return result && result != NoValue ? result->Number : NAN;
    }

    // The reference sine and cosine; at whole multiples of 90 degrees the
    // exact values (sinq of a rounded pi is not exactly 0).
    static void Reference(long double a, __float128& sine, __float128& cosine)
    {
        __float128 degrees = fmodq(__float128(a), 360);
        if (fmodq(degrees, 90) == 0) {
            const int quarter = int((degrees < 0 ? degrees + 360 : degrees) / 90);
            const int sines[] = {0, 1, 0, -1}, cosines[] = {1, 0, -1, 0};
            sine = sines[quarter];
            cosine = cosines[quarter];
            return;
        }
        // Folded to [-90, 90] first (exact with 113 bits), where the
        // argument's own rounding stays far below the 64-bit result's.
        auto sineOf = [](__float128 d) {
            if (d > 180) d -= 360;
            if (d < -180) d += 360;
            if (d > 90) d = 180 - d;
            if (d < -90) d = -180 - d;
            return sinq(d * M_PIq / 180);
        };
        sine = sineOf(degrees);
        cosine = sineOf(90 - fabsq(degrees > 180 ? degrees - 360 : degrees < -180 ? degrees + 360 : degrees));
    }

    // Within two units in the last place of the 64-bit mantissa.
    static void ExpectClose(long double got, __float128 reference, const char* word, long double a)
    {
        __float128 tolerance = fabsq(reference) * 0x1p-62Q + 0x1p-16440Q;
        char angle[64], expected[64];
        quadmath_snprintf(angle, sizeof angle, "%.25Qg", __float128(a));
        quadmath_snprintf(expected, sizeof expected, "%.25Qg", reference);
        EXPECT_LE(fabsq(__float128(got) - reference), tolerance)
            << word << " " << angle << " gave " << double(got) << ", expected " << expected;
    }

    void Check(long double a)
    {
        __float128 sine, cosine;
        Reference(a, sine, cosine);
        ExpectClose(Call("SIN", a), sine, "sin", a);
        ExpectClose(Call("COS", a), cosine, "cos", a);
        if (cosine != 0) ExpectClose(Call("TAN", a), sine / cosine, "tan", a);
    }
};

}  // namespace

TEST_F(Trigonometry, TheReportedAnglesAreRightToTheLastDigit)
{
    for (long double a : {-1e-12L, 1e-12L, -1e-300L, -1e-7L, 1e-7L, 179.9999999L, 180.0000001L,
                          -179.9999999L, 89.9999999L, 90.0000001L, 359.9999999L, -1e-4000L})
        Check(a);
    // Opposite angles give opposite sines, so they add up to exactly 0.
    EXPECT_EQ(Call("SIN", -1e-7L) + Call("SIN", 1e-7L), 0.0L);
    EXPECT_EQ(Call("SIN", -123.456L), -Call("SIN", 123.456L));
}

TEST_F(Trigonometry, ExactValuesAtMultiplesOfThirtyDegrees)
{
    for (long double k = -40; k <= 40; ++k) {
        EXPECT_EQ(Call("SIN", 180 * k), 0.0L) << double(k);
        EXPECT_EQ(Call("COS", 180 * k + 90), 0.0L) << double(k);
        EXPECT_EQ(Call("SIN", 360 * k + 30), 0.5L) << double(k);
        EXPECT_EQ(Call("COS", 360 * k + 60), 0.5L) << double(k);
        EXPECT_EQ(Call("SIN", 360 * k + 270), -1.0L) << double(k);
    }
    EXPECT_EQ(Call("COS", 270), 0.0L);
    EXPECT_EQ(Call("TAN", 45), 1.0L);
    EXPECT_EQ(Call("SIN", ldexpl(360, 100)), 0.0L);
}

TEST_F(Trigonometry, ManyAnglesOfEverySizeMatchTheReference)
{
    std::mt19937_64 random(20261207);
    std::uniform_real_distribution<double> unit(-1, 1);
    std::uniform_int_distribution<int> exponent(-4900, 4900);
    for (int i = 0; i < 3000; ++i) {
        // Mantissa and decimal exponent at random: tiny, ordinary and huge.
        long double a = static_cast<long double>(unit(random)) * powl(10.0L, exponent(random) / 1.0L);
        if (std::isfinite(a)) Check(a);
    }
    std::uniform_int_distribution<int> quarter(-100000, 100000);
    for (int i = 0; i < 3000; ++i) {
        // Just beside a multiple of 90 degrees, where the reduction matters.
        long double a = 90.0L * quarter(random) + static_cast<long double>(unit(random)) *
                                                      powl(10.0L, -(i % 15));
        Check(a);
    }
    for (int i = 0; i < 3000; ++i) Check(static_cast<long double>(unit(random)) * 720);
}
