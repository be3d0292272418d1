#include "tests/support/TestCertificateAuthority.hpp"

#include "tests/support/TemporaryDirectory.hpp"
#include "tests/support/TestFiles.hpp"

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <cstdlib>
#include <memory>
#include <stdexcept>

namespace kestrava::test {
namespace {

template<auto release>
struct Release {
    template<typename T>
    void operator()(T* object) const noexcept {
        release(object);
    }
};

using Key = std::unique_ptr<EVP_PKEY, Release<EVP_PKEY_free>>;
using Certificate = std::unique_ptr<X509, Release<X509_free>>;
using Memory = std::unique_ptr<BIO, Release<BIO_free>>;

void check(bool succeeded) {
    if (!succeeded) {
        throw std::runtime_error("making a test certificate failed");
    }
}

Key newKey() {
    Key key(EVP_EC_gen("P-256"));
    check(key != nullptr);
    return key;
}

void addName(X509_NAME* name, const char* commonName) {
    check(X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                                     reinterpret_cast<const unsigned char*>(commonName), -1, -1, 0) == 1);
}

void addExtension(X509* certificate, X509* issuer, int nid, const char* value) {
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, issuer, certificate, nullptr, nullptr, 0);
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
    check(extension != nullptr);
    const int added = X509_add_ext(certificate, extension, -1);
    X509_EXTENSION_free(extension);
    check(added == 1);
}

// A certificate valid from an hour ago for a day; `issuer` nothing for a self-signed one.
Certificate newCertificate(const char* commonName, EVP_PKEY* key, X509* issuer, EVP_PKEY* issuerKey,
                           long serial, const std::string& serverNames = "DNS:localhost,IP:127.0.0.1") {
    Certificate certificate(X509_new());
    check(certificate != nullptr);
    check(X509_set_version(certificate.get(), 2) == 1);
    check(ASN1_INTEGER_set(X509_get_serialNumber(certificate.get()), serial) == 1);
    check(X509_gmtime_adj(X509_getm_notBefore(certificate.get()), -3600) != nullptr);
    check(X509_gmtime_adj(X509_getm_notAfter(certificate.get()), 24 * 3600) != nullptr);
    check(X509_set_pubkey(certificate.get(), key) == 1);
    addName(X509_get_subject_name(certificate.get()), commonName);
    X509* signer = issuer != nullptr ? issuer : certificate.get();
    check(X509_set_issuer_name(certificate.get(), X509_get_subject_name(signer)) == 1);
    addExtension(certificate.get(), signer, NID_subject_key_identifier, "hash");
    if (issuer == nullptr) {
        addExtension(certificate.get(), signer, NID_basic_constraints, "critical,CA:TRUE");
        addExtension(certificate.get(), signer, NID_key_usage, "critical,keyCertSign,cRLSign");
    } else {
        addExtension(certificate.get(), signer, NID_authority_key_identifier, "keyid:always");
        addExtension(certificate.get(), signer, NID_basic_constraints, "critical,CA:FALSE");
        addExtension(certificate.get(), signer, NID_key_usage, "critical,digitalSignature");
        addExtension(certificate.get(), signer, NID_ext_key_usage, "serverAuth");
        addExtension(certificate.get(), signer, NID_subject_alt_name, serverNames.c_str());
    }
    check(X509_sign(certificate.get(), issuerKey != nullptr ? issuerKey : key, EVP_sha256()) > 0);
    return certificate;
}

template<typename Write>
std::string pem(Write write) {
    Memory memory(BIO_new(BIO_s_mem()));
    check(memory != nullptr);
    check(write(memory.get()) == 1);
    char* data = nullptr;
    const long size = BIO_get_mem_data(memory.get(), &data);
    return std::string(data, static_cast<std::size_t>(size));
}

std::string privateKeyPem(EVP_PKEY* key) {
    return pem(
        [&](BIO* out) { return PEM_write_bio_PrivateKey(out, key, nullptr, nullptr, 0, nullptr, nullptr); });
}

EVP_PKEY* readPrivateKey(const std::string& text) {
    Memory memory(BIO_new_mem_buf(text.data(), static_cast<int>(text.size())));
    EVP_PKEY* key = PEM_read_bio_PrivateKey(memory.get(), nullptr, nullptr, nullptr);
    check(key != nullptr);
    return key;
}

X509* readCertificate(const std::string& text) {
    Memory memory(BIO_new_mem_buf(text.data(), static_cast<int>(text.size())));
    X509* certificate = PEM_read_bio_X509(memory.get(), nullptr, nullptr, nullptr);
    check(certificate != nullptr);
    return certificate;
}

// The trusted authority's certificate file, in a folder of this process's own (no other user can have
// put a file there first), removed when the process ends.
class TrustFile {
public:
    explicit TrustFile(const std::string& certificatePem) : path_(folder_ / "authority.pem") {
        writeText(path_, certificatePem);
        check(setenv("SSL_CERT_FILE", path_.c_str(), 1) == 0);
    }

private:
    TemporaryDirectory folder_;
    std::filesystem::path path_;
};

} // namespace

TestCertificateAuthority::TestCertificateAuthority() {
    const Key authorityKey = newKey();
    const Certificate authority =
        newCertificate("Kestrava Test Authority", authorityKey.get(), nullptr, nullptr, 1);
    certificatePem_ = pem([&](BIO* out) { return PEM_write_bio_X509(out, authority.get()); });
    authorityKeyPem_ = privateKeyPem(authorityKey.get());
    issueServerCertificate("localhost", "DNS:localhost,IP:127.0.0.1");
}

TestCertificateAuthority TestCertificateAuthority::serverNamed(const std::string& dnsName) const {
    TestCertificateAuthority other = *this;
    other.issueServerCertificate(dnsName.c_str(), "DNS:" + dnsName);
    return other;
}

void TestCertificateAuthority::issueServerCertificate(const char* commonName,
                                                      const std::string& serverNames) {
    const Key authorityKey(readPrivateKey(authorityKeyPem_));
    const Certificate authority(readCertificate(certificatePem_));
    const Key serverKey = newKey();
    static long serial = 1;
    const Certificate server = newCertificate(commonName, serverKey.get(), authority.get(),
                                              authorityKey.get(), ++serial, serverNames);
    serverCertificatePem_ = pem([&](BIO* out) { return PEM_write_bio_X509(out, server.get()); });
    serverKeyPem_ = privateKeyPem(serverKey.get());
}

const TestCertificateAuthority& TestCertificateAuthority::trusted() {
    static const TestCertificateAuthority authority;
    static const TrustFile file(authority.certificatePem());
    return authority;
}

} // namespace kestrava::test
