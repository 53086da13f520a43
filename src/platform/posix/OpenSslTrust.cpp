#include "platform/posix/OpenSslTrust.h"

#include <openssl/err.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>

#include <arpa/inet.h>

#include <cstdlib>

namespace plentor::platform {

namespace {

constexpr const char* kCaFileVariable = "PLENTOR_CA_FILE";

// How one verification error of the library shows up to the caller: the
// certificate policy error, the check that may be told to skip it, and the
// status of a handshake that refused the certificate on its own.
struct VerifyErrorRow {
    long x509Error;
    uint32_t policyError;
    uint32_t ignoreFlag;
    SecStatus handshakeStatus;
};

constexpr VerifyErrorRow kVerifyErrors[] = {
    {X509_V_ERR_CERT_HAS_EXPIRED, kCertExpired, kIgnoreCertDateInvalid, kSecCertExpired},
    {X509_V_ERR_CERT_NOT_YET_VALID, kCertExpired, kIgnoreCertDateInvalid, kSecCertExpired},
    {X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT, kCertUntrustedRoot, kIgnoreUnknownCa, kSecUntrustedRoot},
    {X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN, kCertUntrustedRoot, kIgnoreUnknownCa, kSecUntrustedRoot},
    {X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT, kCertUntrustedRoot, kIgnoreUnknownCa, kSecUntrustedRoot},
    {X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY, kCertUntrustedRoot, kIgnoreUnknownCa, kSecUntrustedRoot},
    {X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE, kCertUntrustedRoot, kIgnoreUnknownCa, kSecUntrustedRoot},
    {X509_V_ERR_CERT_UNTRUSTED, kCertUntrustedRoot, kIgnoreUnknownCa, kSecUntrustedRoot},
    {X509_V_ERR_CERT_REJECTED, kCertUntrustedRoot, kIgnoreUnknownCa, kSecUntrustedRoot},
    {X509_V_ERR_HOSTNAME_MISMATCH, kCertCnNoMatch, kIgnoreCertCnInvalid, kSecWrongPrincipal},
    {X509_V_ERR_IP_ADDRESS_MISMATCH, kCertCnNoMatch, kIgnoreCertCnInvalid, kSecWrongPrincipal},
    {X509_V_ERR_INVALID_PURPOSE, kCertWrongUsage, kIgnoreWrongUsage, kSecCertUnknown},
    {X509_V_ERR_CERT_REVOKED, kCertRevoked, 0, kSecCertUnknown},
    {X509_V_ERR_UNABLE_TO_GET_CRL, kCertRevocationFailure, kIgnoreRevocation, kSecCertUnknown},
    {X509_V_ERR_PATH_LENGTH_EXCEEDED, kCertPathLenConst, 0, kSecCertUnknown},
    {X509_V_ERR_INVALID_CA, kCertRole, 0, kSecCertUnknown},
    {X509_V_ERR_UNHANDLED_CRITICAL_EXTENSION, kCertCritical, 0, kSecCertUnknown},
    {X509_V_ERR_CERT_SIGNATURE_FAILURE, kTrustCertSignature, 0, kSecCertUnknown},
    {X509_V_ERR_ERROR_IN_CERT_NOT_BEFORE_FIELD, kCertMalformed, 0, kSecCertUnknown},
    {X509_V_ERR_ERROR_IN_CERT_NOT_AFTER_FIELD, kCertMalformed, 0, kSecCertUnknown},
    {X509_V_ERR_UNABLE_TO_DECODE_ISSUER_PUBLIC_KEY, kCertMalformed, 0, kSecCertUnknown},
};

const VerifyErrorRow* FindVerifyError(long x509Error)
{
    for (const VerifyErrorRow& row : kVerifyErrors) {
        if (row.x509Error == x509Error) return &row;
    }
    return nullptr;
}

// Lets the chain walk go on past errors in the categories the caller skips.
int SkipIgnoredErrors(int ok, X509_STORE_CTX* ctx)
{
    if (ok != 0) return ok;
    const auto* ignore = static_cast<const uint32_t*>(X509_STORE_CTX_get_app_data(ctx));
    const VerifyErrorRow* row = FindVerifyError(X509_STORE_CTX_get_error(ctx));
    return ignore != nullptr && row != nullptr && (row->ignoreFlag & *ignore) != 0 ? 1 : 0;
}

X509_STORE* BuildStore(const std::string& caFile)
{
    X509_STORE* store = X509_STORE_new();
    if (store == nullptr) return nullptr;
    // Missing default locations or an unreadable CA file leave fewer trusted
    // roots; the verification then says which certificate it could not trust.
    X509_STORE_set_default_paths(store);
    if (!caFile.empty()) X509_STORE_load_file(store, caFile.c_str());
    ERR_clear_error();
    return store;
}

} // namespace

bool IsIpAddressText(const char* text)
{
    unsigned char address[16];
    return text != nullptr &&
           (::inet_pton(AF_INET, text, address) == 1 || ::inet_pton(AF_INET6, text, address) == 1);
}

OpenSslTrust::~OpenSslTrust()
{
    X509_STORE_free(store_);
}

X509_STORE* OpenSslTrust::AcquireStore()
{
    const char* variable = std::getenv(kCaFileVariable);
    std::string caFile = variable != nullptr ? variable : "";
    std::lock_guard<std::mutex> lock(mutex_);
    if (store_ == nullptr || caFile != caFile_) {
        X509_STORE* fresh = BuildStore(caFile);
        if (fresh == nullptr) return nullptr;
        X509_STORE_free(store_);
        store_ = fresh;
        caFile_ = caFile;
    }
    X509_STORE_up_ref(store_);
    return store_;
}

VerifyFailure OpenSslTrust::Verify(X509* leaf, STACK_OF(X509)* chain, const char* serverName,
                                   uint32_t ignoreChecks, uint32_t& policyError)
{
    policyError = 0;
    X509_STORE* store = AcquireStore();
    if (store == nullptr) return VerifyFailure::ChainBuild;
    X509_STORE_CTX* ctx = X509_STORE_CTX_new();
    if (ctx == nullptr) {
        X509_STORE_free(store);
        return VerifyFailure::OutOfMemory;
    }
    VerifyFailure failure = VerifyFailure::None;
    if (X509_STORE_CTX_init(ctx, store, leaf, chain) != 1) {
        failure = VerifyFailure::ChainBuild;
    } else {
        X509_VERIFY_PARAM* param = X509_STORE_CTX_get0_param(ctx);
        X509_VERIFY_PARAM_set_purpose(param, X509_PURPOSE_SSL_SERVER);
        bool named = IsIpAddressText(serverName) ? X509_VERIFY_PARAM_set1_ip_asc(param, serverName) == 1
                                                 : X509_VERIFY_PARAM_set1_host(param, serverName, 0) == 1;
        X509_STORE_CTX_set_app_data(ctx, &ignoreChecks);
        X509_STORE_CTX_set_verify_cb(ctx, SkipIgnoredErrors);
        int rc = named ? X509_verify_cert(ctx) : -1;
        if (!named) {
            failure = VerifyFailure::NameConversion;
        } else if (rc < 0) {
            failure = VerifyFailure::PolicyEvaluation;
        } else if (rc == 0) {
            policyError = PolicyErrorFor(X509_STORE_CTX_get_error(ctx));
        }
    }
    X509_STORE_CTX_free(ctx);
    X509_STORE_free(store);
    ERR_clear_error();
    return failure;
}

uint32_t OpenSslTrust::PolicyErrorFor(long x509Error)
{
    const VerifyErrorRow* row = FindVerifyError(x509Error);
    return row != nullptr ? row->policyError : kTrustFail;
}

SecStatus OpenSslTrust::HandshakeStatusFor(long x509Error)
{
    const VerifyErrorRow* row = FindVerifyError(x509Error);
    return row != nullptr ? row->handshakeStatus : kSecCertUnknown;
}

} // namespace plentor::platform
