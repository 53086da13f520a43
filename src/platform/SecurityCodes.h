#pragma once

#include <cstdint>

namespace plentor::platform {

// The numbers of the Windows security provider interface, used unchanged by
// every provider implementation so that the channel above branches on one
// set of codes whatever library does the work.

using SecStatus = uint32_t;

// Status codes. Values with the top bit set are failures.
constexpr SecStatus kSecOk = 0;
constexpr SecStatus kSecContinueNeeded = 0x00090312;
constexpr SecStatus kSecContextExpired = 0x00090317;
constexpr SecStatus kSecIncompleteCredentials = 0x00090320;
constexpr SecStatus kSecRenegotiate = 0x00090321;
constexpr SecStatus kSecInsufficientMemory = 0x80090300;
constexpr SecStatus kSecInvalidHandle = 0x80090301;
constexpr SecStatus kSecUnsupportedFunction = 0x80090302;
constexpr SecStatus kSecInternalError = 0x80090304;
constexpr SecStatus kSecInvalidToken = 0x80090308;
constexpr SecStatus kSecMessageAltered = 0x8009030F;
constexpr SecStatus kSecNoAuthenticatingAuthority = 0x80090311;   // e.g. no enabled protocol is available
constexpr SecStatus kSecIncompleteMessage = 0x80090318;
constexpr SecStatus kSecBufferTooSmall = 0x80090321;
constexpr SecStatus kSecWrongPrincipal = 0x80090322;
constexpr SecStatus kSecUntrustedRoot = 0x80090325;
constexpr SecStatus kSecIllegalMessage = 0x80090326;
constexpr SecStatus kSecCertUnknown = 0x80090327;
constexpr SecStatus kSecCertExpired = 0x80090328;
constexpr SecStatus kSecDecryptFailure = 0x80090330;
constexpr SecStatus kSecAlgorithmMismatch = 0x80090331;

constexpr bool SecFailed(SecStatus status) { return (status & 0x80000000u) != 0; }

// Buffer types.
constexpr uint32_t kSecBufferEmpty = 0;
constexpr uint32_t kSecBufferData = 1;
constexpr uint32_t kSecBufferToken = 2;
constexpr uint32_t kSecBufferMissing = 4;
constexpr uint32_t kSecBufferExtra = 5;
constexpr uint32_t kSecBufferStreamTrailer = 6;
constexpr uint32_t kSecBufferStreamHeader = 7;

// Context requirements asked of and granted by the initialize-context call.
constexpr uint32_t kIscReplayDetect = 0x4;
constexpr uint32_t kIscSequenceDetect = 0x8;
constexpr uint32_t kIscConfidentiality = 0x10;
constexpr uint32_t kIscAllocateMemory = 0x100;
constexpr uint32_t kIscExtendedError = 0x4000;
constexpr uint32_t kIscStream = 0x8000;

// Credential flags.
constexpr uint32_t kCredManualValidation = 0x08;   // the caller judges the server certificate
constexpr uint32_t kCredNoDefaultCreds = 0x10;     // never pick a client certificate on its own

// Protocol bits of the enabled-protocols mask and of the connection information.
constexpr uint32_t kProtPct1Client = 0x2;
constexpr uint32_t kProtSsl2Client = 0x8;
constexpr uint32_t kProtSsl3Server = 0x10;
constexpr uint32_t kProtSsl3Client = 0x20;
constexpr uint32_t kProtTls1Server = 0x40;
constexpr uint32_t kProtTls1Client = 0x80;
constexpr uint32_t kProtTls11Server = 0x100;
constexpr uint32_t kProtTls11Client = 0x200;
constexpr uint32_t kProtTls12Server = 0x400;
constexpr uint32_t kProtTls12Client = 0x800;
constexpr uint32_t kProtTls13Server = 0x1000;
constexpr uint32_t kProtTls13Client = 0x2000;

// Algorithm identifiers of ciphers, hashes and key exchanges.
constexpr uint32_t kAlgDes = 0x6601;
constexpr uint32_t kAlgRc2 = 0x6602;
constexpr uint32_t kAlgTripleDes = 0x6603;
constexpr uint32_t kAlgSkipjack = 0x660A;
constexpr uint32_t kAlgCylinkMek = 0x660C;
constexpr uint32_t kAlgAes128 = 0x660E;
constexpr uint32_t kAlgAes192 = 0x660F;
constexpr uint32_t kAlgAes256 = 0x6610;
constexpr uint32_t kAlgRc4 = 0x6801;
constexpr uint32_t kAlgMd5 = 0x8003;
constexpr uint32_t kAlgSha1 = 0x8004;
constexpr uint32_t kAlgSha256 = 0x800C;
constexpr uint32_t kAlgSha384 = 0x800D;
constexpr uint32_t kAlgSha512 = 0x800E;
constexpr uint32_t kAlgRsaSign = 0x2400;
constexpr uint32_t kAlgRsaKeyExchange = 0xA400;
constexpr uint32_t kAlgDhEphemeral = 0xAA02;
constexpr uint32_t kAlgKea = 0xAA04;
constexpr uint32_t kAlgEcdhEphemeral = 0xAE06;

// Policy errors of the server certificate check (0 means good).
constexpr uint32_t kCertExpired = 0x800B0101;
constexpr uint32_t kCertValidityPeriodNesting = 0x800B0102;
constexpr uint32_t kCertRole = 0x800B0103;
constexpr uint32_t kCertPathLenConst = 0x800B0104;
constexpr uint32_t kCertCritical = 0x800B0105;
constexpr uint32_t kCertPurpose = 0x800B0106;
constexpr uint32_t kCertIssuerChaining = 0x800B0107;
constexpr uint32_t kCertMalformed = 0x800B0108;
constexpr uint32_t kCertUntrustedRoot = 0x800B0109;
constexpr uint32_t kCertChaining = 0x800B010A;
constexpr uint32_t kTrustFail = 0x800B010B;
constexpr uint32_t kCertRevoked = 0x800B010C;
constexpr uint32_t kCertUntrustedTestRoot = 0x800B010D;
constexpr uint32_t kCertRevocationFailure = 0x800B010E;
constexpr uint32_t kCertCnNoMatch = 0x800B010F;
constexpr uint32_t kCertWrongUsage = 0x800B0110;
constexpr uint32_t kTrustCertSignature = 0x80096004;

// Checks a certificate verification may be told to skip.
constexpr uint32_t kIgnoreRevocation = 0x80;
constexpr uint32_t kIgnoreUnknownCa = 0x100;
constexpr uint32_t kIgnoreWrongUsage = 0x200;
constexpr uint32_t kIgnoreCertCnInvalid = 0x1000;
constexpr uint32_t kIgnoreCertDateInvalid = 0x2000;

} // namespace plentor::platform
