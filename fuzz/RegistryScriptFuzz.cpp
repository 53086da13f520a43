// The registration-script reader, run in both modes against a registry kept
// in memory whose Nth write may fail. A registration that fails part way
// leaves the (empty) registry as it found it.

#include "FuzzInput.h"

#include "module/RegistryScript.h"
#include "support/MemoryRegistry.h"

#include <string>

using namespace plentor;
using namespace plentor::fuzz;

namespace {

using testsupport::MemoryRegistry;

// Bytes as UTF-16: each byte one unit, or pairs of bytes little-endian.
std::u16string Widen(std::string_view bytes, bool pairs)
{
    std::u16string out;
    if (!pairs) {
        for (char c : bytes)
            out += static_cast<char16_t>(static_cast<unsigned char>(c));
        return out;
    }
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        out += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1]) << 8);
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    const uint8_t flags = in.Byte();
    const bool pairs = flags & 1;
    RegistryScript::Replacements replacements;
    replacements[u"MODULE"] = Widen(in.Piece('\n'), false);
    replacements[u"CLSID"] = u"{11111111-2222-3333-4444-555555555555}";
    const std::u16string text = Widen(in.Rest(), pairs);

    // The high four bits name the write that fails; 0 lets every write succeed.
    MemoryRegistry registry;
    registry.FailWriteNumber(flags >> 4);
    RegistryScript script(text, replacements, registry);
    const long registered = script.Register();
    if (registered != 0) {
        Require(registry.KeyCount() == 0);
        return 0;
    }
    RegistryScript again(text, replacements, registry);
    again.Unregister();
    if (flags & 2)
        again.Unregister();   // a second pass over keys that are gone
    return 0;
}
