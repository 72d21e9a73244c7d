#include "rsasignature.h"

#include "crypt_exception.h"

#define LTM_DESC
#include <tomcrypt.h>

#include <atomic>
#include <mutex>
#include <string>

namespace rsasignature {
namespace {

std::atomic<int> g_Sha1Index{-1};
std::atomic<int> g_SprngIndex{-1};

void check(int err, const char *call)
{
    if (err != CRYPT_OK)
        throw crypt_exception(std::string(call) + ": " + error_to_string(err));
}

// Owns one imported or generated key; frees it on every path out of a call.
class Key
{
public:
    Key() = default;
    Key(const Key &) = delete;
    Key &operator=(const Key &) = delete;
    ~Key()
    {
        if (m_Loaded)
            rsa_free(&m_Key);
    }

    void import(const QByteArray &der)
    {
        check(rsa_import(reinterpret_cast<const unsigned char *>(der.constData()),
                         static_cast<unsigned long>(der.size()), &m_Key),
              "rsa_import");
        m_Loaded = true;
    }

    void make(int bits)
    {
        check(rsa_make_key(nullptr, g_SprngIndex, bits / 8, 65537, &m_Key), "rsa_make_key");
        m_Loaded = true;
    }

    QByteArray exportAs(int type)
    {
        QByteArray out(4096, '\0');
        unsigned long len = static_cast<unsigned long>(out.size());
        check(rsa_export(reinterpret_cast<unsigned char *>(out.data()), &len, type, &m_Key),
              "rsa_export");
        out.truncate(static_cast<int>(len));
        return out;
    }

    rsa_key *get() { return &m_Key; }

private:
    rsa_key m_Key{};
    bool m_Loaded = false;
};

void registerAll()
{
    if (register_prng(&sprng_desc) == -1)
        throw crypt_exception("Error registering sprng");
    ltc_mp = ltm_desc;
    if (register_hash(&sha1_desc) == -1)
        throw crypt_exception("Error registering sha1");
    g_Sha1Index = find_hash("sha1");
    g_SprngIndex = find_prng("sprng");
}

} // namespace

void initCrypto()
{
    static std::once_flag once;
    std::call_once(once, registerAll);
}

QByteArray sha1(const QByteArray &data)
{
    initCrypto();
    QByteArray digest(kSha1Size, '\0');
    unsigned long len = kSha1Size;
    check(hash_memory(g_Sha1Index, reinterpret_cast<const unsigned char *>(data.constData()),
                      static_cast<unsigned long>(data.size()),
                      reinterpret_cast<unsigned char *>(digest.data()), &len),
          "hash_memory");
    return digest;
}

bool verify(const QByteArray &publicKeyDer, const QByteArray &data, const QByteArray &signature)
{
    initCrypto();
    Key key;
    key.import(publicKeyDer);
    const QByteArray digest = sha1(data);
    int valid = 0;
    check(rsa_verify_hash_ex(reinterpret_cast<const unsigned char *>(signature.constData()),
                             static_cast<unsigned long>(signature.size()),
                             reinterpret_cast<const unsigned char *>(digest.constData()),
                             static_cast<unsigned long>(digest.size()), LTC_PKCS_1_PSS,
                             g_Sha1Index, kSaltLength, &valid, key.get()),
          "rsa_verify_hash_ex");
    return valid == 1;
}

QByteArray sign(const QByteArray &privateKeyDer, const QByteArray &data)
{
    initCrypto();
    Key key;
    key.import(privateKeyDer);
    if (key.get()->type != PK_PRIVATE)
        throw crypt_exception("rsa_import: not a private key");
    const QByteArray digest = sha1(data);
    QByteArray signature(1024, '\0');
    unsigned long len = static_cast<unsigned long>(signature.size());
    check(rsa_sign_hash_ex(reinterpret_cast<const unsigned char *>(digest.constData()),
                           static_cast<unsigned long>(digest.size()),
                           reinterpret_cast<unsigned char *>(signature.data()), &len,
                           LTC_PKCS_1_PSS, nullptr, g_SprngIndex, g_Sha1Index, kSaltLength,
                           key.get()),
          "rsa_sign_hash_ex");
    signature.truncate(static_cast<int>(len));
    return signature;
}

void makeKeyPair(int bits, QByteArray &privateKeyDer, QByteArray &publicKeyDer)
{
    initCrypto();
    Key key;
    key.make(bits);
    privateKeyDer = key.exportAs(PK_PRIVATE);
    publicKeyDer = key.exportAs(PK_PUBLIC);
}

} // namespace rsasignature
