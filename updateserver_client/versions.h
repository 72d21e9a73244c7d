// Reads the version server's reply into plain data. The reader is kept apart from Qt and from
// the network so that it can be checked, and fuzzed, on raw bytes alone.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace voxtrel {
namespace update {

struct ChannelVersion {
    int versionNumber = 0;
    std::string versionString;
};

struct DecodedVersions {
    int licenseAgreementId = 0;
    int licenseAgreementIdMin = 0;
    std::vector<std::string> channelNames;         // message order, repeats included
    std::map<std::string, ChannelVersion> channels; // first occurrence of a name wins

    std::string versionString(const std::string &name) const;
    int versionNumber(const std::string &name) const;
};

enum ParseVersionsResult { PARSE_OK = 0, PARSE_NO_DATA = 1, PARSE_MALFORMED = 2 };

// Returns a ParseVersionsResult; `out` is written only on success.
int parseVersions(const char *data, int length, DecodedVersions &out);

} // namespace update
} // namespace voxtrel
