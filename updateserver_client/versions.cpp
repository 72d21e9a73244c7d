#include "updateserver_client/versions.h"

#include "UpdateMessage.pb.h"

namespace voxtrel {
namespace update {

std::string DecodedVersions::versionString(const std::string &name) const
{
    const auto it = channels.find(name);
    return it == channels.end() ? std::string() : it->second.versionString;
}

int DecodedVersions::versionNumber(const std::string &name) const
{
    const auto it = channels.find(name);
    return it == channels.end() ? 0 : it->second.versionNumber;
}

int parseVersions(const char *data, int length, DecodedVersions &out)
{
    if (!data)
        return PARSE_NO_DATA;
    if (length < 0)
        return PARSE_MALFORMED;
    Versions message;
    if (!message.ParseFromArray(data, length))
        return PARSE_MALFORMED;
    DecodedVersions decoded;
    decoded.licenseAgreementId = message.licenseagreementid();
    decoded.licenseAgreementIdMin = message.licenseagreementidmin();
    for (const Channel &channel : message.channels()) {
        decoded.channelNames.push_back(channel.name());
        decoded.channels.emplace(channel.name(),
                                 ChannelVersion{channel.version_number(), channel.version_string()});
    }
    out = std::move(decoded);
    return PARSE_OK;
}

} // namespace update
} // namespace voxtrel
