#pragma once

#include <filesystem>
#include <string>

namespace kestrava::test {

// A certificate authority made with OpenSSL at test time, with one server certificate it signed for the
// name "localhost" and the address 127.0.0.1. Keys are P-256; everything is held as PEM text.
class TestCertificateAuthority {
public:
    TestCertificateAuthority();

    // The authority this test process trusts: made on first use, its certificate written to a file in a
    // temporary folder of the process's own and SSL_CERT_FILE pointed at that file before this returns. Call
    // it before any client connects (FakeRelay does so when it is constructed).
    static const TestCertificateAuthority& trusted();

    // The same authority with a server certificate for `dnsName` alone: a client that connects to
    // 127.0.0.1 trusts the authority but must refuse the server.
    TestCertificateAuthority serverNamed(const std::string& dnsName) const;

    const std::string& certificatePem() const noexcept { return certificatePem_; }
    const std::string& serverCertificatePem() const noexcept { return serverCertificatePem_; }
    const std::string& serverKeyPem() const noexcept { return serverKeyPem_; }

private:
    void issueServerCertificate(const char* commonName, const std::string& serverNames);

    std::string certificatePem_;
    std::string authorityKeyPem_;
    std::string serverCertificatePem_;
    std::string serverKeyPem_;
};

} // namespace kestrava::test
