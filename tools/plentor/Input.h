#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace plentor::cli {

// Whether a FILE argument stands for standard input: absent (empty) or "-".
bool IsStandardInput(const std::string& file);

// The name of the input in messages: FILE, or "standard input".
std::string InputName(const std::string& file);

// Reads standard input to its end. main() has put it in binary mode, so CR LF
// and ^Z arrive as bytes. Fails, with reason set, on a read error or as soon
// as more than maxBytes have arrived, so an endless stream cannot exhaust memory.
bool ReadStandardInput(size_t maxBytes, std::vector<uint8_t>& out, std::string& reason);

// Reads FILE whole, or standard input when IsStandardInput(file), with the
// same limit for both. On failure reason is the system's text (possibly empty).
bool ReadInput(const std::string& file, size_t maxBytes, std::vector<uint8_t>& out, std::string& reason);

} // namespace plentor::cli
