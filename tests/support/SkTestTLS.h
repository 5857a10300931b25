#pragma once
// TLS for tests: a self-signed certificate written by the library itself, and a blocking TLS
// client for servers on 127.0.0.1.
#include <cstdint>
#include <string>
#include <string_view>

struct TSkTestCertificate {
  std::string Password;                     // encrypts the key (AES-256) when not empty
  long NotBeforeSeconds = -3600;            // validity, relative to now
  long NotAfterSeconds = 30L * 24 * 3600;
  std::string CommonName = "127.0.0.1";
};
// Writes the certificate and its private key (P-256) as PEM files.
void SkWriteTestCertificate(const std::string& ACertFile, const std::string& AKeyFile,
                            const TSkTestCertificate& AOptions = {});

struct TSkTLSAnswer {
  bool Handshake = false;   // the TLS session was set up
  std::string Version;      // "TLSv1.3", ...
  std::string Cipher;
  std::string Answer;       // everything the server sent until it closed
  std::string Error;        // the library's text when the handshake failed
};
// Connects, offers only the versions from AMinVersion to AMaxVersion (the library's constants;
// 0: its defaults, older ones enabled on request), sends ARequest and reads until the close.
TSkTLSAnswer SkTLSRoundTrip(uint16_t APort, std::string_view ARequest, int AMinVersion = 0, int AMaxVersion = 0);
