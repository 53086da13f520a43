#pragma once

#ifndef SECURITY_WIN32
#define SECURITY_WIN32
#endif

#include <windows.h>
#include <wincrypt.h>
#include <sspi.h>
#include <schannel.h>

#include "platform/SecurityProvider.h"
#include "platform/win32/ChainTrust.h"

namespace plentor::platform {

struct SecCredentials {
    CredHandle handle;
};

struct SecContext {
    CtxtHandle handle;
};

struct SecCertificate {
    PCCERT_CONTEXT cert;
};

struct SecCertStore {
    HCERTSTORE store;
};

// The Windows security provider with its Schannel package, reached through
// the function table the provider library exports, and the certificate
// functions of the system. Every call passes straight through, but for the
// server certificate check (ChainTrust).
class SspiProvider final : public SecurityProvider {
public:
    explicit SspiProvider(const SecurityFunctionTableA& table) : table_(table) {}

    SecCertStore* OpenPersonalStore() override;
    void CloseStore(SecCertStore* store) override;
    SecCertificate* FindCertificateBySubject(SecCertStore* store, const char* subject) override;
    SecStatus FindClientCertificates(SecContext* context, SecCertStore* store,
                                     std::vector<SecCertificate*>& out) override;
    void FreeCertificate(SecCertificate* certificate) override;

    SecStatus AcquireCredentials(const CredentialRequest& request, SecCredentials*& out) override;
    void FreeCredentials(SecCredentials* credentials) override;

    SecStatus InitializeContext(SecCredentials* credentials, SecContext*& context, const char* targetName,
                                uint32_t requestFlags, SecBuffer* input, unsigned inputCount, SecBuffer* output,
                                unsigned outputCount, uint32_t& contextFlags) override;
    void DeleteContext(SecContext* context) override;
    void FreeContextBuffer(void* buffer) override;

    SecStatus QueryRemoteCertificate(SecContext* context, SecCertificate*& out) override;
    SecStatus QueryConnectionInfo(SecContext* context, ConnectionInfo& out) override;
    SecStatus QueryStreamSizes(SecContext* context, StreamSizes& out) override;

    SecStatus EncryptMessage(SecContext* context, SecBuffer* buffers, unsigned count) override;
    SecStatus DecryptMessage(SecContext* context, SecBuffer* buffers, unsigned count) override;
    SecStatus ApplyShutdown(SecContext* context) override;

    VerifyFailure VerifyServerCertificate(const SecCertificate* certificate, const char* serverName,
                                          uint32_t ignoreChecks, uint32_t& policyError) override;

private:
    SecurityFunctionTableA table_;
    ChainTrust trust_;
};

} // namespace plentor::platform
