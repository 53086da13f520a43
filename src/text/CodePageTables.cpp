#include "text/CodePageTables.h"

#include "base/LogBase.h"
#include "text/CodePageData.h"
#include "text/CompressedContainer.h"
#include "text/ContentCoding.h"
#include "text/DataBuffer.h"
#include "text/EncodingConvert.h"
#include "text/UnicodeForms.h"

#include <memory>
#include <mutex>
#include <string>

namespace plentor {

namespace {

constexpr char kFlagSingleByte = 'a';
constexpr char kFlagDoubleByte = 'b';
constexpr char kFormatRuns = 'r';
constexpr char kKindPlain = 'x';
// A code is one byte or lead * 256 + trail; 0xFFFF is never a character.
constexpr uint32_t kMaxCode = 0xFFFE;
constexpr uint32_t kMaxSingleByteCode = 0xFF;
// A varint of the stored data carries at most 32 bits.
constexpr unsigned kMaxVarintBytes = 5;

struct Entry {
    uint16_t code;
    char16_t unit;
};

struct ParsedTable {
    std::vector<Entry> sequences;   // in code order
    std::vector<Entry> preferred;   // the sequence written for a shared unit
};

// Reads the bytes and varints of unpacked table data, never past its end.
class Reader {
public:
    Reader(const uint8_t* bytes, unsigned n) : p_(bytes), end_(bytes + n) {}

    bool Byte(uint8_t& b)
    {
        if (p_ == end_)
            return false;
        b = *p_++;
        return true;
    }

    bool Varint(uint32_t& value)
    {
        value = 0;
        for (unsigned i = 0; i < kMaxVarintBytes; ++i) {
            uint8_t b;
            if (!Byte(b))
                return false;
            value |= uint32_t(b & 0x7F) << (7 * i);
            if (!(b & 0x80))
                return true;
        }
        return false;
    }

    bool AtEnd() const { return p_ == end_; }

private:
    const uint8_t* p_;
    const uint8_t* end_;
};

int64_t Unzigzag(uint32_t v)
{
    return (v & 1) ? -int64_t(v >> 1) - 1 : int64_t(v >> 1);
}

bool ParseRun(Reader& in, uint32_t maxCode, uint32_t& end, int64_t& unit, std::vector<Entry>& out)
{
    uint32_t gap, length;
    if (!in.Varint(gap) || !in.Varint(length) || length == 0)
        return false;
    uint64_t first = uint64_t(end) + gap;
    if (first + length - 1 > maxCode)
        return false;
    for (uint32_t i = 0; i < length; ++i) {
        uint32_t delta;
        if (!in.Varint(delta))
            return false;
        unit += Unzigzag(delta);
        if (unit < 0 || unit >= HashConvert::kNoUnit)
            return false;
        out.push_back({uint16_t(first + i), char16_t(unit)});
    }
    end = uint32_t(first + length);
    return true;
}

bool ParsePreferred(Reader& in, uint32_t maxCode, std::vector<Entry>& out)
{
    uint32_t count;
    if (!in.Varint(count) || count > kMaxCode + 1)
        return false;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t unit, code;
        if (!in.Varint(unit) || !in.Varint(code) || unit >= HashConvert::kNoUnit || code > maxCode)
            return false;
        out.push_back({uint16_t(code), char16_t(unit)});
    }
    return true;
}

bool ParseTable(const DataBuffer& data, char flag, ParsedTable& table)
{
    Reader in(data.Data(), data.Size());
    uint8_t storedFlag, format;
    if (!in.Byte(storedFlag) || !in.Byte(format) || storedFlag != flag || format != kFormatRuns)
        return false;
    uint32_t maxCode = flag == kFlagSingleByte ? kMaxSingleByteCode : kMaxCode;
    uint32_t runs;
    if (!in.Varint(runs) || runs > kMaxCode + 1)
        return false;
    uint32_t end = 0;
    int64_t unit = 0;
    for (uint32_t i = 0; i < runs; ++i) {
        if (!ParseRun(in, maxCode, end, unit, table.sequences))
            return false;
    }
    return ParsePreferred(in, maxCode, table.preferred) && in.AtEnd();
}

bool LoadParsed(const CodePageData& page, char flag, ParsedTable& table, LogBase& log)
{
    std::string text;
    for (const char* const* line = page.lines; *line; ++line)
        text += *line;
    DataBuffer data;
    if (!CodePageTables::UnpackStoredText(text.data(), unsigned(text.size()), data, log))
        return false;
    if (!ParseTable(data, flag, table)) {
        log.LogError("Code page table data is malformed");
        return false;
    }
    return true;
}

bool ReadsAsciiAsItself(const UnicodeLookup& toUnicode)
{
    for (uint8_t b = 0; b < 0x80; ++b) {
        if (!toUnicode.IsMapped(b) || toUnicode.Unit(b) != b)
            return false;
    }
    return true;
}

// Each mapped byte's character in UTF-8, written by the UTF-8 codec.
void FillUtf8Forms(CodePageTables::SingleByteTable& table)
{
    TextCodec utf8;
    UnicodeForms::MakeCodec(EncodingConvert::kUtf8, utf8);
    for (unsigned b = 0; b < table.utf8.size(); ++b) {
        auto byte = static_cast<uint8_t>(b);
        if (!table.toUnicode.IsMapped(byte))
            continue;
        char16_t unit = table.toUnicode.Unit(byte);
        TextCodec::Utf8Form& form = table.utf8[b];
        form.length = static_cast<uint8_t>(utf8.encode(utf8, &unit, 1, form.bytes).written);
    }
}

std::unique_ptr<CodePageTables::SingleByteTable> BuildSingleByte(const CodePageData& page, LogBase& log)
{
    ParsedTable parsed;
    if (!LoadParsed(page, kFlagSingleByte, parsed, log))
        return nullptr;
    auto table = std::make_unique<CodePageTables::SingleByteTable>();
    for (const Entry& e : parsed.sequences) {
        table->toUnicode.Set(uint8_t(e.code), e.unit);
        table->fromUnicode.AddReverse(e.unit, e.code);
    }
    for (const Entry& e : parsed.preferred) {
        uint8_t byte = uint8_t(e.code);
        if (!table->toUnicode.IsMapped(byte) || table->toUnicode.Unit(byte) != e.unit) {
            log.LogError("Code page table prefers a byte that does not read as the character");
            return nullptr;
        }
        table->fromUnicode.AddReverse(e.unit, e.code, HashConvert::Reverse::kReplace);
    }
    table->fromUnicode.NoteAsciiIdentity();
    table->keepsAscii = table->fromUnicode.KeepsAscii() && ReadsAsciiAsItself(table->toUnicode);
    FillUtf8Forms(*table);
    return table;
}

std::unique_ptr<HashConvert> BuildDoubleByte(const CodePageData& page, LogBase& log)
{
    ParsedTable parsed;
    if (!LoadParsed(page, kFlagDoubleByte, parsed, log))
        return nullptr;
    auto table = std::make_unique<HashConvert>();
    for (const Entry& e : parsed.sequences)
        table->AddSequence(e.code, e.unit);
    for (const Entry& e : parsed.preferred) {
        if (!table->SetPreferred(e.unit, e.code)) {
            log.LogError("Code page table prefers a sequence that does not read as the character");
            return nullptr;
        }
    }
    table->NoteAsciiIdentity();
    return table;
}

int IndexOf(int codePage, CodePageData::Kind kind)
{
    for (unsigned i = 0; i < kCodePageDataCount; ++i) {
        if (kCodePageData[i].codePage == codePage && kCodePageData[i].kind == kind)
            return int(i);
    }
    return -1;
}

// One slot per stored table; built once, kept for the life of the process.
struct Slot {
    std::once_flag once;
    std::unique_ptr<CodePageTables::SingleByteTable> singleByte;
    std::unique_ptr<HashConvert> doubleByte;
};

Slot& SlotAt(int index)
{
    static std::vector<Slot> slots(kCodePageDataCount);
    return slots[unsigned(index)];
}

void LogMissing(const char* what, int codePage, LogBase& log)
{
    log.LogError(what);
    log.LogDataLong("codePage", codePage);
}

std::vector<int> PagesOf(CodePageData::Kind kind)
{
    std::vector<int> pages;
    for (unsigned i = 0; i < kCodePageDataCount; ++i) {
        if (kCodePageData[i].kind == kind)
            pages.push_back(kCodePageData[i].codePage);
    }
    return pages;
}

} // namespace

