#include "platform/win32/SspiProvider.h"

#include <cstddef>
#include <cstring>
#include <memory>
#include <new>

namespace plentor::platform {

namespace {

// The shared codes are the platform's own numbers.
static_assert(kSecOk == static_cast<SecStatus>(SEC_E_OK));
static_assert(kSecContinueNeeded == static_cast<SecStatus>(SEC_I_CONTINUE_NEEDED));
static_assert(kSecIncompleteMessage == static_cast<SecStatus>(SEC_E_INCOMPLETE_MESSAGE));
static_assert(kSecContextExpired == static_cast<SecStatus>(SEC_I_CONTEXT_EXPIRED));
static_assert(kSecRenegotiate == static_cast<SecStatus>(SEC_I_RENEGOTIATE));
static_assert(kSecInvalidToken == static_cast<SecStatus>(SEC_E_INVALID_TOKEN));
static_assert(kSecInternalError == static_cast<SecStatus>(SEC_E_INTERNAL_ERROR));
static_assert(kSecIncompleteCredentials == static_cast<SecStatus>(SEC_I_INCOMPLETE_CREDENTIALS));
static_assert(kSecBufferExtra == SECBUFFER_EXTRA && kSecBufferStreamHeader == SECBUFFER_STREAM_HEADER &&
              kSecBufferStreamTrailer == SECBUFFER_STREAM_TRAILER && kSecBufferData == SECBUFFER_DATA &&
              kSecBufferToken == SECBUFFER_TOKEN && kSecBufferMissing == SECBUFFER_MISSING);
static_assert(kIscExtendedError == ISC_REQ_EXTENDED_ERROR && kIscAllocateMemory == ISC_REQ_ALLOCATE_MEMORY &&
              kIscStream == ISC_REQ_STREAM);
static_assert(kCredManualValidation == SCH_CRED_MANUAL_CRED_VALIDATION &&
              kCredNoDefaultCreds == SCH_CRED_NO_DEFAULT_CREDS);
static_assert(kProtTls12Client == SP_PROT_TLS1_2_CLIENT && kProtSsl3Client == SP_PROT_SSL3_CLIENT);
static_assert(kCertCnNoMatch == static_cast<uint32_t>(CERT_E_CN_NO_MATCH) &&
              kCertUntrustedRoot == static_cast<uint32_t>(CERT_E_UNTRUSTEDROOT));

// The function table the channel relies on ends with SetContextAttributesA:
// 28 entries, 112 bytes on 32-bit Windows. Later entries are left zero.
constexpr size_t kTableBytes =
    offsetof(SecurityFunctionTableA, SetContextAttributesA) + sizeof(SET_CONTEXT_ATTRIBUTES_FN_A);

constexpr const char* kPersonalStore = "MY";

SecStatus Status(SECURITY_STATUS status)
{
    return static_cast<SecStatus>(status);
}

// Copies of the caller's buffers in the platform's layout, copied back after the call.
class NativeBuffers {
public:
    NativeBuffers(SecBuffer* buffers, unsigned count) : buffers_(buffers), count_(count)
    {
        native_.reset(new (std::nothrow)::SecBuffer[count > 0 ? count : 1]);
        for (unsigned i = 0; native_ && i < count; ++i)
            native_[i] = ::SecBuffer{buffers[i].size, buffers[i].type, buffers[i].data};
        desc_ = ::SecBufferDesc{SECBUFFER_VERSION, count, native_.get()};
    }
    ~NativeBuffers()
    {
        for (unsigned i = 0; native_ && i < count_; ++i)
            buffers_[i] = SecBuffer{native_[i].cbBuffer, native_[i].BufferType, native_[i].pvBuffer};
    }
    NativeBuffers(const NativeBuffers&) = delete;
    NativeBuffers& operator=(const NativeBuffers&) = delete;

