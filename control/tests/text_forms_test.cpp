// The small text forms, the service endpoints and the two sounds.

#include <gtest/gtest.h>

#include "control/service_endpoints.h"
#include "control/text_forms.h"
#include "control/wave_sounds.h"

namespace pelex::control {
namespace {

TEST(DecodeKeyText, LocalDateAndTimeInTheGeneralDateForm) {
    EXPECT_EQ(decodeKeyText({2026, 12, 8, 16, 5, 9}), u"12/8/2026 4:05:09 PM");
    EXPECT_EQ(decodeKeyText({2024, 1, 31, 0, 0, 0}), u"1/31/2024 12:00:00 AM");
    EXPECT_EQ(decodeKeyText({2024, 7, 4, 12, 30, 59}), u"7/4/2024 12:30:59 PM");
    EXPECT_EQ(decodeKeyText({2024, 7, 4, 11, 59, 59}), u"7/4/2024 11:59:59 AM");
}

TEST(CallTimeText, HoursMinutesSecondsWrappingAfterADay) {
    EXPECT_EQ(callTimeText(0), u"00:00:00");
    EXPECT_EQ(callTimeText(1), u"00:00:01");
    EXPECT_EQ(callTimeText(3725), u"01:02:05");
    EXPECT_EQ(callTimeText(86399), u"23:59:59");
    EXPECT_EQ(callTimeText(86400), u"00:00:00");
    EXPECT_EQ(callTimeText(-5), u"00:00:00");
}

TEST(ParseLoginCode, ThreeFieldsWithTheServerAndPortTrimmed) {
    const auto f = parseLoginCode(u" AB12 , 10.0.0.1 ,5060 ,more,fields");
    ASSERT_TRUE(f);
    EXPECT_EQ(f->encipheredPassword, u" AB12 ");
    EXPECT_EQ(f->serverIP, u"10.0.0.1");
    EXPECT_EQ(f->port, u"5060");
    const auto empties = parseLoginCode(u",,");
    ASSERT_TRUE(empties);
    EXPECT_EQ(empties->serverIP, u"");
}

TEST(ParseLoginCode, EmptyOrFewerThanThreeFieldsIsAFailedLogin) {
    EXPECT_FALSE(parseLoginCode(u""));
    EXPECT_FALSE(parseLoginCode(u"AB12"));
    EXPECT_FALSE(parseLoginCode(u"AB12,10.0.0.1"));
    EXPECT_FALSE(parseLoginCode(u","));
}

TEST(ServiceEndpoints, FixedSettingsUnlessTheEnvironmentOverridesThem) {
    const auto fixed = serviceEndpoints(nullptr, nullptr);
    EXPECT_FALSE(fixed.accountHost.empty());
    EXPECT_EQ(fixed.accountPort, u"5061");
    EXPECT_EQ(serviceEndpoints("", "").accountHost, fixed.accountHost);

    const auto host = serviceEndpoints("127.0.0.1", "www.example.org");
    EXPECT_EQ(host.accountHost, u"127.0.0.1");
    EXPECT_EQ(host.accountPort, u"5061");
    EXPECT_EQ(host.homePage(), u"http://www.example.org/");
    EXPECT_EQ(host.signUpPage(), u"http://www.example.org/prepaid/signup.php?devicetype=KD300");

    const auto withPort = serviceEndpoints("localhost:15061", "https://shop.example.org/");
    EXPECT_EQ(withPort.accountHost, u"localhost");
    EXPECT_EQ(withPort.accountPort, u"15061");
    EXPECT_EQ(withPort.homePage(), u"https://shop.example.org/");

    const auto v6 = serviceEndpoints("[::1]:5999", nullptr);
    EXPECT_EQ(v6.accountHost, u"::1");
    EXPECT_EQ(v6.accountPort, u"5999");
    EXPECT_EQ(serviceEndpoints("host:notaport", nullptr).accountPort, u"5061");
    EXPECT_EQ(serviceEndpoints("host:70000", nullptr).accountPort, u"5061");
}

TEST(WaveSounds, RingIsA16BitMonoImageOfTheRightLength) {
    const auto image = waveResource(kRingSound);
    const auto wave = parsePcmWave(image);
    ASSERT_TRUE(wave);
    EXPECT_EQ(wave->channels, 1);
    EXPECT_EQ(wave->sampleRate, 22050);
    EXPECT_EQ(wave->bitsPerSample, 16);
    EXPECT_EQ(wave->samples.size(), 38886u);
    EXPECT_EQ(image.size(), 44u + 38886u);
    // A sound, not silence: the loudest sample reaches a good share of full scale.
    int peak = 0;
    for (std::size_t i = 0; i + 1 < wave->samples.size(); i += 2) {
        const auto v = static_cast<std::int16_t>(std::to_integer<int>(wave->samples[i]) |
                                                 (std::to_integer<int>(wave->samples[i + 1]) << 8));
        peak = std::max(peak, std::abs(int(v)));
    }
    EXPECT_GT(peak, 10000);
    EXPECT_LT(peak, 32767);
}

TEST(WaveSounds, RingBackIsAn8BitMonoImageOfTheRightLength) {
    const auto wave = parsePcmWave(waveResource(kRingBackSound));
    ASSERT_TRUE(wave);
    EXPECT_EQ(wave->channels, 1);
    EXPECT_EQ(wave->sampleRate, 22050);
    EXPECT_EQ(wave->bitsPerSample, 8);
    EXPECT_EQ(wave->samples.size(), 14532u);
    // Unsigned 8-bit samples swing both ways around the middle, 128.
    const auto [lo, hi] = std::minmax_element(wave->samples.begin(), wave->samples.end());
    EXPECT_LT(std::to_integer<int>(*lo), 60);
    EXPECT_GT(std::to_integer<int>(*hi), 196);
    EXPECT_TRUE(waveResource(131).empty());
}

TEST(WaveSounds, IncompleteOrForeignImagesAreRefused) {
    const auto image = waveResource(kRingBackSound);
    EXPECT_FALSE(parsePcmWave(image.first(image.size() - 1)));  // RIFF size disagrees
    EXPECT_FALSE(parsePcmWave(image.first(8)));
    std::vector<std::byte> noData(image.begin(), image.begin() + 36);
    noData[4] = std::byte{28};
    noData[5] = noData[6] = noData[7] = std::byte{0};
    EXPECT_FALSE(parsePcmWave(noData));
}

}  // namespace
}  // namespace pelex::control
