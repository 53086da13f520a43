// The files a user hands the tool to import from: browser bookmark exports
// (with the UTF-8 reference decoder they use) and netrc account files.

#include "FuzzInput.h"

#include "markup/HtmlEntities.h"
#include "services/BookmarkFile.h"
#include "services/NetrcFile.h"
#include "text/AsciiChars.h"

#include <string>
#include <string_view>

using namespace plentor;
using namespace plentor::fuzz;

namespace {

bool Trimmed(std::string_view text)
{
    return text.empty() || (!AsciiChars::IsSpace(text.front()) && !AsciiChars::IsSpace(text.back()));
}

// Trimmed, with white space collapsed to single spaces.
bool Collapsed(std::string_view text)
{
    for (size_t i = 0; i + 1 < text.size(); ++i)
        if (AsciiChars::IsSpace(text[i]) && (text[i] != ' ' || AsciiChars::IsSpace(text[i + 1])))
            return false;
    return Trimmed(text);
}

void CheckBookmarks(std::string_view text)
{
    BookmarkFile::IsBookmarkFile(text);
    BookmarkFile file;
    file.Load(text);
    for (const BookmarkFile::Entry& e : file.Entries()) {
        Require(!e.url.empty() && Trimmed(e.url));
        Require(Collapsed(e.title) && Collapsed(e.description));
        for (const std::string& tag : e.tags)
            Require(!tag.empty() && tag.find(',') == std::string::npos && Collapsed(tag));
        Require(e.folders.size() <= BookmarkFile::kMaxFolderDepth);
    }
    const size_t count = file.Entries().size();
    file.Load(text);
    Require(file.Entries().size() == count);
}

void CheckNetrc(FuzzInput& in)
{
    const std::string host(in.Piece());
    const std::string login(in.Piece());
    NetrcFile netrc;
    std::string why;
    const bool parsed = netrc.Parse(in.Rest(), why);
    Require(parsed == why.empty());
    NetrcFile::Account account;
    const bool found = netrc.Find(host, login, account);
    Require(parsed || !found);
    if (found && !login.empty())
        Require(account.hasLogin && account.login == login);
}

// Every reference is at least as long as the UTF-8 of its character.
void CheckReferences(std::string_view text)
{
    std::string out = "x";
    HtmlEntities::AppendDecodedUtf8(text, out);
    Require(out.size() <= text.size() + 1 && out[0] == 'x');
    if (text.find('&') == std::string_view::npos)
        Require(out.substr(1) == text);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    switch (in.Pick(3)) {
    case 0: CheckBookmarks(in.Rest()); break;
    case 1: CheckNetrc(in); break;
    default: CheckReferences(in.Rest()); break;
    }
    return 0;
}
