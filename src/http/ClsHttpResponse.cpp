#include "http/ClsHttpResponse.h"

#include "base/LogNull.h"
#include "text/CharsetNames.h"
#include "text/EncodingConvert.h"
#include "text/XString.h"

namespace plentor {

namespace {

// What HTTP/1.1 assumes for text without a declared charset.
constexpr const char* kDefaultBodyCharset = "iso-8859-1";

} // namespace

void ClsHttpResponse::GetBodyText(XString& out) const
{
    StringBuffer charset;
    if (!result_.header.GetCharset(charset) || charset.IsEmpty())
        charset.SetString(kDefaultBodyCharset);
    int codePage = CharsetNames::CodePageFromName(charset.GetString());
    // An unknown name is read as the default rather than losing the body.
    if (codePage == 0) codePage = EncodingConvert::kLatin1;

    StringBuffer utf8;
    if (codePage == EncodingConvert::kUtf8) {
        utf8.AppendDataBuffer(body_);
    } else {
        DataBuffer converted;
        LogNull quiet;
        EncodingConvert converter;
        converter.Convert(codePage, EncodingConvert::kUtf8, body_.Data(), body_.Size(), converted, quiet);
        utf8.AppendDataBuffer(converted);
    }
    out.SetUtf8(utf8.GetString());
}

} // namespace plentor
