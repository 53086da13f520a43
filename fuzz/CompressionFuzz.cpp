// gunzip/inflate, bare bzip2 blocks and the compressed container of the
// built-in tables. Packed data unpacks to what was packed.

#include "FuzzInput.h"

#include "base/LogNull.h"
#include "http/body/Gzip.h"
#include "text/BzipBlock.h"
#include "text/CompressedContainer.h"
#include "text/DataBuffer.h"
#include "text/StringBuffer.h"

using namespace plentor;
using namespace plentor::fuzz;

namespace {

enum class Mode { Gunzip, Bzip, Container, ContainerText, RoundTrip, Count };

// Output ceilings a caller may give BzipBlock; small ones exercise the cut.
constexpr unsigned kCeilings[] = {0, 1, 100, 4096, 1u << 20};
// Packing costs far more than unpacking; larger inputs add nothing.
constexpr size_t kMaxRoundTripBytes = 4096;

void RoundTrip(std::string_view bytes, LogBase& log)
{
    bytes = bytes.substr(0, kMaxRoundTripBytes);
    const auto n = static_cast<unsigned>(bytes.size());
    DataBuffer packed;
    Require(BzipBlock::Compress(bytes.data(), n, packed, log));
    DataBuffer unpacked;
    Require(BzipBlock::Decompress(packed.Data(), packed.Size(), n, unpacked, log));
    Require(unpacked.Equals(bytes.data(), n));
    StringBuffer container;
    Require(CompressedContainer::Pack(bytes.data(), n, container, log));
    DataBuffer fromContainer;
    Require(CompressedContainer::Unpack(container.GetString(), static_cast<unsigned>(container.GetLength()),
                                        fromContainer, log));
    Require(fromContainer.Equals(bytes.data(), n));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    const auto mode = static_cast<Mode>(in.Pick(static_cast<unsigned>(Mode::Count)));
    const unsigned ceiling = kCeilings[in.Pick(std::size(kCeilings))];
    const std::string_view bytes = in.Rest();
    const auto n = static_cast<unsigned>(bytes.size());
    LogNull log;
    DataBuffer out;
    switch (mode) {
    case Mode::Gunzip:
        if (!Gzip::Gunzip(DataBuffer(bytes.data(), n), out, log))
            Require(out.IsEmpty());
        break;
    case Mode::Bzip:
        if (!BzipBlock::Decompress(bytes.data(), n, ceiling, out, log))
            Require(out.IsEmpty());
        else
            Require(out.Size() <= ceiling);
        break;
    case Mode::Container:
        CompressedContainer::UnpackBinary(bytes.data(), n, out, log);
        break;
    case Mode::ContainerText:
        CompressedContainer::Unpack(bytes.data(), n, out, log);
        break;
    default:
        RoundTrip(bytes, log);
        break;
    }
    return 0;
}