const CodePageTables::SingleByteTable* CodePageTables::SingleByte(int codePage, LogBase& log)
{
    int index = IndexOf(codePage, CodePageData::kSingleByte);
    if (index < 0) {
        LogMissing("No single-byte table for this code page", codePage, log);
        return nullptr;
    }
    Slot& slot = SlotAt(index);
    std::call_once(slot.once, [&] { slot.singleByte = BuildSingleByte(kCodePageData[index], log); });
    if (!slot.singleByte)
        LogMissing("Code page table is not available", codePage, log);
    return slot.singleByte.get();
}

const HashConvert* CodePageTables::DoubleByte(int codePage, LogBase& log)
{
    int index = IndexOf(codePage, CodePageData::kDoubleByte);
    if (index < 0) {
        LogMissing("No double-byte table for this code page", codePage, log);
        return nullptr;
    }
    Slot& slot = SlotAt(index);
    std::call_once(slot.once, [&] { slot.doubleByte = BuildDoubleByte(kCodePageData[index], log); });
    if (!slot.doubleByte)
        LogMissing("Code page table is not available", codePage, log);
    return slot.doubleByte.get();
}

bool CodePageTables::IsSingleBytePage(int codePage)
{
    return IndexOf(codePage, CodePageData::kSingleByte) >= 0;
}

bool CodePageTables::IsDoubleBytePage(int codePage)
{
    return IndexOf(codePage, CodePageData::kDoubleByte) >= 0;
}

std::vector<int> CodePageTables::SingleBytePages()
{
    return PagesOf(CodePageData::kSingleByte);
}

std::vector<int> CodePageTables::DoubleBytePages()
{
    return PagesOf(CodePageData::kDoubleByte);
}

bool CodePageTables::UnpackStoredText(const char* text, unsigned n, DataBuffer& out, LogBase& log)
{
    if (n == 0) {
        log.LogError("Stored table text is empty");
        return false;
    }
    if (text[0] != kKindPlain)
        return CompressedContainer::Unpack(text + 1, n - 1, out, log);
    if (!ContentCoding::DecodeBase64Strict(text + 1, n - 1, out)) {
        log.LogError("Stored table text is not valid Base64");
        return false;
    }
    return true;
}

} // namespace plentor
