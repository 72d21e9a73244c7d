// The version server's reply from arbitrary bytes: the reader must never crash, must report one
// of its three results, and what it accepts must be self-consistent, because the updater trusts
// the channel table it returns without looking at the raw reply again.
#include "updateserver_client/versions.h"

#include <algorithm>
#include <cstdlib>

using voxtrel::update::DecodedVersions;
using voxtrel::update::PARSE_MALFORMED;
using voxtrel::update::PARSE_OK;
using voxtrel::update::parseVersions;

namespace {

void checkAccepted(const DecodedVersions &versions)
{
    if (versions.channels.size() > versions.channelNames.size())
        std::abort();
    for (const auto &[name, channel] : versions.channels) {
        const auto &names = versions.channelNames;
        if (std::find(names.begin(), names.end(), name) == names.end())
            std::abort();
        if (versions.versionNumber(name) != channel.versionNumber)
            std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > (1u << 20))
        return 0;
    DecodedVersions versions;
    const int result = parseVersions(reinterpret_cast<const char *>(data), int(size), versions);
    if (result == PARSE_OK)
        checkAccepted(versions);
    else if (result != PARSE_MALFORMED)
        std::abort();
    return 0;
}
