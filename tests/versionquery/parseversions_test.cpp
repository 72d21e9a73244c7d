// The reader must accept exactly the complete messages of the schema and refuse everything
// else as a whole, since a partly read answer could name a version nobody released.
#include "replies.h"
#include "updateserver_client/versions.h"

#include <gtest/gtest.h>

using namespace voxtrel::update;

namespace {

TEST(ParseVersions, ReadsTheReplyProtocEncoded)
{
    const QByteArray bytes = replies::encodedByProtoc();
    ASSERT_FALSE(bytes.isEmpty());
    DecodedVersions out;
    ASSERT_EQ(parseVersions(bytes.constData(), bytes.size(), out), PARSE_OK);
    EXPECT_EQ(out.licenseAgreementId, 7);
    EXPECT_EQ(out.licenseAgreementIdMin, 3);
    EXPECT_EQ(out.channelNames, (std::vector<std::string>{"stable", "beta", "alpha"}));
    EXPECT_EQ(out.versionNumber("beta"), 12400);
    EXPECT_EQ(out.versionString("alpha"), "3.7.0 \xce\xb1");
    EXPECT_EQ(out.versionNumber("nightly"), 0);
    EXPECT_EQ(out.versionString("nightly"), "");
}

TEST(ParseVersions, RepeatedNameKeepsTheFirstAndListsBoth)
{
    Versions message;
    message.set_licenseagreementid(1);
    replies::addChannel(message, "stable", 10, "1.0");
    replies::addChannel(message, "stable", 20, "2.0");
    const QByteArray bytes = replies::serialized(message);
    DecodedVersions out;
    ASSERT_EQ(parseVersions(bytes.constData(), bytes.size(), out), PARSE_OK);
    EXPECT_EQ(out.channelNames.size(), 2u);
    EXPECT_EQ(out.channels.size(), 1u);
    EXPECT_EQ(out.versionNumber("stable"), 10);
    EXPECT_EQ(out.versionString("stable"), "1.0");
}

QByteArray withoutLicense()
{
    Versions message;
    replies::addChannel(message, "stable", 10, "1.0");
    return replies::serialized(message);
}

QByteArray channelWithoutText()
{
    Versions message;
    message.set_licenseagreementid(1);
    Channel *channel = message.add_channels();
    channel->set_name("stable");
    channel->set_version_number(10);
    return replies::serialized(message);
}

TEST(ParseVersions, RefusesIncompleteOrForeignBytesAndLeavesTheOutputAlone)
{
    const QByteArray good = replies::encodedByProtoc();
    struct Case {
        const char *what;
        QByteArray bytes;
    };
    const Case cases[] = {
        {"empty", QByteArray("")},
        {"missing licenseAgreementId", withoutLicense()},
        {"channel missing version_string", channelWithoutText()},
        {"cut in the middle", good.left(good.size() / 2)},
        {"cut by one byte", good.left(good.size() - 1)},
        {"text instead of a message", QByteArray("<html>502 Bad Gateway</html>")},
        {"field length past the end", QByteArray("\x08\x01\x12\x7f\x0a\x02st", 8)},
    };
    for (const Case &c : cases) {
        DecodedVersions out;
        out.licenseAgreementId = -5;
        EXPECT_EQ(parseVersions(c.bytes.constData(), c.bytes.size(), out), PARSE_MALFORMED) << c.what;
        EXPECT_EQ(out.licenseAgreementId, -5) << c.what;
        EXPECT_TRUE(out.channelNames.empty()) << c.what;
    }
}

TEST(ParseVersions, NullDataAndNegativeLength)
{
    DecodedVersions out;
    EXPECT_EQ(parseVersions(nullptr, 10, out), PARSE_NO_DATA);
    const QByteArray good = replies::encodedByProtoc();
    EXPECT_EQ(parseVersions(good.constData(), -1, out), PARSE_MALFORMED);
}

TEST(ParseVersions, NoChannelsIsAValidButEmptyAnswer)
{
    Versions message;
    message.set_licenseagreementid(4);
    const QByteArray bytes = replies::serialized(message);
    DecodedVersions out;
    ASSERT_EQ(parseVersions(bytes.constData(), bytes.size(), out), PARSE_OK);
    EXPECT_EQ(out.licenseAgreementId, 4);
    EXPECT_EQ(out.licenseAgreementIdMin, 0);
    EXPECT_TRUE(out.channelNames.empty());
}

} // namespace
