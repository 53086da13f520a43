#include "platform/posix/OpenSslProvider.h"

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/x509v3.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace plentor::platform {

namespace {

constexpr size_t kRecordHeaderBytes = 5;
// TLS carries at most 2^14 plaintext bytes per record, and a record's
// ciphertext grows by at most 2048 bytes over its plaintext.
constexpr size_t kMaxPlaintextRecord = 16384;
constexpr size_t kMaxRecordExpansion = 2048;
constexpr size_t kMaxRecordBody = kMaxPlaintextRecord + kMaxRecordExpansion;
// Record content types run from change_cipher_spec (20) to heartbeat (24);
// any other first byte means the peer does not speak TLS.
constexpr unsigned char kFirstContentType = 20;
constexpr unsigned char kLastContentType = 24;
constexpr unsigned char kRecordVersionMajor = 3;

// The context requirements this provider always meets.
constexpr uint32_t kGrantable =
    kIscReplayDetect | kIscSequenceDetect | kIscConfidentiality | kIscAllocateMemory | kIscStream;

struct RecordScan {
    size_t completeBytes = 0;      // bytes of the whole records at the start
    size_t firstRecordBytes = 0;   // bytes of the first record when it is whole
    bool malformed = false;
};

RecordScan ScanRecords(const unsigned char* bytes, size_t size)
{
    RecordScan scan;
    size_t pos = 0;
    while (size - pos >= kRecordHeaderBytes) {
        const unsigned char* header = bytes + pos;
        const size_t body = (static_cast<size_t>(header[3]) << 8) | header[4];
        if (header[0] < kFirstContentType || header[0] > kLastContentType || header[1] != kRecordVersionMajor ||
            body > kMaxRecordBody) {
            scan.malformed = true;
            break;
        }
        if (size - pos - kRecordHeaderBytes < body) break;
        pos += kRecordHeaderBytes + body;
        if (scan.firstRecordBytes == 0) scan.firstRecordBytes = pos;
    }
    scan.completeBytes = pos;
    return scan;
}

struct VersionRow {
    uint32_t bits;   // client and server bit of the protocol
    int version;
    uint32_t clientBit;
    uint64_t disableOption;
};

constexpr VersionRow kVersions[] = {
    {kProtSsl3Client | kProtSsl3Server, SSL3_VERSION, kProtSsl3Client, SSL_OP_NO_SSLv3},
    {kProtTls1Client | kProtTls1Server, TLS1_VERSION, kProtTls1Client, SSL_OP_NO_TLSv1},
    {kProtTls11Client | kProtTls11Server, TLS1_1_VERSION, kProtTls11Client, SSL_OP_NO_TLSv1_1},
    {kProtTls12Client | kProtTls12Server, TLS1_2_VERSION, kProtTls12Client, SSL_OP_NO_TLSv1_2},
    {kProtTls13Client | kProtTls13Server, TLS1_3_VERSION, kProtTls13Client, SSL_OP_NO_TLSv1_3},
};

// Limits the context to the protocols of the mask; 0 keeps the library's
// defaults. False when the mask names no protocol this library has.
bool ApplyProtocolMask(SSL_CTX* ctx, uint32_t mask)
{
    if (mask == 0) return true;
    int lowest = 0;
    int highest = 0;
    for (const VersionRow& row : kVersions) {
        if ((mask & row.bits) == 0) continue;
        if (lowest == 0) lowest = row.version;
        highest = row.version;
    }
    if (lowest == 0) return false;
    if (SSL_CTX_set_min_proto_version(ctx, lowest) != 1 || SSL_CTX_set_max_proto_version(ctx, highest) != 1)
        return false;
    for (const VersionRow& row : kVersions) {
        if (row.version > lowest && row.version < highest && (mask & row.bits) == 0)
            SSL_CTX_set_options(ctx, row.disableOption);
    }
    return true;
}

// Restricts the key exchange to one algorithm. RSA and finite-field
// Diffie-Hellman exist only up to TLS 1.2.
bool ApplyKeyExchange(SSL_CTX* ctx, uint32_t alg)
{
    const char* ciphers = nullptr;
    bool upToTls12 = true;
    switch (alg) {
    case 0: return true;
    case kAlgRsaKeyExchange: ciphers = "kRSA"; break;
    case kAlgDhEphemeral: ciphers = "kDHE"; break;
    case kAlgEcdhEphemeral: ciphers = "kECDHE"; upToTls12 = false; break;
    default: return false;
    }
    if (upToTls12) {
        const long highest = SSL_CTX_get_max_proto_version(ctx);
        if (highest == 0 || highest > TLS1_2_VERSION) SSL_CTX_set_max_proto_version(ctx, TLS1_2_VERSION);
    }
    return SSL_CTX_set_cipher_list(ctx, ciphers) == 1;
}

uint32_t ProtocolBit(int version)
{
    for (const VersionRow& row : kVersions) {
        if (row.version == version) return row.clientBit;
    }
    return static_cast<uint32_t>(version);
}

uint32_t CipherId(int nid)
{
    switch (nid) {
    case NID_aes_128_gcm: case NID_aes_128_cbc: case NID_aes_128_ccm: return kAlgAes128;
    case NID_aes_192_gcm: case NID_aes_192_cbc: return kAlgAes192;
    case NID_aes_256_gcm: case NID_aes_256_cbc: case NID_aes_256_ccm: return kAlgAes256;
    case NID_des_ede3_cbc: return kAlgTripleDes;
    case NID_des_cbc: return kAlgDes;
    case NID_rc4: return kAlgRc4;
    case NID_rc2_cbc: return kAlgRc2;
    default: return static_cast<uint32_t>(nid);
    }
}

uint32_t HashId(int nid)
{
    switch (nid) {
    case NID_md5: return kAlgMd5;
    case NID_sha1: return kAlgSha1;
    case NID_sha256: return kAlgSha256;
    case NID_sha384: return kAlgSha384;
    case NID_sha512: return kAlgSha512;
    default: return static_cast<uint32_t>(nid);
    }
}

bool IsFiniteFieldGroup(int nid)
{
    return nid == NID_ffdhe2048 || nid == NID_ffdhe3072 || nid == NID_ffdhe4096 || nid == NID_ffdhe6144 ||
           nid == NID_ffdhe8192;
}

uint32_t KeyExchangeId(SSL* ssl, const SSL_CIPHER* cipher)
{
    switch (SSL_CIPHER_get_kx_nid(cipher)) {
    case NID_kx_rsa: return kAlgRsaKeyExchange;
    case NID_kx_dhe: return kAlgDhEphemeral;
    case NID_kx_ecdhe: case NID_kx_ecdhe_psk: return kAlgEcdhEphemeral;
    case NID_kx_any:   // TLS 1.3 names the group instead
        return IsFiniteFieldGroup(static_cast<int>(SSL_get_negotiated_group(ssl))) ? kAlgDhEphemeral
                                                                                   : kAlgEcdhEphemeral;
    default: return static_cast<uint32_t>(SSL_CIPHER_get_kx_nid(cipher));
    }
}

// Bits of the ephemeral key, or of the server's key when the exchange used it.
uint32_t KeyExchangeStrength(SSL* ssl)
{
    EVP_PKEY* key = nullptr;
    if (SSL_get_peer_tmp_key(ssl, &key) != 1 || key == nullptr) {
        X509* peer = SSL_get0_peer_certificate(ssl);
        key = peer != nullptr ? X509_get_pubkey(peer) : nullptr;
    }
    if (key == nullptr) return 0;
    int bits = EVP_PKEY_get_bits(key);
    EVP_PKEY_free(key);
    return bits > 0 ? static_cast<uint32_t>(bits) : 0;
}

// The record's MAC digest, or for AEAD ciphers the handshake digest.
void DescribeHash(const SSL_CIPHER* cipher, ConnectionInfo& out)
{
    const EVP_MD* md = nullptr;
    int nid = SSL_CIPHER_get_digest_nid(cipher);
    if (nid != NID_undef) md = EVP_get_digestbynid(nid);
    if (md == nullptr) md = SSL_CIPHER_get_handshake_digest(cipher);
    if (md == nullptr) return;
    out.hash = HashId(EVP_MD_get_type(md));
    out.hashStrength = static_cast<uint32_t>(EVP_MD_get_size(md)) * 8;
}

bool IsAnyOf(unsigned long reason, std::initializer_list<int> reasons)
{
    return std::find(reasons.begin(), reasons.end(), static_cast<int>(reason)) != reasons.end();
}

// The status of a failed handshake step, from the library's error queue.
SecStatus HandshakeFailure(SSL* ssl, int sslError)
{
    SecStatus status = kSecInternalError;
    if (sslError == SSL_ERROR_SSL) {
        const long verify = SSL_get_verify_result(ssl);
        const unsigned long reason = ERR_GET_REASON(ERR_peek_last_error());
        if ((SSL_get_verify_mode(ssl) & SSL_VERIFY_PEER) != 0 && verify != X509_V_OK) {
            status = OpenSslTrust::HandshakeStatusFor(verify);
        } else if (IsAnyOf(reason, {SSL_R_UNSUPPORTED_PROTOCOL, SSL_R_NO_PROTOCOLS_AVAILABLE,
                                    SSL_R_TLSV1_ALERT_PROTOCOL_VERSION, SSL_R_SSLV3_ALERT_HANDSHAKE_FAILURE,
                                    SSL_R_NO_CIPHERS_AVAILABLE, SSL_R_WRONG_SSL_VERSION})) {
            status = kSecAlgorithmMismatch;
        } else if (IsAnyOf(reason, {SSL_R_WRONG_VERSION_NUMBER, SSL_R_PACKET_LENGTH_TOO_LONG,
                                    SSL_R_RECORD_LENGTH_MISMATCH})) {
            status = kSecInvalidToken;
        } else {
            status = kSecIllegalMessage;
        }
    }
    ERR_clear_error();
    return status;
}

// Hands the last `extra` bytes of the input back as the second input buffer.
void SetExtra(SecBuffer* input, unsigned inputCount, size_t extra)
{
    if (input == nullptr || inputCount < 2 || extra == 0) return;
    input[1].type = kSecBufferExtra;
    input[1].size = static_cast<uint32_t>(extra);
}

SecBuffer* FindBuffer(SecBuffer* buffers, unsigned count, uint32_t type)
{
    for (unsigned i = 0; i < count; ++i) {
        if (buffers[i].type == type) return &buffers[i];
    }
    return nullptr;
}

} // namespace

SecCertStore* OpenSslProvider::OpenPersonalStore()
{
    return new SecCertStore;
}

void OpenSslProvider::CloseStore(SecCertStore* store)
{
    delete store;
}

SecCertificate* OpenSslProvider::FindCertificateBySubject(SecCertStore*, const char*)
{
    return nullptr;
}

SecStatus OpenSslProvider::FindClientCertificates(SecContext*, SecCertStore*, std::vector<SecCertificate*>& out)
{
    out.clear();
    return kSecOk;
}

void OpenSslProvider::FreeCertificate(SecCertificate* certificate)
{
    if (certificate == nullptr) return;
    X509_free(certificate->leaf);
    sk_X509_pop_free(certificate->chain, X509_free);
    delete certificate;
}

SecStatus OpenSslProvider::AcquireCredentials(const CredentialRequest& request, SecCredentials*& out)
{
    out = nullptr;
    SSL_CTX* ctx = SSL_CTX_new(TLS_client_method());
    if (ctx == nullptr) {
        ERR_clear_error();
        return kSecInsufficientMemory;
    }
    if (!ApplyProtocolMask(ctx, request.enabledProtocols) || !ApplyKeyExchange(ctx, request.keyExchangeAlg)) {
        SSL_CTX_free(ctx);
        ERR_clear_error();
        return kSecAlgorithmMismatch;
    }
    // Without manual validation the handshake itself checks the server.
    if ((request.flags & kCredManualValidation) == 0) {
        X509_STORE* store = trust_.AcquireStore();
        if (store != nullptr) SSL_CTX_set_cert_store(ctx, store);
    }
    out = new SecCredentials{ctx, request.flags};
    return kSecOk;
}

void OpenSslProvider::FreeCredentials(SecCredentials* credentials)
{
    if (credentials == nullptr) return;
    SSL_CTX_free(credentials->ctx);
    delete credentials;
}

SecStatus OpenSslProvider::InitializeContext(SecCredentials* credentials, SecContext*& context,
                                             const char* targetName, uint32_t requestFlags, SecBuffer* input,
                                             unsigned inputCount, SecBuffer* output, unsigned outputCount,
                                             uint32_t& contextFlags)
{
    contextFlags = 0;
    if (output == nullptr || outputCount == 0) return kSecInvalidToken;
    SecBuffer& token = output[0];
    SecStatus status;
    if (context == nullptr) {
        status = StartContext(credentials, context, targetName, requestFlags, token);
    } else if (context->ssl == nullptr) {
        return kSecInvalidHandle;
    } else if (context->shutdownRequested) {
        status = CloseNotify(context, requestFlags, token);
    } else {
        status = ContinueHandshake(context, requestFlags, input, inputCount, token, contextFlags);
    }
    if (!SecFailed(status)) contextFlags = requestFlags & kGrantable;
    return status;
}

SecStatus OpenSslProvider::StartContext(SecCredentials* credentials, SecContext*& context, const char* targetName,
                                        uint32_t requestFlags, SecBuffer& token)
{
    if (credentials == nullptr || credentials->ctx == nullptr) return kSecInvalidHandle;
    auto fresh = std::make_unique<SecContext>();
    fresh->ssl = SSL_new(credentials->ctx);
    BIO* in = BIO_new(BIO_s_mem());
    BIO* out = BIO_new(BIO_s_mem());
    if (fresh->ssl == nullptr || in == nullptr || out == nullptr) {
        BIO_free(in);
        BIO_free(out);
        DeleteContext(fresh.release());
        ERR_clear_error();
        return kSecInsufficientMemory;
    }
    // An empty memory buffer means "wait for more", not end of stream.
    BIO_set_mem_eof_return(in, -1);
    BIO_set_mem_eof_return(out, -1);
    SSL_set_bio(fresh->ssl, in, out);
    fresh->input = in;
    fresh->output = out;
    SSL_set_connect_state(fresh->ssl);
    const bool named = targetName != nullptr && *targetName != '\0';
    const bool isAddress = named && IsIpAddressText(targetName);
    // Server names travel in the handshake; addresses may not (RFC 6066).
    if (named && !isAddress) SSL_set_tlsext_host_name(fresh->ssl, targetName);
    if ((credentials->flags & kCredManualValidation) == 0) {
        SSL_set_verify(fresh->ssl, SSL_VERIFY_PEER, nullptr);
        if (isAddress) X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(fresh->ssl), targetName);
        else if (named) SSL_set1_host(fresh->ssl, targetName);
    }
    ERR_clear_error();
    const int rc = SSL_do_handshake(fresh->ssl);
    const int error = SSL_get_error(fresh->ssl, rc);
    if (rc == 1 || error != SSL_ERROR_WANT_READ) {
        SecStatus status = HandshakeFailure(fresh->ssl, error);
        DeleteContext(fresh.release());
        return status;
    }
    SecStatus status = TakeOutput(fresh.get(), requestFlags, token);
    if (SecFailed(status)) {
        DeleteContext(fresh.release());
        return status;
    }
    context = fresh.release();
    return kSecContinueNeeded;
}

