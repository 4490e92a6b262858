#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "pagewright/PagewrightExport.h"
#include "platform/Error.h"

namespace PAGEWRIGHT_EXPORT pagewright {

// A signing identity: a private key with its certificate (and chain), read from a PKCS #12 file
// in $XDG_DATA_HOME/Ledgerlens/identities/. Signing never asks for a password, so the files
// are stored without one (the folder's permissions protect them).
class PagewrightIdentity {
  public:
    ~PagewrightIdentity();
    PagewrightIdentity(const PagewrightIdentity&) = delete;
    PagewrightIdentity& operator=(const PagewrightIdentity&) = delete;

    // $XDG_DATA_HOME/Ledgerlens/identities (~/.local/share when the variable is unset).
    static std::filesystem::path identitiesDirectory();
    // The first identity (files in name order) whose subject summary equals `summary` exactly.
    static std::shared_ptr<PagewrightIdentity> findPDFIdentity(
        const std::string& summary, const std::filesystem::path& directory = identitiesDirectory());
    static std::shared_ptr<PagewrightIdentity> identityWithPKCS12Data(
        const std::string& data, const std::string& password = "",
        platform::Error* error = nullptr);

    // The certificate's common name, else its e-mail address, else its organisation.
    std::string subjectSummary() const;
    // A detached CMS SignedData (SHA-256) over `data`, DER encoded; none on failure.
    std::optional<std::string> detachedSignature(const std::string& data,
                                                 std::string* problem = nullptr) const;

  private:
    PagewrightIdentity();
    struct Impl;
    std::unique_ptr<Impl> d;
};

}  // namespace pagewright
