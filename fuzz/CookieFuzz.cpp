// Set-Cookie lines and the stored cookie documents, in the memory store and
// as files of a cookie directory.

#include "FuzzInput.h"

#include "base/LogNull.h"
#include "http/cookies/Cookie.h"
#include "http/cookies/CookieJar.h"
#include "http/cookies/CookieMgr.h"
#include "http/cookies/CookieStore.h"
#include "text/StringBuffer.h"

#include <memory>
#include <string>

using namespace plentor;
using namespace plentor::fuzz;

namespace {

enum class Mode { SetCookieLine, MemoryDocument, DirectoryDocument, Count };

// What a request to host and path would send, from wherever the jar lives.
void SendFrom(const char* location, const CookieStore* store, const std::string& host, const char* path, LogBase& log)
{
    std::unique_ptr<CookieJar> jar = CookieMgr::LoadJar(location, store, host.c_str(), log);
    if (!jar)
        return;
    StringBuffer header;
    jar->BuildCookieHeader(host.c_str(), path, header);
    for (int i = 0; i < jar->Count(); ++i)
        jar->At(i).MatchesRequest(host.c_str(), path);
}

// A received line: parsed, matched, stored and sent back.
void SetCookieLine(FuzzInput& in, LogBase& log)
{
    const uint8_t flags = in.Byte();
    const std::string host = CString(in.Piece('\n'));
    const std::string path = CString(in.Piece('\n'));
    const std::string line = CString(in.Rest());
    const char* fieldName = (flags & 1) ? "Set-Cookie2" : "Set-Cookie";
    StringBuffer defaultDomain;
    CookieMgr::GetDefaultDomain(host.c_str(), defaultDomain);
    std::unique_ptr<Cookie> cookie =
        Cookie::FromResponseField(fieldName, line.c_str(), defaultDomain.GetString(), log);
    if (!cookie)
        return;
    cookie->MatchesRequest(host.c_str(), path.c_str());
    CookieStore store;
    if (!CookieMgr::SaveCookie("memory", &store, host.c_str(), *cookie, log))
        return;
    // Stored a second time: the document written by the first save is read back.
    CookieMgr::SaveCookie("memory", &store, host.c_str(), *cookie, log);
    SendFrom("memory", &store, host, path.c_str(), log);
}

// A document given as stored text for a domain, then read, sent and added to.
void StoredDocument(FuzzInput& in, Mode mode, LogBase& log)
{
    const std::string host = CString(in.Piece('\n'));
    const std::string_view document = in.Rest();
    StringBuffer fileName;
    if (!CookieMgr::GetCookieFileName(host.c_str(), fileName))
        return;
    CookieStore store;
    std::string location = "memory";
    if (mode == Mode::MemoryDocument) {
        store.Set(fileName.GetString(), std::string(document));
    } else {
        location = ScratchDirectory();
        WriteScratchFile(fileName.GetString(), document);
    }
    SendFrom(location.c_str(), &store, host, "/", log);
    Cookie cookie;
    cookie.SetPair("session", "1");
    StringBuffer domain;
    CookieMgr::GetDefaultDomain(host.c_str(), domain);
    cookie.SetDomain(domain.GetString());
    if (CookieMgr::SaveCookie(location.c_str(), &store, host.c_str(), cookie, log))
        SendFrom(location.c_str(), &store, host, "/", log);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    const auto mode = static_cast<Mode>(in.Pick(static_cast<unsigned>(Mode::Count)));
    LogNull log;
    if (mode == Mode::SetCookieLine)
        SetCookieLine(in, log);
    else
        StoredDocument(in, mode, log);
    return 0;
}
