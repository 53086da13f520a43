#pragma once

namespace plentor {

// The MIME type of a file by its name's extension, for the file parts of
// multipart form data.
class MimeTypes {
public:
    static constexpr const char* kDefaultType = "application/octet-stream";

    // The type for the text after the last "." of the file name (ASCII
    // case-insensitive); kDefaultType for no name, no extension or an
    // unknown one. Never null.
    static const char* ForFileName(const char* fileName);
};

} // namespace plentor
