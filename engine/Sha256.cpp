#include "engine/Sha256.h"

#include <openssl/evp.h>

#include <cstdlib>

namespace {

// The algorithm, fetched once: an implicit fetch at every start would take a lock each time.
const EVP_MD* Sha256Algorithm()
{
    static EVP_MD* const algorithm = EVP_MD_fetch(nullptr, "SHA256", nullptr);
    return algorithm ? algorithm : EVP_sha256();
}

}  // namespace

struct CSha256::Context {
    EVP_MD_CTX* ctx;
};

CSha256::CSha256() : m_context(new Context{EVP_MD_CTX_new()})
{
    if (!m_context->ctx)
        std::abort();  // out of memory
    Reset();
}

CSha256::~CSha256()
{
    EVP_MD_CTX_free(m_context->ctx);
    delete m_context;
}

void CSha256::Reset()
{
    if (EVP_DigestInit_ex2(m_context->ctx, Sha256Algorithm(), nullptr) != 1)
        std::abort();  // SHA-256 is part of every libcrypto
}

void CSha256::Update(const void* data, size_t length)
{
    if (length != 0 && EVP_DigestUpdate(m_context->ctx, data, length) != 1)
        std::abort();
}

StrongDigest CSha256::Final()
{
    StrongDigest digest{};
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(m_context->ctx, digest.data(), &length) != 1 || length != digest.size())
        std::abort();
    return digest;
}

StrongDigest CSha256::Of(const void* data, size_t length)
{
    CSha256 sha;
    sha.Update(data, length);
    return sha.Final();
}
