#pragma once

#include <zlib.h>

#include <string>

namespace plentor::testsupport {

// text as one gzip member, written by zlib's own encoder.
inline std::string Gzipped(const std::string& text)
{
    z_stream stream{};
    deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&stream, static_cast<uLong>(text.size())) + 64, '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    stream.avail_in = static_cast<uInt>(text.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

// A gzip member of size zero bytes, compressed block by block so that the
// inflated form is never held: a small body that claims a great deal.
inline std::string GzippedZeros(size_t size)
{
    z_stream stream{};
    deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
    const std::string zeros(64 * 1024, '\0');
    std::string out;
    char block[16 * 1024];
    for (size_t left = size;;) {
        const size_t n = left < zeros.size() ? left : zeros.size();
        left -= n;
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(zeros.data()));
        stream.avail_in = static_cast<uInt>(n);
        const int flush = left == 0 ? Z_FINISH : Z_NO_FLUSH;
        int rc;
        do {
            stream.next_out = reinterpret_cast<Bytef*>(block);
            stream.avail_out = sizeof block;
            rc = deflate(&stream, flush);
            out.append(block, sizeof block - stream.avail_out);
        } while (stream.avail_out == 0);
        if (rc == Z_STREAM_END || flush == Z_FINISH) break;
    }
    deflateEnd(&stream);
    return out;
}

} // namespace plentor::testsupport