// Feeds the whole records of the input to the handshake. Bytes it did not
// need (a partial record, or records after the handshake's end) go back as
// extra.
SecStatus OpenSslProvider::ContinueHandshake(SecContext* context, uint32_t requestFlags, SecBuffer* input,
                                             unsigned inputCount, SecBuffer& token, uint32_t& contextFlags)
{
    const unsigned char* bytes = nullptr;
    size_t size = 0;
    if (input != nullptr && inputCount > 0 && input[0].type == kSecBufferToken && input[0].data != nullptr) {
        bytes = static_cast<const unsigned char*>(input[0].data);
        size = input[0].size;
    }
    const RecordScan scan = ScanRecords(bytes, size);
    if (scan.malformed) return kSecInvalidToken;
    if (scan.completeBytes == 0 && BIO_ctrl_pending(context->output) == 0 && !SSL_is_init_finished(context->ssl))
        return kSecIncompleteMessage;
    ERR_clear_error();
    if (scan.completeBytes > 0) BIO_write(context->input, bytes, static_cast<int>(scan.completeBytes));
    const int rc = SSL_do_handshake(context->ssl);
    const int error = SSL_get_error(context->ssl, rc);
    const size_t unread = BIO_ctrl_pending(context->input);
    if (unread > 0) (void)BIO_reset(context->input);
    const size_t extra = unread + (size - scan.completeBytes);
    if (rc == 1 || error == SSL_ERROR_WANT_READ) {
        SecStatus status = TakeOutput(context, requestFlags, token);
        if (SecFailed(status)) return status;
        SetExtra(input, inputCount, extra);
        if (rc != 1) return kSecContinueNeeded;
        context->established = true;
        return kSecOk;
    }
    // What the library left to send after a failure is the alert telling
    // the server why.
    SecStatus status = HandshakeFailure(context->ssl, error);
    if (!SecFailed(TakeOutput(context, requestFlags, token)) && token.size > 0) contextFlags |= kIscExtendedError;
    return status;
}

