// URL cracking and combining, registrable domains and the form encoding.

#include "FuzzInput.h"

#include "http/ZentrelUrl.h"
#include "http/cookies/CookieMgr.h"
#include "text/DataBuffer.h"
#include "text/StringBuffer.h"

#include <cstring>
#include <string>

using namespace plentor;
using namespace plentor::fuzz;

namespace {

void Crack(const std::string& url)
{
    StringBuffer host, login, password, path, query, fragment, domain;
    int port = 0;
    if (ZentrelUrl::CrackUrl(url.c_str(), host, port, login, password, path, query, fragment))
        Require(port >= 0);
    ZentrelUrl::GetDomain(url.c_str(), domain);
    StringBuffer domainOfHost;
    ZentrelUrl::GetDomainFromHost(host.GetString(), domainOfHost);
    StringBuffer registrable, fileName;
    CookieMgr::GetRegistrableDomain(host.GetString(), registrable);
    if (CookieMgr::GetCookieFileName(registrable.GetString(), fileName))
        Require(std::strchr(fileName.GetString(), '/') == nullptr && std::strchr(fileName.GetString(), '\\') == nullptr);
}

void Combine(const std::string& base, const std::string& relative)
{
    StringBuffer result;
    if (ZentrelUrl::CombineUrl(base.c_str(), relative.c_str(), result))
        Crack(result.ToStdString());
}

// Decoding the form encoding of any bytes gives the bytes back.
void EncodeDecode(std::string_view bytes)
{
    DataBuffer raw(bytes.data(), static_cast<unsigned>(bytes.size()));
    StringBuffer encoded;
    ZentrelUrl::UrlEncode(raw, encoded);
    DataBuffer decoded;
    ZentrelUrl::UrlDecode(encoded, decoded);
    Require(decoded.Equals(bytes.data(), static_cast<unsigned>(bytes.size())));
    // Arbitrary text read as form encoding.
    StringBuffer text(bytes.data(), static_cast<int>(bytes.size()));
    DataBuffer out;
    ZentrelUrl::UrlDecode(text, out);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    switch (in.Pick(3)) {
    case 0:
        Crack(CString(in.Rest()));
        break;
    case 1: {
        const std::string base = CString(in.Piece('\n'));
        Combine(base, CString(in.Rest()));
        break;
    }
    default:
        EncodeDecode(in.Rest());
        break;
    }
    return 0;
}
