#include "pagewright/PagewrightIdentity.h"

#include <openssl/bio.h>
#include <openssl/cms.h>
#include <openssl/err.h>
#include <openssl/pkcs12.h>
#include <openssl/x509.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "PdfSupport.h"
#include "pagewright/PagewrightPDFDocument.h"
#include "platform/Log.h"

namespace pagewright {
namespace {

// OpenSSL objects owned for a scope: freed on every path out, exceptions included.
template <auto Free>
struct OpenSSLDeleter {
    template <class T>
    void operator()(T* p) const {
        Free(p);
    }
};
struct OpenSSLMemoryDeleter {
    void operator()(void* p) const { OPENSSL_free(p); }
};
using BioPtr = std::unique_ptr<BIO, OpenSSLDeleter<BIO_free>>;
using PKCS12Ptr = std::unique_ptr<PKCS12, OpenSSLDeleter<PKCS12_free>>;
using CMSPtr = std::unique_ptr<CMS_ContentInfo, OpenSSLDeleter<CMS_ContentInfo_free>>;
using OpenSSLBytes = std::unique_ptr<unsigned char, OpenSSLMemoryDeleter>;

std::string openSSLError() {
    unsigned long code = ERR_get_error();
    if (!code) return "unknown OpenSSL error";
    char buffer[256];
    ERR_error_string_n(code, buffer, sizeof buffer);
    ERR_clear_error();
    return buffer;
}

std::string nameEntry(X509_NAME* name, int nid) {
    int index = X509_NAME_get_index_by_NID(name, nid, -1);
    if (index < 0) return "";
    ASN1_STRING* data = X509_NAME_ENTRY_get_data(X509_NAME_get_entry(name, index));
    unsigned char* raw = nullptr;
    int length = ASN1_STRING_to_UTF8(&raw, data);
    OpenSSLBytes utf8(raw);
    if (length < 0) return "";
    return std::string(reinterpret_cast<char*>(utf8.get()), static_cast<size_t>(length));
}

}  // namespace

struct PagewrightIdentity::Impl {
    EVP_PKEY* key = nullptr;
    X509* certificate = nullptr;
    STACK_OF(X509) * chain = nullptr;
    ~Impl() {
        EVP_PKEY_free(key);
        X509_free(certificate);
        sk_X509_pop_free(chain, X509_free);
    }
};

PagewrightIdentity::PagewrightIdentity() : d(std::make_unique<Impl>()) {}
PagewrightIdentity::~PagewrightIdentity() = default;

std::filesystem::path PagewrightIdentity::identitiesDirectory() {
    const char* data = std::getenv("XDG_DATA_HOME");
    std::filesystem::path base;
    if (data && *data) {
        base = data;
    } else {
        const char* home = std::getenv("HOME");
        base = std::filesystem::path(home ? home : ".") / ".local" / "share";
    }
    return base / "Ledgerlens" / "identities";
}

std::shared_ptr<PagewrightIdentity> PagewrightIdentity::identityWithPKCS12Data(
    const std::string& data, const std::string& password, platform::Error* error) {
    BioPtr bio(BIO_new_mem_buf(data.data(), static_cast<int>(data.size())));
    PKCS12Ptr p12(bio ? d2i_PKCS12_bio(bio.get(), nullptr) : nullptr);
    if (!p12) {
        platform::setError(error, PagewrightErrorDomain, PagewrightErrorSigningFailed,
                           "not a PKCS #12 file: " + openSSLError());
        return nullptr;
    }
    std::shared_ptr<PagewrightIdentity> identity(new PagewrightIdentity());
    int ok = PKCS12_parse(p12.get(), password.c_str(), &identity->d->key, &identity->d->certificate,
                          &identity->d->chain);
    // An export "without password" may have used an absent rather than an empty one.
    if (!ok && password.empty())
        ok = PKCS12_parse(p12.get(), nullptr, &identity->d->key, &identity->d->certificate,
                          &identity->d->chain);
    if (!ok || !identity->d->key || !identity->d->certificate) {
        platform::setError(error, PagewrightErrorDomain, PagewrightErrorSigningFailed,
                           "the PKCS #12 file cannot be opened without a password or holds no "
                           "key and certificate: " +
                               openSSLError());
        return nullptr;
    }
    return identity;
}

std::shared_ptr<PagewrightIdentity> PagewrightIdentity::findPDFIdentity(
    const std::string& summary, const std::filesystem::path& directory) {
    std::error_code ec;
    if (!std::filesystem::is_directory(directory, ec)) return nullptr;
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(directory, ec)) {
        auto ext = entry.path().extension().string();
        std::transform(ext.begin(), ext.end(), ext.begin(), ::tolower);
        if (entry.is_regular_file(ec) && (ext == ".p12" || ext == ".pfx"))
            files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    for (const auto& file : files) {
        std::string problem;
        auto data = readFileBounded(file, &problem);
        if (!data) continue;
        platform::Error error;
        auto identity = identityWithPKCS12Data(*data, "", &error);
        if (!identity) {
            platform::logLine("Pagewright: identity " + file.string() +
                              " skipped: " + error.localizedDescription);
            continue;
        }
        if (identity->subjectSummary() == summary) return identity;
    }
    return nullptr;
}

std::string PagewrightIdentity::subjectSummary() const {
    X509_NAME* subject = X509_get_subject_name(d->certificate);
    for (int nid : {NID_commonName, NID_pkcs9_emailAddress, NID_organizationName}) {
        auto value = nameEntry(subject, nid);
        if (!value.empty()) return value;
    }
    return "";
}

std::optional<std::string> PagewrightIdentity::detachedSignature(const std::string& data,
                                                                 std::string* problem) const {
    BioPtr in(BIO_new_mem_buf(data.data(), static_cast<int>(data.size())));
    // Signed attributes (content type, message digest, signing time) with SHA-256.
    CMSPtr cms(CMS_sign(nullptr, nullptr, d->chain, nullptr,
                        CMS_DETACHED | CMS_BINARY | CMS_PARTIAL | CMS_NOSMIMECAP));
    bool ok = in && cms &&
              CMS_add1_signer(cms.get(), d->certificate, d->key, EVP_sha256(),
                              CMS_BINARY | CMS_NOSMIMECAP) &&
              CMS_final(cms.get(), in.get(), nullptr, CMS_DETACHED | CMS_BINARY);
    if (!ok) {
        if (problem) *problem = openSSLError();
        return std::nullopt;
    }
    unsigned char* raw = nullptr;
    int length = i2d_CMS_ContentInfo(cms.get(), &raw);
    OpenSSLBytes der(raw);
    if (length <= 0) {
        if (problem) *problem = openSSLError();
        return std::nullopt;
    }
    return std::string(reinterpret_cast<char*>(der.get()), static_cast<size_t>(length));
}

}  // namespace pagewright
