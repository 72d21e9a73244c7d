// The subcommands of vxrelease that handle release keys and signatures. Each returns the
// process exit code (0 done, 1 failed) and writes its reason to stderr, so that a release
// script can stop on the first problem. The signature scheme is the updater's own
// (rsasignature), and verification runs the updater's own file check.
#pragma once

#include <QString>

namespace releasecommands {

// Writes DIR/private.der and DIR/public.der; never overwrites an existing key.
int keygen(const QString &dir);

// Writes FILE.sig, signed with the DER RSAPrivateKey in `keyPath`.
int sign(const QString &keyPath, const QString &file);

// 0 when FILE.sig is a valid signature of FILE under the DER RSAPublicKey in `keyPath`.
int verify(const QString &keyPath, const QString &file);

} // namespace releasecommands