SecStatus OpenSslProvider::CloseNotify(SecContext* context, uint32_t requestFlags, SecBuffer& token)
{
    ERR_clear_error();
    if (SSL_shutdown(context->ssl) < 0) {
        ERR_clear_error();
        return kSecInternalError;
    }
    return TakeOutput(context, requestFlags, token);
}

SecStatus OpenSslProvider::TakeOutput(SecContext* context, uint32_t requestFlags, SecBuffer& token)
{
    const size_t pending = BIO_ctrl_pending(context->output);
    token.type = kSecBufferToken;
    if ((requestFlags & kIscAllocateMemory) == 0) {
        if (pending > token.size || (pending > 0 && token.data == nullptr)) return kSecBufferTooSmall;
    } else {
        token.data = nullptr;
        if (pending > 0) token.data = std::malloc(pending);
        if (pending > 0 && token.data == nullptr) return kSecInsufficientMemory;
    }
    if (pending > 0) BIO_read(context->output, token.data, static_cast<int>(pending));
    token.size = static_cast<uint32_t>(pending);
    return kSecOk;
}

void OpenSslProvider::DeleteContext(SecContext* context)
{
    if (context == nullptr) return;
    SSL_free(context->ssl);   // frees both memory buffers
    delete context;
}

void OpenSslProvider::FreeContextBuffer(void* buffer)
{
    std::free(buffer);
}

