#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <cstdint>
#include <mutex>
#include <string>

#include "platform/SecurityProvider.h"

namespace plentor::platform {

// Decides whether a server's certificate is good for the name the client
// connected to, through the system's chain and SSL policy functions, with
// three additions that make the answer the same on every Windows:
// - the certificates of the file PLENTOR_CA_FILE names (PEM or DER) are
//   trusted as extra roots, for this process only, next to the system's;
// - a chain that ends at no trusted root (an untrusted root, or an issuer
//   nobody sent) is refused with CERT_E_UNTRUSTEDROOT, whatever the policy
//   says about it;
// - a server named by an IPv4 or IPv6 address matches the certificate's
//   address entries when the policy matched names only.
// The check flags (kIgnore...) waive checks as they do for the
// policy itself.
class ChainTrust {
public:
    ChainTrust() = default;
    ~ChainTrust();
    ChainTrust(const ChainTrust&) = delete;
    ChainTrust& operator=(const ChainTrust&) = delete;

    // policyError: 0 when the certificate is good, else the CERT_E_* code.
    VerifyFailure Verify(PCCERT_CONTEXT certificate, const char* serverName, uint32_t ignoreChecks,
                         uint32_t& policyError);

private:
    // The extra roots for the current value of PLENTOR_CA_FILE: a store the
    // caller closes, or nullptr when the variable is unset or names no
    // readable certificate.
    HCERTSTORE ExtraRoots();

    std::mutex mutex_;
    std::string caFile_;             // the value extraRoots_ was read for
    HCERTSTORE extraRoots_ = nullptr;
};

} // namespace plentor::platform
