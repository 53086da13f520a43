// The Windows build of the suite has no OpenSSL to build the TLS peer on:
// this stand-in keeps the tests that use it compiling, and reports itself
// unavailable. The Windows test main leaves those tests out.
#include "support/TlsPeer.h"

namespace plentor::testsupport {

TlsPeerConnection::TlsPeerConnection(LoopbackSocket& socket, ssl_st* ssl) : socket_(socket), ssl_(ssl) {}
TlsPeerConnection::~TlsPeerConnection() = default;

bool TlsPeerConnection::ReadRawUntil(const std::string&, std::string&) { return false; }
bool TlsPeerConnection::ReadRaw(std::string&) { return false; }
bool TlsPeerConnection::SendRaw(const std::string&) { return false; }
bool TlsPeerConnection::Handshake(const std::string&) { return false; }
bool TlsPeerConnection::ReadRecord(std::string&) { return false; }
bool TlsPeerConnection::ReadRequest(std::string&, std::vector<size_t>*) { return false; }
void TlsPeerConnection::DrainUntilClosed() {}
bool TlsPeerConnection::Send(const std::string&) { return false; }
bool TlsPeerConnection::Renegotiate() { return false; }
void TlsPeerConnection::SendCloseNotify() {}

TlsPeer::TlsPeer(std::vector<Script> scripts, TlsPeerOptions)
    : scripts_(std::move(scripts)), dir_("plentor-tls-"), certs_(dir_.Path()),
      error_("the TLS peer is built on OpenSSL, which the Windows build of the suite does not have")
{
}

TlsPeer::~TlsPeer() = default;

void TlsPeer::Join() {}

} // namespace plentor::testsupport