SecStatus OpenSslProvider::QueryRemoteCertificate(SecContext* context, SecCertificate*& out)
{
    out = nullptr;
    if (context == nullptr || context->ssl == nullptr || !context->established) return kSecInvalidHandle;
    X509* leaf = SSL_get1_peer_certificate(context->ssl);
    if (leaf == nullptr) return kSecOk;
    STACK_OF(X509)* chain = SSL_get_peer_cert_chain(context->ssl);
    out = new SecCertificate{leaf, chain != nullptr ? X509_chain_up_ref(chain) : nullptr};
    return kSecOk;
}

SecStatus OpenSslProvider::QueryConnectionInfo(SecContext* context, ConnectionInfo& out)
{
    out = ConnectionInfo{};
    if (context == nullptr || context->ssl == nullptr || !context->established) return kSecInvalidHandle;
    const SSL_CIPHER* cipher = SSL_get_current_cipher(context->ssl);
    if (cipher == nullptr) return kSecInternalError;
    out.protocol = ProtocolBit(SSL_version(context->ssl));
    out.cipher = CipherId(SSL_CIPHER_get_cipher_nid(cipher));
    out.cipherStrength = static_cast<uint32_t>(SSL_CIPHER_get_bits(cipher, nullptr));
    DescribeHash(cipher, out);
    out.keyExchange = KeyExchangeId(context->ssl, cipher);
    out.keyExchangeStrength = KeyExchangeStrength(context->ssl);
    return kSecOk;
}

