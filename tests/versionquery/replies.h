// Version replies for the tests: the one protoc encoded at build time, and ones assembled
// with the generated message classes where a reply must break the schema's rules.
#pragma once

#include "UpdateMessage.pb.h"

#include <QByteArray>
#include <QFile>

namespace replies {

inline QByteArray encodedByProtoc()
{
    QFile file(QStringLiteral(VX_ENCODED_REPLY));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline void addChannel(voxtrel::update::Versions &versions, const char *name, int number, const char *text)
{
    voxtrel::update::Channel *channel = versions.add_channels();
    channel->set_name(name);
    channel->set_version_number(number);
    channel->set_version_string(text);
}

inline QByteArray serialized(const voxtrel::update::Versions &versions)
{
    std::string bytes;
    versions.SerializePartialToString(&bytes);
    return QByteArray(bytes.data(), int(bytes.size()));
}

} // namespace replies