    bool Ok() const { return native_ != nullptr; }
    ::SecBufferDesc* Desc() { return buffers_ != nullptr ? &desc_ : nullptr; }

private:
    SecBuffer* buffers_;
    unsigned count_;
    std::unique_ptr<::SecBuffer[]> native_;
    ::SecBufferDesc desc_;
};

// A system store read-write for the current user, else read-only for the
// machine, else read-only for the current user.
HCERTSTORE OpenMyStore()
{
    HCERTSTORE store = ::CertOpenSystemStoreA(0, kPersonalStore);
    if (store != nullptr) return store;
    store = ::CertOpenStore(CERT_STORE_PROV_SYSTEM_A, 0, 0,
                            CERT_SYSTEM_STORE_LOCAL_MACHINE | CERT_STORE_READONLY_FLAG, kPersonalStore);
    if (store != nullptr) return store;
    return ::CertOpenStore(CERT_STORE_PROV_SYSTEM_A, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER | CERT_STORE_READONLY_FLAG,
                           kPersonalStore);
}

} // namespace

SecCertStore* SspiProvider::OpenPersonalStore()
{
    HCERTSTORE store = OpenMyStore();
    return store != nullptr ? new SecCertStore{store} : nullptr;
}

void SspiProvider::CloseStore(SecCertStore* store)
{
    if (store == nullptr) return;
    ::CertCloseStore(store->store, 0);
    delete store;
}

SecCertificate* SspiProvider::FindCertificateBySubject(SecCertStore* store, const char* subject)
{
    if (store == nullptr) return nullptr;
    PCCERT_CONTEXT cert = ::CertFindCertificateInStore(store->store, X509_ASN_ENCODING, 0, CERT_FIND_SUBJECT_STR_A,
                                                       subject, nullptr);
    return cert != nullptr ? new SecCertificate{cert} : nullptr;
}

SecStatus SspiProvider::FindClientCertificates(SecContext* context, SecCertStore* store,
                                               std::vector<SecCertificate*>& out)
{
    out.clear();
    if (context == nullptr || store == nullptr) return kSecInvalidHandle;
    SecPkgContext_IssuerListInfoEx issuers{};
    SECURITY_STATUS status = table_.QueryContextAttributesA(&context->handle, SECPKG_ATTR_ISSUER_LIST_EX, &issuers);
    if (status != SEC_E_OK) return Status(status);
    CERT_CHAIN_FIND_BY_ISSUER_PARA para{};
    para.cbSize = sizeof para;
    para.pszUsageIdentifier = szOID_PKIX_KP_CLIENT_AUTH;
    para.cIssuer = issuers.cIssuers;
    para.rgIssuer = issuers.aIssuers;
    PCCERT_CHAIN_CONTEXT chain = nullptr;
    // Each call frees the chain it is given and finds the next one.
    while ((chain = ::CertFindChainInStore(store->store, X509_ASN_ENCODING, 0, CERT_CHAIN_FIND_BY_ISSUER, &para,
                                           chain)) != nullptr) {
        PCCERT_CONTEXT end = chain->rgpChain[0]->rgpElement[0]->pCertContext;
        out.push_back(new SecCertificate{::CertDuplicateCertificateContext(end)});
    }
    if (issuers.aIssuers != nullptr) table_.FreeContextBuffer(issuers.aIssuers);
    return kSecOk;
}

void SspiProvider::FreeCertificate(SecCertificate* certificate)
{
    if (certificate == nullptr) return;
    ::CertFreeCertificateContext(certificate->cert);
    delete certificate;
}

SecStatus SspiProvider::AcquireCredentials(const CredentialRequest& request, SecCredentials*& out)
{
    out = nullptr;
    SCHANNEL_CRED cred{};
    cred.dwVersion = SCHANNEL_CRED_VERSION;
    PCCERT_CONTEXT clientCerts[1] = {nullptr};
    if (request.clientCert != nullptr) {
        clientCerts[0] = request.clientCert->cert;
        cred.cCreds = 1;
        cred.paCred = clientCerts;
    }
    cred.grbitEnabledProtocols = request.enabledProtocols;
    ALG_ID algorithms[1] = {static_cast<ALG_ID>(request.keyExchangeAlg)};
    if (request.keyExchangeAlg != 0) {
        cred.cSupportedAlgs = 1;
        cred.palgSupportedAlgs = algorithms;
    }
    cred.dwFlags = request.flags;
    CredHandle handle{};
    TimeStamp expiry{};
    SECURITY_STATUS status =
        table_.AcquireCredentialsHandleA(nullptr, const_cast<char*>(UNISP_NAME_A), SECPKG_CRED_OUTBOUND, nullptr,
                                         &cred, nullptr, nullptr, &handle, &expiry);
    if (status != SEC_E_OK) return Status(status);
    out = new SecCredentials{handle};
    return kSecOk;
}

void SspiProvider::FreeCredentials(SecCredentials* credentials)
{
    if (credentials == nullptr) return;
    table_.FreeCredentialHandle(&credentials->handle);
    delete credentials;
}

SecStatus SspiProvider::InitializeContext(SecCredentials* credentials, SecContext*& context, const char* targetName,
                                          uint32_t requestFlags, SecBuffer* input, unsigned inputCount,
                                          SecBuffer* output, unsigned outputCount, uint32_t& contextFlags)
{
    contextFlags = 0;
    if (credentials == nullptr) return kSecInvalidHandle;
    NativeBuffers in(input, inputCount);
    NativeBuffers out(output, outputCount);
    if (!in.Ok() || !out.Ok()) return kSecInsufficientMemory;
    const bool first = context == nullptr;
    CtxtHandle fresh{};
    ULONG granted = 0;
    TimeStamp expiry{};
    SECURITY_STATUS status = table_.InitializeSecurityContextA(
        &credentials->handle, first ? nullptr : &context->handle, first ? const_cast<char*>(targetName) : nullptr,
        requestFlags, 0, SECURITY_NATIVE_DREP, in.Desc(), 0, first ? &fresh : nullptr, out.Desc(), &granted,
        &expiry);
    contextFlags = granted;
    if (first && !FAILED(status)) context = new SecContext{fresh};
    return Status(status);
}

void SspiProvider::DeleteContext(SecContext* context)
{
    if (context == nullptr) return;
    table_.DeleteSecurityContext(&context->handle);
    delete context;
}

void SspiProvider::FreeContextBuffer(void* buffer)
{
    if (buffer != nullptr) table_.FreeContextBuffer(buffer);
}

SecStatus SspiProvider::QueryRemoteCertificate(SecContext* context, SecCertificate*& out)
{
    out = nullptr;
    if (context == nullptr) return kSecInvalidHandle;
    PCCERT_CONTEXT cert = nullptr;
    SECURITY_STATUS status = table_.QueryContextAttributesA(&context->handle, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &cert);
    if (status == SEC_E_OK && cert != nullptr) out = new SecCertificate{cert};
    return Status(status);
}

SecStatus SspiProvider::QueryConnectionInfo(SecContext* context, ConnectionInfo& out)
{
    out = ConnectionInfo{};
    if (context == nullptr) return kSecInvalidHandle;
    SecPkgContext_ConnectionInfo info{};
    SECURITY_STATUS status = table_.QueryContextAttributesA(&context->handle, SECPKG_ATTR_CONNECTION_INFO, &info);
    if (status != SEC_E_OK) return Status(status);
    out.protocol = info.dwProtocol;
    out.cipher = info.aiCipher;
    out.cipherStrength = info.dwCipherStrength;
    out.hash = info.aiHash;
    out.hashStrength = info.dwHashStrength;
    out.keyExchange = info.aiExch;
    out.keyExchangeStrength = info.dwExchStrength;
    return kSecOk;
}

SecStatus SspiProvider::QueryStreamSizes(SecContext* context, StreamSizes& out)
{
    if (context == nullptr) return kSecInvalidHandle;
    SecPkgContext_StreamSizes sizes{};
    SECURITY_STATUS status = table_.QueryContextAttributesA(&context->handle, SECPKG_ATTR_STREAM_SIZES, &sizes);
    if (status != SEC_E_OK) return Status(status);
    out.header = sizes.cbHeader;
    out.trailer = sizes.cbTrailer;
    out.maxMessage = sizes.cbMaximumMessage;
    return kSecOk;
}

SecStatus SspiProvider::EncryptMessage(SecContext* context, SecBuffer* buffers, unsigned count)
{
    if (context == nullptr) return kSecInvalidHandle;
    NativeBuffers message(buffers, count);
    if (!message.Ok()) return kSecInsufficientMemory;
    return Status(table_.EncryptMessage(&context->handle, 0, message.Desc(), 0));
}

SecStatus SspiProvider::DecryptMessage(SecContext* context, SecBuffer* buffers, unsigned count)
{
    if (context == nullptr) return kSecInvalidHandle;
    NativeBuffers message(buffers, count);
    if (!message.Ok()) return kSecInsufficientMemory;
    return Status(table_.DecryptMessage(&context->handle, message.Desc(), 0, nullptr));
}

SecStatus SspiProvider::ApplyShutdown(SecContext* context)
{
    if (context == nullptr) return kSecInvalidHandle;
    DWORD type = SCHANNEL_SHUTDOWN;
    ::SecBuffer token{sizeof type, SECBUFFER_TOKEN, &type};
    ::SecBufferDesc desc{SECBUFFER_VERSION, 1, &token};
    return Status(table_.ApplyControlToken(&context->handle, &desc));
}

VerifyFailure SspiProvider::VerifyServerCertificate(const SecCertificate* certificate, const char* serverName,
                                                    uint32_t ignoreChecks, uint32_t& policyError)
{
    policyError = 0;
    if (certificate == nullptr || certificate->cert == nullptr) return VerifyFailure::ChainBuild;
    return trust_.Verify(certificate->cert, serverName, ignoreChecks, policyError);
}

SecurityProvider* LoadSecurityProvider(ProviderLoadFailure& failure, std::string& libraryName)
{
    // Loaded once and kept for the life of the process.
    static SecurityProvider* provider = nullptr;
    failure = ProviderLoadFailure::None;
    if (provider != nullptr) return provider;

    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    if (!::GetVersionExA(&version)) {
        failure = ProviderLoadFailure::Platform;
        return nullptr;
    }
    if (version.dwPlatformId == VER_PLATFORM_WIN32_NT) {
        libraryName = version.dwMajorVersion == 4 ? "Security.dll" : "Secur32.dll";
    } else if (version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS) {
        libraryName = "Secur32.dll";
    } else {
        failure = ProviderLoadFailure::Platform;
        return nullptr;
    }
    HMODULE library = ::LoadLibraryA(libraryName.c_str());
    if (library == nullptr) {
        failure = ProviderLoadFailure::Library;
        return nullptr;
    }
    // Through a generic function pointer: the export's real type is not FARPROC.
    auto entry = reinterpret_cast<void (*)()>(::GetProcAddress(library, "InitSecurityInterfaceA"));
    auto init = reinterpret_cast<INIT_SECURITY_INTERFACE_A>(entry);
    if (init == nullptr) {
        failure = ProviderLoadFailure::Export;
        return nullptr;
    }
    PSecurityFunctionTableA table = init();
    if (table == nullptr) {
        failure = ProviderLoadFailure::Table;
        return nullptr;
    }
    SecurityFunctionTableA copy{};
    std::memcpy(&copy, table, kTableBytes);
    provider = new SspiProvider(copy);
    return provider;
}

} // namespace plentor::platform