SecStatus OpenSslProvider::QueryStreamSizes(SecContext* context, StreamSizes& out)
{
    if (context == nullptr || context->ssl == nullptr || !context->established) return kSecInvalidHandle;
    out.header = kRecordHeaderBytes;
    out.trailer = kMaxRecordExpansion;
    out.maxMessage = kMaxPlaintextRecord;
    return kSecOk;
}

SecStatus OpenSslProvider::EncryptMessage(SecContext* context, SecBuffer* buffers, unsigned count)
{
    if (context == nullptr || context->ssl == nullptr || !context->established) return kSecInvalidHandle;
    SecBuffer* header = FindBuffer(buffers, count, kSecBufferStreamHeader);
    SecBuffer* data = FindBuffer(buffers, count, kSecBufferData);
    SecBuffer* trailer = FindBuffer(buffers, count, kSecBufferStreamTrailer);
    if (header == nullptr || data == nullptr || trailer == nullptr) return kSecInvalidToken;
    auto* start = static_cast<unsigned char*>(header->data);
    if (data->data != start + header->size || trailer->data != start + header->size + data->size ||
        data->size > kMaxPlaintextRecord)
        return kSecInvalidToken;
    const size_t capacity = static_cast<size_t>(header->size) + data->size + trailer->size;
    ERR_clear_error();
    if (data->size > 0 && SSL_write(context->ssl, data->data, static_cast<int>(data->size)) != static_cast<int>(data->size)) {
        ERR_clear_error();
        return kSecInternalError;
    }
    // Anything the session queued before (a key update) goes out first.
    const size_t produced = BIO_ctrl_pending(context->output);
    if (produced > capacity) {
        (void)BIO_reset(context->output);
        return kSecInternalError;
    }
    if (produced > 0) BIO_read(context->output, start, static_cast<int>(produced));
    header->size = static_cast<uint32_t>(std::min<size_t>(header->size, produced));
    data->size = static_cast<uint32_t>(std::min<size_t>(data->size, produced - header->size));
    trailer->size = static_cast<uint32_t>(produced - header->size - data->size);
    return kSecOk;
}

