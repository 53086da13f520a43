#include <winsock2.h>
#include <ws2tcpip.h>

#include "platform/win32/ChainTrust.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <new>
#include <vector>

namespace plentor::platform {

namespace {

constexpr const char* kCaFileVariable = "PLENTOR_CA_FILE";
constexpr char kPemBegin[] = "-----BEGIN CERTIFICATE-----";
constexpr char kPemEnd[] = "-----END CERTIFICATE-----";

// The chain errors that mean "no trusted root vouches for this chain".
constexpr DWORD kRootErrors = CERT_TRUST_IS_UNTRUSTED_ROOT | CERT_TRUST_IS_PARTIAL_CHAIN;

void AddEncoded(HCERTSTORE store, const BYTE* data, DWORD size)
{
    ::CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, data, size, CERT_STORE_ADD_REPLACE_EXISTING,
                                       nullptr);
}

// Every certificate of a PEM file, or the file itself read as one DER
// certificate when it holds no PEM block.
void AddFileCertificates(HCERTSTORE store, const std::string& text)
{
    bool anyPem = false;
    for (size_t begin = text.find(kPemBegin); begin != std::string::npos; begin = text.find(kPemBegin, begin)) {
        const size_t end = text.find(kPemEnd, begin);
        if (end == std::string::npos) break;
        anyPem = true;
        const size_t stop = end + sizeof kPemEnd - 1;
        const DWORD length = static_cast<DWORD>(stop - begin);
        DWORD size = 0;
        if (::CryptStringToBinaryA(text.data() + begin, length, CRYPT_STRING_BASE64HEADER, nullptr, &size, nullptr,
                                   nullptr) &&
            size > 0) {
            std::vector<BYTE> der(size);
            if (::CryptStringToBinaryA(text.data() + begin, length, CRYPT_STRING_BASE64HEADER, der.data(), &size,
                                       nullptr, nullptr))
                AddEncoded(store, der.data(), size);
        }
        begin = stop;
    }
    if (!anyPem && !text.empty())
        AddEncoded(store, reinterpret_cast<const BYTE*>(text.data()), static_cast<DWORD>(text.size()));
}

// The address bytes of an IPv4 or IPv6 literal (brackets allowed); false
// for a host name.
bool ParseAddress(const char* name, std::vector<BYTE>& bytes)
{
    std::string text(name);
    if (text.size() > 2 && text.front() == '[' && text.back() == ']') text = text.substr(1, text.size() - 2);
    if (text.find_first_not_of("0123456789abcdefABCDEF.:") != std::string::npos) return false;
    if (text.find(':') == std::string::npos) {
        sockaddr_in v4{};
        int size = sizeof v4;
        if (::WSAStringToAddressA(text.data(), AF_INET, nullptr, reinterpret_cast<sockaddr*>(&v4), &size) != 0)
            return false;
        const BYTE* p = reinterpret_cast<const BYTE*>(&v4.sin_addr);
        bytes.assign(p, p + 4);
        return true;
    }
    sockaddr_in6 v6{};
    int size = sizeof v6;
    if (::WSAStringToAddressA(text.data(), AF_INET6, nullptr, reinterpret_cast<sockaddr*>(&v6), &size) != 0)
        return false;
    const BYTE* p = reinterpret_cast<const BYTE*>(&v6.sin6_addr);
    bytes.assign(p, p + 16);
    return true;
}

// True when the certificate's subject alternative names hold the address.
bool CertificateNamesAddress(PCCERT_CONTEXT certificate, const std::vector<BYTE>& address)
{
    const CERT_INFO* info = certificate->pCertInfo;
    PCERT_EXTENSION extension =
        ::CertFindExtension(szOID_SUBJECT_ALT_NAME2, info->cExtension, info->rgExtension);
    if (extension == nullptr) return false;
    CERT_ALT_NAME_INFO* names = nullptr;
    DWORD size = 0;
    if (!::CryptDecodeObjectEx(X509_ASN_ENCODING, X509_ALTERNATE_NAME, extension->Value.pbData,
                               extension->Value.cbData, CRYPT_DECODE_ALLOC_FLAG, nullptr, &names, &size))
        return false;
    bool found = false;
    for (DWORD i = 0; i < names->cAltEntry && !found; ++i) {
        const CERT_ALT_NAME_ENTRY& entry = names->rgAltEntry[i];
        found = entry.dwAltNameChoice == CERT_ALT_NAME_IP_ADDRESS && entry.IPAddress.cbData == address.size() &&
                std::memcmp(entry.IPAddress.pbData, address.data(), address.size()) == 0;
    }
    ::LocalFree(names);
    return found;
}

// One run of the SSL policy over a built chain: the error it reports, or
// ~0u when it could not evaluate.
DWORD PolicyError(PCCERT_CHAIN_CONTEXT chain, wchar_t* serverName, DWORD checks)
{
    HTTPSPolicyCallbackData https{};
    https.cbStruct = sizeof https;
    https.dwAuthType = AUTHTYPE_SERVER;
    https.fdwChecks = checks;
    https.pwszServerName = serverName;
    CERT_CHAIN_POLICY_PARA policy{};
    policy.cbSize = sizeof policy;
    policy.pvExtraPolicyPara = &https;
    CERT_CHAIN_POLICY_STATUS verdict{};
    verdict.cbSize = sizeof verdict;
    if (!::CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain, &policy, &verdict)) return ~0u;
    return verdict.dwError;
}

