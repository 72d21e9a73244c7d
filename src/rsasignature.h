// RSA signature primitives over LibTomCrypt with LibTomMath: the set-up of the library and
// the RSASSA-PSS (SHA-1, salt 8) scheme that release signatures use. Signing lives here
// too so that the release tool and the updater can never disagree on the scheme.
//
// Every failing library call throws crypt_exception ("<call>: <library text>"); callers
// catch it. The library registries are filled once and only read afterwards, so checks on
// several pool threads may run at the same time; each call imports its own key object.
#pragma once

#include <QByteArray>

namespace rsasignature {

constexpr int kSaltLength = 8;
constexpr int kSha1Size = 20;

// Registers the system random source, LibTomMath and SHA-1. Safe to call more than once
// and from any thread; the first successful call does the work.
void initCrypto();

// SHA-1 of `data` (20 bytes).
QByteArray sha1(const QByteArray &data);

// Whether `signature` is a valid signature of `data` under the DER RSAPublicKey
// `publicKeyDer`. A signature of the wrong length for the key throws.
bool verify(const QByteArray &publicKeyDer, const QByteArray &data, const QByteArray &signature);

// Signs `data` with the DER RSAPrivateKey `privateKeyDer`.
QByteArray sign(const QByteArray &privateKeyDer, const QByteArray &data);

// A fresh key pair with a modulus of `bits` bits and exponent 65537, as DER RSAPrivateKey
// and DER RSAPublicKey.
void makeKeyPair(int bits, QByteArray &privateKeyDer, QByteArray &publicKeyDer);

} // namespace rsasignature
