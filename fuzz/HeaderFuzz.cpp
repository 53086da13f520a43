// Response and MIME headers: parse, write, parse again. For a header of
// printable 7-bit text without encoded-word markers the fields of the second
// parse must equal those of the first; other text is re-encoded on the way
// (a non-ASCII name is written raw while its value becomes an encoded word,
// an address list with a marker is rewritten), so there only the parse
// itself is exercised.

#include "FuzzInput.h"

#include "base/LogNull.h"
#include "http/HttpResponseHeader.h"
#include "http/cookies/Cookie.h"
#include "http/mime/MimeField.h"
#include "http/mime/MimeHeader.h"
#include "text/StringBuffer.h"

#include <cstring>
#include <memory>
#include <vector>

using namespace plentor;
using namespace plentor::fuzz;

namespace {

// Code pages the fields are written in; 0 is the one the parse detected.
constexpr int kWriteCodePages[] = {0, 65001, 1252, 28591, 932, 20127};

bool PlainAscii(std::string_view text)
{
    for (char c : text) {
        if ((c < 0x20 && c != '\r' && c != '\n' && c != '\t') || c >= 0x7F)
            return false;
    }
    for (std::string_view marker : {"=?", "?q?", "?Q?", "?b?", "?B?"}) {
        if (text.find(marker) != std::string_view::npos)
            return false;
    }
    return true;
}

bool SameFields(const MimeHeader& a, const MimeHeader& b)
{
    if (a.GetFieldCount() != b.GetFieldCount())
        return false;
    for (int i = 0; i < a.GetFieldCount(); ++i) {
        const MimeField& x = a.GetFieldAt(i);
        const MimeField& y = b.GetFieldAt(i);
        if (!(x.GetName() == y.GetName()) || !(x.GetValue() == y.GetValue()))
            return false;
    }
    return true;
}

// The lookups callers make on a parsed header.
void Query(const MimeHeader& header, LogBase& log)
{
    StringBuffer out;
    header.GetField("Content-Type", out);
    header.GetFieldParam("Content-Type", "charset", out);
    header.GetFieldParam("Content-Disposition", "filename", out);
    std::vector<std::unique_ptr<Cookie>> cookies;
    header.CollectResponseCookies(cookies, ".example.com", log);
}

void MimeRoundTrip(std::string_view text, int codePage, bool checked, LogBase& log)
{
    MimeHeader first;
    if (!first.Parse(text.data(), static_cast<unsigned>(text.size()), log))
        return;
    Query(first, log);
    StringBuffer written;
    first.Write(written, nullptr, codePage);
    MimeHeader second;
    second.Parse(written.GetString(), static_cast<unsigned>(written.GetLength()), log);
    Require(!checked || SameFields(first, second));
}

void ResponseRoundTrip(std::string_view text, int codePage, bool checked, LogBase& log)
{
    HttpResponseHeader first;
    if (!first.Parse(text.data(), static_cast<unsigned>(text.size()), log))
        return;
    Query(first.GetFields(), log);
    StringBuffer charset;
    first.GetCharset(charset);
    StringBuffer written;
    first.WriteWithStatusLine(written, codePage);
    HttpResponseHeader second;
    second.Parse(written.GetString(), static_cast<unsigned>(written.GetLength()), log);
    if (first.GetStatusCode() != 0)
        Require(second.GetStatusCode() == first.GetStatusCode());
    Require(!checked || SameFields(first.GetFields(), second.GetFields()));
    Require(second.HasContentLength() == first.HasContentLength());
    Require(second.GetContentLength() == first.GetContentLength());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    const uint8_t mode = in.Byte();
    const int codePage = kWriteCodePages[(mode >> 1) % std::size(kWriteCodePages)];
    const std::string_view text = in.Rest();
    const bool checked = PlainAscii(text);
    LogNull log;
    if (mode & 1)
        ResponseRoundTrip(text, codePage, checked, log);
    else
        MimeRoundTrip(text, codePage, checked, log);
    return 0;
}
