#pragma once

#include "platform/SecurityProvider.h"
#include "platform/posix/OpenSslTrust.h"

#include <openssl/ssl.h>

#include <string>
#include <vector>

namespace plentor::platform {

struct SecCredentials {
    SSL_CTX* ctx = nullptr;
    uint32_t flags = 0;
};

// One TLS client session over memory buffers: input records are written
// into `input`, whatever the library wants to send collects in `output`.
struct SecContext {
    SSL* ssl = nullptr;
    BIO* input = nullptr;    // owned by ssl
    BIO* output = nullptr;   // owned by ssl
    bool established = false;
    bool shutdownRequested = false;
    std::vector<unsigned char> plain;   // decrypted bytes of the record being read
};

struct SecCertificate {
    X509* leaf = nullptr;
    STACK_OF(X509)* chain = nullptr;   // the peer's other certificates; may be null
};

// There is no personal certificate store on this platform: the store opens
// and holds nothing, so no client certificate is ever found.
struct SecCertStore {};

// The provider over OpenSSL with memory buffers. Tokens, records and status
// codes behave like the Windows provider's: input is taken record by record,
// a partial record is SEC_E_INCOMPLETE_MESSAGE, bytes left over come back as
// an extra buffer, a received close_notify is SEC_I_CONTEXT_EXPIRED.
class OpenSslProvider final : public SecurityProvider {
public:
    OpenSslProvider() = default;

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
    SecStatus StartContext(SecCredentials* credentials, SecContext*& context, const char* targetName,
                           uint32_t requestFlags, SecBuffer& token);
    SecStatus ContinueHandshake(SecContext* context, uint32_t requestFlags, SecBuffer* input,
                                unsigned inputCount, SecBuffer& token, uint32_t& contextFlags);
    SecStatus CloseNotify(SecContext* context, uint32_t requestFlags, SecBuffer& token);
    SecStatus ReadRecordPlaintext(SecContext* context, const unsigned char* record, size_t size);
    static SecStatus TakeOutput(SecContext* context, uint32_t requestFlags, SecBuffer& token);

    OpenSslTrust trust_;
};

} // namespace plentor::platform