// Decrypts one whole record; the plaintext lands in context->plain.
SecStatus OpenSslProvider::ReadRecordPlaintext(SecContext* context, const unsigned char* record, size_t size)
{
    context->plain.clear();
    ERR_clear_error();
    BIO_write(context->input, record, static_cast<int>(size));
    unsigned char block[kMaxPlaintextRecord];
    for (;;) {
        const int rc = SSL_read(context->ssl, block, sizeof block);
        if (rc > 0) {
            context->plain.insert(context->plain.end(), block, block + rc);
            continue;
        }
        const int error = SSL_get_error(context->ssl, rc);
        if (error == SSL_ERROR_WANT_READ) return kSecOk;   // the record is used up
        ERR_clear_error();
        return error == SSL_ERROR_ZERO_RETURN ? kSecContextExpired : kSecDecryptFailure;
    }
}

SecStatus OpenSslProvider::DecryptMessage(SecContext* context, SecBuffer* buffers, unsigned count)
{
    if (context == nullptr || context->ssl == nullptr || !context->established) return kSecInvalidHandle;
    SecBuffer* data = count >= 4 ? FindBuffer(buffers, count, kSecBufferData) : nullptr;
    if (data == nullptr) return kSecInvalidToken;
    auto* bytes = static_cast<unsigned char*>(data->data);
    const size_t size = bytes != nullptr ? data->size : 0;
    const RecordScan scan = ScanRecords(bytes, size);
    if (scan.malformed) return kSecDecryptFailure;
    if (scan.firstRecordBytes == 0) return kSecIncompleteMessage;
    const size_t recordBytes = scan.firstRecordBytes;
    SecStatus status = ReadRecordPlaintext(context, bytes, recordBytes);
    if (status != kSecOk) return status;
    const size_t plainBytes = context->plain.size();
    if (plainBytes > recordBytes - kRecordHeaderBytes) return kSecInternalError;
    if (plainBytes > 0) std::memcpy(bytes + kRecordHeaderBytes, context->plain.data(), plainBytes);
    const auto u32 = [](size_t n) { return static_cast<uint32_t>(n); };
    buffers[0] = SecBuffer{u32(kRecordHeaderBytes), kSecBufferStreamHeader, bytes};
    buffers[1] = SecBuffer{u32(plainBytes), kSecBufferData, bytes + kRecordHeaderBytes};
    buffers[2] = SecBuffer{u32(recordBytes - kRecordHeaderBytes - plainBytes), kSecBufferStreamTrailer,
                           bytes + kRecordHeaderBytes + plainBytes};
    buffers[3] = size > recordBytes ? SecBuffer{u32(size - recordBytes), kSecBufferExtra, bytes + recordBytes}
                                    : SecBuffer{0, kSecBufferEmpty, nullptr};
    // A hello request started a new handshake, or the session has something
    // to answer: the caller runs the handshake steps to send it.
    if (SSL_in_init(context->ssl) || BIO_ctrl_pending(context->output) > 0) return kSecRenegotiate;
    return kSecOk;
}

SecStatus OpenSslProvider::ApplyShutdown(SecContext* context)
{
    if (context == nullptr || context->ssl == nullptr) return kSecInvalidHandle;
    context->shutdownRequested = true;
    return kSecOk;
}

VerifyFailure OpenSslProvider::VerifyServerCertificate(const SecCertificate* certificate, const char* serverName,
                                                       uint32_t ignoreChecks, uint32_t& policyError)
{
    policyError = 0;
    if (certificate == nullptr || certificate->leaf == nullptr) return VerifyFailure::ChainBuild;
    return trust_.Verify(certificate->leaf, certificate->chain, serverName, ignoreChecks, policyError);
}

SecurityProvider* LoadSecurityProvider(ProviderLoadFailure& failure, std::string& libraryName)
{
    // Loaded once and kept for the life of the process.
    static SecurityProvider* provider = nullptr;
    libraryName = "libssl";
    if (provider == nullptr) {
        if (OPENSSL_init_ssl(0, nullptr) != 1) {
            failure = ProviderLoadFailure::Library;
            return nullptr;
        }
        provider = new OpenSslProvider;
    }
    failure = ProviderLoadFailure::None;
    return provider;
}

} // namespace plentor::platform