// The last certificate of the chain's first simple chain: its root, or the
// certificate where the search for issuers stopped.
PCCERT_CONTEXT ChainEnd(PCCERT_CHAIN_CONTEXT chain)
{
    if (chain->cChain == 0 || chain->rgpChain[0]->cElement == 0) return nullptr;
    const CERT_SIMPLE_CHAIN* simple = chain->rgpChain[0];
    return simple->rgpElement[simple->cElement - 1]->pCertContext;
}

} // namespace

ChainTrust::~ChainTrust()
{
    if (extraRoots_ != nullptr) ::CertCloseStore(extraRoots_, 0);
}

HCERTSTORE ChainTrust::ExtraRoots()
{
    const char* variable = std::getenv(kCaFileVariable);
    const std::string caFile = variable != nullptr ? variable : "";
    std::lock_guard<std::mutex> lock(mutex_);
    if (caFile != caFile_ || (extraRoots_ == nullptr && !caFile.empty())) {
        if (extraRoots_ != nullptr) ::CertCloseStore(extraRoots_, 0);
        extraRoots_ = nullptr;
        caFile_ = caFile;
        if (!caFile.empty()) {
            std::ifstream in(caFile, std::ios::binary);
            const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            HCERTSTORE store = ::CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, CERT_STORE_CREATE_NEW_FLAG, nullptr);
            if (store != nullptr) {
                AddFileCertificates(store, text);
                if (::CertEnumCertificatesInStore(store, nullptr) == nullptr) {
                    ::CertCloseStore(store, 0);
                    store = nullptr;
                }
            }
            extraRoots_ = store;
        }
    }
    return extraRoots_ != nullptr ? ::CertDuplicateStore(extraRoots_) : nullptr;
}

VerifyFailure ChainTrust::Verify(PCCERT_CONTEXT certificate, const char* serverName, uint32_t ignoreChecks,
                                 uint32_t& policyError)
{
    policyError = 0;
    if (certificate == nullptr) return VerifyFailure::ChainBuild;
    const int units = ::MultiByteToWideChar(CP_ACP, 0, serverName, -1, nullptr, 0);
    if (units <= 0) return VerifyFailure::NameConversion;
    std::unique_ptr<wchar_t[]> wideName(new (std::nothrow) wchar_t[static_cast<size_t>(units)]);
    if (!wideName) return VerifyFailure::OutOfMemory;
    if (::MultiByteToWideChar(CP_ACP, 0, serverName, -1, wideName.get(), units) == 0)
        return VerifyFailure::NameConversion;

    // The chain may use what the server sent and the extra roots.
    HCERTSTORE extra = ExtraRoots();
    HCERTSTORE additional = certificate->hCertStore;
    HCERTSTORE collection = nullptr;
    if (extra != nullptr) {
        collection = ::CertOpenStore(CERT_STORE_PROV_COLLECTION, 0, 0, 0, nullptr);
        if (collection != nullptr) {
            ::CertAddStoreToCollection(collection, certificate->hCertStore, 0, 0);
            ::CertAddStoreToCollection(collection, extra, 0, 0);
            additional = collection;
        }
    }
    CERT_CHAIN_PARA chainPara{};
    chainPara.cbSize = sizeof chainPara;
    PCCERT_CHAIN_CONTEXT chain = nullptr;
    const bool built = ::CertGetCertificateChain(nullptr, certificate, nullptr, additional, &chainPara, 0, nullptr,
                                                 &chain) != FALSE;
    if (!built) {
        if (collection != nullptr) ::CertCloseStore(collection, 0);
        if (extra != nullptr) ::CertCloseStore(extra, 0);
        return VerifyFailure::ChainBuild;
    }

    const DWORD trust = chain->TrustStatus.dwErrorStatus;
    PCCERT_CONTEXT end = ChainEnd(chain);
    PCCERT_CONTEXT extraRoot =
        extra != nullptr && end != nullptr && (trust & CERT_TRUST_IS_UNTRUSTED_ROOT) != 0
            ? ::CertFindCertificateInStore(extra, X509_ASN_ENCODING, 0, CERT_FIND_EXISTING, end, nullptr)
            : nullptr;
    const bool rootedInExtra = extraRoot != nullptr;
    if (extraRoot != nullptr) ::CertFreeCertificateContext(extraRoot);

    DWORD checks = ignoreChecks;
    if (rootedInExtra) checks |= kIgnoreUnknownCa;
    DWORD error = PolicyError(chain, wideName.get(), checks);
    if (error == 0 && (ignoreChecks & kIgnoreUnknownCa) == 0 && !rootedInExtra &&
        (trust & kRootErrors) != 0)
        error = static_cast<DWORD>(CERT_E_UNTRUSTEDROOT);
    std::vector<BYTE> address;
    if (error == static_cast<DWORD>(CERT_E_CN_NO_MATCH) && ParseAddress(serverName, address) &&
        CertificateNamesAddress(certificate, address))
        error = PolicyError(chain, wideName.get(), checks | kIgnoreCertCnInvalid);

    ::CertFreeCertificateChain(chain);
    if (collection != nullptr) ::CertCloseStore(collection, 0);
    if (extra != nullptr) ::CertCloseStore(extra, 0);
    if (error == ~0u) return VerifyFailure::PolicyEvaluation;
    policyError = error;
    return VerifyFailure::None;
}

} // namespace plentor::platform
