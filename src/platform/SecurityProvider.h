#pragma once

#include "platform/SecurityCodes.h"

#include <cstdint>
#include <string>
#include <vector>

namespace plentor::platform {

// Opaque handles, each defined by the provider implementation of the build.
struct SecCredentials;
struct SecContext;
struct SecCertificate;
struct SecCertStore;

// One buffer of a token or message, laid out like the platform's own.
struct SecBuffer {
    uint32_t size;
    uint32_t type;   // kSecBuffer...
    void* data;
};

// What an outbound credential allows.
struct CredentialRequest {
    uint32_t enabledProtocols = 0;               // kProt... bits; 0 leaves the choice to the provider
    uint32_t keyExchangeAlg = 0;                 // the one allowed key exchange; 0 means any
    uint32_t flags = 0;                          // kCred... bits
    const SecCertificate* clientCert = nullptr;  // presented when the server asks; may be null
};

struct StreamSizes {
    uint32_t header = 0;
    uint32_t trailer = 0;
    uint32_t maxMessage = 0;
};

struct ConnectionInfo {
    uint32_t protocol = 0;   // one kProt... bit
    uint32_t cipher = 0;     // kAlg... id, or another number when none exists
    uint32_t cipherStrength = 0;
    uint32_t hash = 0;
    uint32_t hashStrength = 0;
    uint32_t keyExchange = 0;
    uint32_t keyExchangeStrength = 0;
};

// Which step of a certificate verification could not be carried out. A
// verification that ran reports None and gives its verdict as a policy error.
enum class VerifyFailure { None, OutOfMemory, NameConversion, ChainBuild, PolicyEvaluation };

// The platform's TLS engine, in the shape of the Windows security provider:
// tokens go in and out as byte buffers, the caller owns the socket. Every
// operation answers a SecStatus (SecurityCodes.h); the provider never logs.
class SecurityProvider {
public:
    virtual ~SecurityProvider() = default;

    // The personal certificate store, for client certificates; null when it
    // cannot be opened.
    virtual SecCertStore* OpenPersonalStore() = 0;
    virtual void CloseStore(SecCertStore* store) = 0;
    // The first certificate whose subject contains the text; null when none.
    virtual SecCertificate* FindCertificateBySubject(SecCertStore* store, const char* subject) = 0;
    // End certificates of the store's client-authentication chains issued by
    // an issuer the server named; a failure status when the server's list
    // cannot be read.
    virtual SecStatus FindClientCertificates(SecContext* context, SecCertStore* store,
                                             std::vector<SecCertificate*>& out) = 0;
    virtual void FreeCertificate(SecCertificate* certificate) = 0;

    virtual SecStatus AcquireCredentials(const CredentialRequest& request, SecCredentials*& out) = 0;
    virtual void FreeCredentials(SecCredentials* credentials) = 0;

    // One step of the client handshake. A null context starts one and stores
    // it in context. Input bytes are in a token buffer; bytes of the input
    // left for later come back as a second buffer of type extra (its size
    // counts the last bytes of the input). The output token is allocated by
    // the provider and released with FreeContextBuffer. contextFlags gets the
    // granted kIsc... bits, kIscExtendedError when a failure left an alert to send.
    virtual SecStatus InitializeContext(SecCredentials* credentials, SecContext*& context, const char* targetName,
                                        uint32_t requestFlags, SecBuffer* input, unsigned inputCount,
                                        SecBuffer* output, unsigned outputCount, uint32_t& contextFlags) = 0;
    virtual void DeleteContext(SecContext* context) = 0;
    virtual void FreeContextBuffer(void* buffer) = 0;

    // The server's certificate, freed with FreeCertificate.
    virtual SecStatus QueryRemoteCertificate(SecContext* context, SecCertificate*& out) = 0;
    virtual SecStatus QueryConnectionInfo(SecContext* context, ConnectionInfo& out) = 0;
    virtual SecStatus QueryStreamSizes(SecContext* context, StreamSizes& out) = 0;

    // Encrypts the data buffer into one record laid out over the header,
    // data and trailer buffers, which must be contiguous; their sizes are
    // updated to what the record uses.
    virtual SecStatus EncryptMessage(SecContext* context, SecBuffer* buffers, unsigned count) = 0;
    // Decrypts one record from the first (data) buffer in place. The answer
    // holds a data buffer with the plaintext and an extra buffer with the
    // bytes after the record, if any.
    virtual SecStatus DecryptMessage(SecContext* context, SecBuffer* buffers, unsigned count) = 0;
    // Marks the context for shutdown: the next InitializeContext gives the
    // closing alert as its output token.
    virtual SecStatus ApplyShutdown(SecContext* context) = 0;

    // Judges a server certificate for serverName, skipping the kIgnore...
    // checks. policyError gets 0 or a kCert... code.
    virtual VerifyFailure VerifyServerCertificate(const SecCertificate* certificate, const char* serverName,
                                                  uint32_t ignoreChecks, uint32_t& policyError) = 0;
};

enum class ProviderLoadFailure {
    None,
    Platform,   // no provider library is known for this system
    Library,    // the library did not load
    Export,     // its entry point is missing
    Table,      // the entry point gave no function table
};

// The provider of this platform, loaded once per process and never released.
// Null when loading failed; libraryName names the library tried. A failed
// load is tried again on the next call.
SecurityProvider* LoadSecurityProvider(ProviderLoadFailure& failure, std::string& libraryName);

} // namespace plentor::platform
