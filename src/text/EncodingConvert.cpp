#include "text/EncodingConvert.h"

#include "base/LogBase.h"
#include "base/LogNull.h"
#include "text/CharsetNames.h"
#include "text/HexDigits.h"
#include "text/Iso2022Forms.h"
#include "text/MacArabic.h"
#include "text/Surrogates.h"
#include "text/TablePages.h"
#include "text/TextCodec.h"
#include "text/UnicodeForms.h"

#include <algorithm>
#include <new>

namespace plentor {

struct EncodingConvert::Offending {
    uint32_t code = 0;           // the character, or the first undecodable byte
    bool isCharacter = false;
    const uint8_t* raw = nullptr;   // the undecodable source bytes (none for a unit the target lacks)
    unsigned rawLength = 0;
};

namespace {

// Loads the tables a code page needs; false when it has none (or they are
// damaged), with a log line.
bool LoadTables(int codePage, LogBase& log)
{
    if (UnicodeForms::IsUnicodeForm(codePage))
        return true;
    int page = Iso2022Forms::TablePageBehind(codePage) != 0 ? Iso2022Forms::TablePageBehind(codePage) : codePage;
    if (TablePages::IsTablePage(page))
        return TablePages::Load(page, log);
    log.LogError("Unsupported code page");
    log.LogDataLong("codePage", codePage);
    return false;
}

// The codec of a code page read or written by the core conversion (UTF-16,
// UTF-8 or a table page; LoadTables has succeeded for it).
bool MakeCodec(int codePage, TextCodec& codec, LogBase& log)
{
    return UnicodeForms::MakeCodec(codePage, codec) || TablePages::MakeCodec(codePage, codec, log);
}

// Units decoded per step: the input is converted in slices of this size, so
// the intermediate UTF-16 text never needs more than a small stack buffer.
constexpr size_t kChunkUnits = 4096;

// Makes room for n more bytes in out, growing by at least half of its size
// so that repeated small requests stay linear.
void EnsureRoom(DataBuffer& out, size_t n)
{
    if (out.Capacity() - out.Size() >= n && !out.IsBorrowed())
        return;
    size_t grow = std::max(n, static_cast<size_t>(out.Size() / 2));
    if (uint64_t{out.Size()} + grow > UINT32_MAX)
        grow = n;   // near the size limit only what is needed; Reserve reports overflow
    out.Reserve(static_cast<unsigned>(std::min<size_t>(grow, UINT32_MAX)));
}

// Called after each slice, which took the input from before to pos of n
// bytes: once the first full slice is done, makes room for the rest of the
// output at the rate that slice showed, plus an eighth. A long conversion
// then grows its output once instead of step by step (EnsureRoom still covers
// text that turns out longer). Only an estimate: a refused allocation is ignored.
void ReserveAfterFirstSlice(DataBuffer& out, size_t start, size_t before, size_t pos, size_t n)
{
    if (before >= kChunkUnits || pos < kChunkUnits || pos >= n)
        return;
    uint64_t estimate = uint64_t{out.Size() - start} * (n - pos) / pos;
    estimate += estimate / 8;
    if (estimate == 0 || uint64_t{out.Size()} + estimate > UINT32_MAX)
        return;
    try {
        out.Reserve(static_cast<unsigned>(estimate));
    } catch (const std::bad_alloc&) {
    }
}

// The loop of the conversions that write the target straight from the source
// bytes: slices of kChunkUnits bytes, each with room for bytesPerByte output
// bytes per input byte and one more. step(pos, slice) converts from pos,
// writing at the end of out, moves pos on and says whether all converted.
template <class Step>
bool ConvertInSlices(size_t n, unsigned bytesPerByte, DataBuffer& out, Step step)
{
    bool ok = true;
    size_t pos = 0;
    const size_t start = out.Size();
    while (pos < n) {
        size_t slice = std::min(n - pos, kChunkUnits);
        EnsureRoom(out, slice * bytesPerByte + 1);
        size_t before = pos;
        ok &= step(pos, slice);
        ReserveAfterFirstSlice(out, start, before, pos, n);
    }
    return ok;
}

// The text "&#x", the code in upper-case hex and ";".
size_t FormatHexEntity(uint32_t code, char16_t* text)
{
    size_t n = 0;
    text[n++] = u'&';
    text[n++] = u'#';
    text[n++] = u'x';
    int shift = 28;
    while (shift > 0 && (code >> shift) == 0)
        shift -= 4;
    for (; shift >= 0; shift -= 4)
        text[n++] = static_cast<char16_t>(HexDigits::kUpper[(code >> shift) & 0xF]);
    text[n++] = u';';
    return n;
}

// Kind bytes of marked errors.
constexpr uint8_t kHexEntityKind = 5;
constexpr uint8_t kCopyByteKind = 1;

} // namespace

// ---- EncodingConvert ------------------------------------------------------------

bool EncodingConvert::SetSubstitute(const void* bytes, unsigned n)
{
    if (n > kMaxSubstituteBytes)
        return false;
    substitute_.Clear();
    substitute_.AppendBytes(bytes, n);
    return true;
}

bool EncodingConvert::IsSupported(int codePage)
{
    return UnicodeForms::IsUnicodeForm(codePage) || Iso2022Forms::TablePageBehind(codePage) != 0 ||
           TablePages::IsTablePage(codePage);
}

bool EncodingConvert::ConvertByName(const char* fromName, const char* toName, const void* bytes, unsigned n,
                                    DataBuffer& out, LogBase& log)
{
    int from = CharsetNames::CodePageFromName(fromName);
    int to = CharsetNames::CodePageFromName(toName);
    if (from != 0 && to != 0)
        return Convert(from, to, bytes, n, out, log);
    // An unknown target would otherwise read as 0, "copy unchanged".
    const char* unknown = from == 0 ? fromName : toName;
    log.LogError("Unknown charset");
    log.LogData("charset", unknown != nullptr ? unknown : "");
    fromCodePage_ = from;
    toCodePage_ = to;
    return false;
}

bool EncodingConvert::Convert(int fromCodePage, int toCodePage, const void* bytes, unsigned n, DataBuffer& out,
                              LogBase& log)
{
    fromCodePage_ = fromCodePage;
    toCodePage_ = toCodePage;
    const auto* p = static_cast<const uint8_t*>(bytes);
    if (p == nullptr)
        n = 0;
    try {
        if (toCodePage == 0 || toCodePage == fromCodePage) {
            out.AppendBytes(p, n);
            return true;
        }
        if (!LoadTables(fromCodePage, log) || !LoadTables(toCodePage, log))
            return false;
        if (errorAction == kAltCodePage && altCodePage != 0 && !LoadTables(altCodePage, log))
            log.LogInfo("Characters the target cannot hold are dropped");
        return ConvertFromSource(fromCodePage, toCodePage, p, n, out, log);
    } catch (const std::bad_alloc&) {
        log.LogError("Conversion output is too large");
        return false;
    }
}

// Source forms read by a pass of their own before the core conversion.
bool EncodingConvert::ConvertFromSource(int from, int to, const uint8_t* p, size_t n, DataBuffer& out, LogBase& log)
{
    DataBuffer decoded;
    bool ok = true;
    if (from == kMacArabic) {
        decoded.AppendBytes(p, static_cast<unsigned>(n));
        MacArabic::FixUp(decoded.Data(), decoded.Size());
    } else if (Iso2022Forms::TablePageBehind(from) != 0) {
        ok = Iso2022Forms::Decode(from, p, n, decoded);
        from = Iso2022Forms::TablePageBehind(from);
    } else if (from == kUtf7) {
        ok = UnicodeForms::DecodeUtf7(p, n, decoded);
        from = kUtf16Le;
    } else if (UnicodeForms::IsUtf32(from)) {
        ok = UnicodeForms::DecodeUtf32(from, p, n, decoded);
        from = kUtf16Le;
    } else {
        return ConvertToTarget(from, to, p, n, out, log);
    }
    return ConvertToTarget(from, to, decoded.Data(), decoded.Size(), out, log) && ok;
}

// Target forms written by a pass of their own after the core conversion.
bool EncodingConvert::ConvertToTarget(int from, int to, const uint8_t* p, size_t n, DataBuffer& out, LogBase& log)
{
    int core = Iso2022Forms::TablePageBehind(to);
    if (core == 0 && to == kUtf7)
        core = kUtf16Le;
    if (core == 0 && UnicodeForms::IsUtf32(to))
        core = kUtf8;
    if (core == 0)
        return ConvertCore(from, to, p, n, out, log);

    DataBuffer staged;
    const uint8_t* text = p;
    size_t length = n;
    bool ok = true;
    if (from == kUtf8 && core == kUtf8) {
        // UTF-8 goes to UTF-32 whole, four-byte sequences included.
        size_t mark = UnicodeForms::ByteOrderMarkLength(from, p, n);
        text += mark;
        length -= mark;
    } else {
        ok = ConvertCore(from, core, p, n, staged, log);
        text = staged.Data();
        length = staged.Size();
    }
    if (Iso2022Forms::TablePageBehind(to) != 0)
        return Iso2022Forms::Encode(to, text, length, out) && ok;
    if (to == kUtf7) {
        UnicodeForms::EncodeUtf7(text, length, out);
        return ok;
    }
    return UnicodeForms::EncodeUtf32(to, text, length, out) && ok;
}

// Source -> UTF-16LE -> target, for UTF-16, UTF-8 and the table pages.
bool EncodingConvert::ConvertCore(int from, int to, const uint8_t* p, size_t n, DataBuffer& out, LogBase& log)
{
    size_t skip = UnicodeForms::ByteOrderMarkLength(from, p, n);
    p += skip;
    n -= skip;
    if (from == to) {
        out.AppendBytes(p, static_cast<unsigned>(n));
        return true;
    }
    TextCodec source, target;
    if (!MakeCodec(from, source, log) || !MakeCodec(to, target, log))
        return false;
    return Transcode(source, target, p, n, out);
}

bool EncodingConvert::Transcode(const TextCodec& from, const TextCodec& to, const uint8_t* p, size_t n,
                                DataBuffer& out)
{
    if (from.decodeToUtf8 != nullptr && to.codePage == kUtf8)
        return TranscodeToUtf8(from, to, p, n, out);
    if (from.codePage == kUtf8 && to.encodeFromUtf8 != nullptr)
        return TranscodeFromUtf8(from, to, p, n, out);
    return TranscodeByUnits(from, to, p, n, out);
}

// Source -> UTF-16 slice -> target, for any pair of codecs.
bool EncodingConvert::TranscodeByUnits(const TextCodec& from, const TextCodec& to, const uint8_t* p, size_t n,
                                       DataBuffer& out)
{
    char16_t units[kChunkUnits];
    size_t carried = 0;   // a high surrogate kept back to meet its low half in the next slice
    bool ok = true;
    size_t pos = 0;
    const size_t start = out.Size();
    while (pos < n) {
        TextCodec::DecodeResult r = from.decode(from, p + pos, n - pos, units + carried, kChunkUnits - carried);
        size_t count = carried + r.written;
        size_t before = pos;
        pos += r.consumed;
        carried = 0;
        if (count > 0 && Surrogates::IsHigh(units[count - 1]) && pos < n && r.badBytes == 0) {
            carried = 1;
            --count;
        }
        ok &= EncodeUnits(to, units, count, out, OnError::kApplyAction);
        if (carried > 0)
            units[0] = units[count];
        ok &= SkipUnreadable(to, r, p, pos, out);
        ReserveAfterFirstSlice(out, start, before, pos, n);
    }
    if (carried > 0)
        ok &= EncodeUnits(to, units, carried, out, OnError::kApplyAction);
    return ok;
}

// Writes what errorAction says for the sequence that stopped a decoder at
// pos, if any, and moves pos past it. False when there was one.
bool EncodingConvert::SkipUnreadable(const TextCodec& to, const TextCodec::DecodeResult& r, const uint8_t* p,
                                     size_t& pos, DataBuffer& out)
{
    if (r.badBytes == 0)
        return true;
    Offending bad{r.badCode, r.badIsCharacter, p + pos, r.badBytes};
    EmitError(to, bad, out);
    pos += r.badBytes;
    return false;
}

// Transcode for a source that decodes straight into UTF-8.
bool EncodingConvert::TranscodeToUtf8(const TextCodec& from, const TextCodec& to, const uint8_t* p, size_t n,
                                      DataBuffer& out)
{
    return ConvertInSlices(n, TextCodec::kUtf8BytesPerByte, out, [&](size_t& pos, size_t slice) {
        TextCodec::DecodeResult r = from.decodeToUtf8(from, p + pos, slice, out.Data() + out.Size());
        out.SetSize(out.Size() + static_cast<unsigned>(r.written));
        pos += r.consumed;
        return SkipUnreadable(to, r, p, pos, out);
    });
}

// Transcode for UTF-8 text to a target that reads it directly. Where the
// target stops (a character it lacks, a sequence it does not read), the text
// up to the next 7-bit byte is converted by units: error actions then see
// what they would have seen, and no surrogate pair is split.
bool EncodingConvert::TranscodeFromUtf8(const TextCodec& from, const TextCodec& to, const uint8_t* p, size_t n,
                                        DataBuffer& out)
{
    return ConvertInSlices(n, 1, out, [&](size_t& pos, size_t slice) {
        TextCodec::EncodeResult r = to.encodeFromUtf8(to, p + pos, slice, out.Data() + out.Size());
        out.SetSize(out.Size() + static_cast<unsigned>(r.written));
        pos += r.consumed;
        if (!r.failed)
            return true;
        size_t end = pos + 1;
        while (end < n && p[end] >= 0x80)
            ++end;
        bool ok = TranscodeByUnits(from, to, p + pos, end - pos, out);
        pos = end;
        return ok;
    });
}

bool EncodingConvert::EncodeUnits(const TextCodec& to, const char16_t* units, size_t count, DataBuffer& out,
                                  OnError onError)
{
    bool ok = true;
    size_t i = 0;
    while (i < count) {
        EnsureRoom(out, (count - i) * to.maxBytesPerUnit);
        TextCodec::EncodeResult r = to.encode(to, units + i, count - i, out.Data() + out.Size());
        out.SetSize(out.Size() + static_cast<unsigned>(r.written));
        i += r.consumed;
        if (!r.failed)
            continue;
        ok = false;
        // A surrogate pair the target cannot hold is one character.
        Offending bad{units[i], true, nullptr, 0};
        size_t length = 1;
        if (Surrogates::IsHigh(units[i]) && i + 1 < count && Surrogates::IsLow(units[i + 1])) {
            bad.code = Surrogates::Combine(units[i], units[i + 1]);
            length = 2;
        }
        if (onError == OnError::kApplyAction)
            EmitError(to, bad, out);
        i += length;
    }
    return ok;
}

// Writes what errorAction says for one unit the conversion could not carry.
void EncodingConvert::EmitError(const TextCodec& to, const Offending& bad, DataBuffer& out)
{
    switch (errorAction) {
    case kSubstitute:
        if (substitute_.Size() > 0) {
            Mark(static_cast<uint8_t>(substitute_.Size()), out);
            out.AppendBuffer(substitute_);
        }
        break;
    case kHexEntity: {
        char16_t text[16];
        size_t length = FormatHexEntity(bad.code, text);
        Mark(kHexEntityKind, out);
        EncodeUnits(to, text, length, out, OnError::kDrop);
        break;
    }
    case kCopyByte:
        if (bad.rawLength > 0) {
            Mark(kCopyByteKind, out);
            out.AppendBytes(bad.raw, bad.rawLength);
        }
        break;
    case kAltCodePage:
        ConvertToAltCodePage(bad, out);
        break;
    default:
        break;
    }
}

// Error action 6: the character alone, converted to altCodePage (or to the
// target of the whole conversion) with its own errors dropped. Undecodable
// bytes are no character and are dropped.
void EncodingConvert::ConvertToAltCodePage(const Offending& bad, DataBuffer& out) const
{
    if (!bad.isCharacter)
        return;
    uint8_t utf16[4];
    unsigned length = 0;
    auto put = [&](uint32_t unit) {
        utf16[length++] = static_cast<uint8_t>(unit & 0xFF);
        utf16[length++] = static_cast<uint8_t>(unit >> 8);
    };
    if (bad.code >= Surrogates::kFirstAstral) {
        put(Surrogates::High(bad.code));
        put(Surrogates::Low(bad.code));
    } else {
        put(bad.code);
    }
    EncodingConvert single;
    LogNull quiet;   // an unsupported alternative was logged once by Convert
    single.Convert(kUtf16Le, altCodePage != 0 ? altCodePage : toCodePage_, utf16, length, out, quiet);
}

void EncodingConvert::Mark(uint8_t kind, DataBuffer& out) const
{
    if (!markErrors)
        return;
    const uint8_t mark[] = {kMarkByte1, kMarkByte2, kind};
    out.AppendBytes(mark, sizeof mark);
}

} // namespace plentor
