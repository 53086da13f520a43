#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace plentor {
class DataBuffer;
class StringBuffer;
} // namespace plentor

// Every byte the tool reads from its input or writes as its output passes
// here, so that the streams are set up once and carry bytes unchanged.
namespace plentor::cli {

// Puts standard input and output in binary mode (on Windows text mode would
// add CR before every LF written and drop it from every CR LF read). Messages
// on standard error keep the platform's line ends. Called by main first.
void PrepareStandardStreams();

// Writes bytes to standard output as they are; false on a write error.
bool WriteOutput(const void* data, size_t n);
bool WriteOutput(std::string_view text);
bool WriteOutput(const StringBuffer& text);
bool WriteOutput(const DataBuffer& bytes);

// Writes a message or a log's text to standard error.
void WriteMessage(std::string_view text);
void WriteMessage(const StringBuffer& text);

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
