#pragma once

#include "platform/SecurityProvider.h"

#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <mutex>
#include <string>

namespace plentor::platform {

// The certificates a server certificate must lead to: the system's default
// locations plus the CA file named by the environment variable
// PLENTOR_CA_FILE when it is set. The store is built on first use and built
// again when that variable names another file.
class OpenSslTrust {
public:
    OpenSslTrust() = default;
    ~OpenSslTrust();
    OpenSslTrust(const OpenSslTrust&) = delete;
    OpenSslTrust& operator=(const OpenSslTrust&) = delete;

    // A reference to the current store (release with X509_STORE_free); null
    // when none can be made.
    X509_STORE* AcquireStore();

    // Verifies leaf (with the peer's other certificates as untrusted helpers)
    // as a TLS server certificate for serverName, a host name or an IP address.
    VerifyFailure Verify(X509* leaf, STACK_OF(X509)* chain, const char* serverName, uint32_t ignoreChecks,
                         uint32_t& policyError);

    // The certificate policy error (kCert...) for an X509_V_ERR_... value.
    static uint32_t PolicyErrorFor(long x509Error);
    // The status a handshake that verified the peer itself ends with when the
    // certificate was refused with the given X509_V_ERR_... value.
    static SecStatus HandshakeStatusFor(long x509Error);

private:
    std::mutex mutex_;
    X509_STORE* store_ = nullptr;
    std::string caFile_;   // the PLENTOR_CA_FILE value store_ was built with
};

// True for a dotted IPv4 or a textual IPv6 address.
bool IsIpAddressText(const char* text);

} // namespace plentor::platform
