#include "platform/roles.h"

#include <memory>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/platform/temphome.h"

namespace {

const long DAY = 24 * 3600;

struct Cert {
  EVP_PKEY *key = EVP_EC_gen("P-256");
  X509 *x509 = X509_new();
  std::string pem;
  ~Cert() { X509_free(x509), EVP_PKEY_free(key); }
};

// A certificate for `name`, valid from now+notBefore to now+notAfter seconds,
// signed by `issuer` (self-signed when null); a CA when `ca`.
std::unique_ptr<Cert> make_cert(const char *name, long notBefore, long notAfter, const Cert *issuer,
                                bool ca = false) {
  static long serial = 1;
  auto made = std::make_unique<Cert>();
  X509_set_version(made->x509, 2);
  ASN1_INTEGER_set(X509_get_serialNumber(made->x509), serial++);
  X509_gmtime_adj(X509_getm_notBefore(made->x509), notBefore);
  X509_gmtime_adj(X509_getm_notAfter(made->x509), notAfter);
  X509_set_pubkey(made->x509, made->key);
  X509_NAME_add_entry_by_txt(X509_get_subject_name(made->x509), "CN", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char *>(name), -1, -1, 0);
  const Cert &signer = issuer != nullptr ? *issuer : *made;
  X509_set_issuer_name(made->x509, X509_get_subject_name(signer.x509));
  for (auto [nid, value] : {std::pair<int, const char *>{NID_basic_constraints, "critical,CA:TRUE"},
                            {NID_key_usage, "critical,keyCertSign,cRLSign"}}) {
    if (!ca) break;
    X509V3_CTX context;
    X509V3_set_ctx(&context, signer.x509, made->x509, nullptr, nullptr, 0);
    X509_EXTENSION *extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
    X509_add_ext(made->x509, extension, -1);
    X509_EXTENSION_free(extension);
  }
  X509_sign(made->x509, signer.key, EVP_sha256());
  BIO *bio = BIO_new(BIO_s_mem());
  PEM_write_bio_X509(bio, made->x509);
  char *data = nullptr;
  long length = BIO_get_mem_data(bio, &data);
  made->pem.assign(data, length);
  BIO_free(bio);
  return made;
}

class CredentialTest : public TempHome {
protected:
  int check(const std::string &user, const std::string &trusted) {
    write_file("var/credentials/root.pem", user);
    write_file("var/credentials/ca.pem", trusted);
    return checkUserCredential(0, 0, 0, 0);
  }
  std::string user(long notBefore, long notAfter, const Cert &issuer) {
    return make_cert("root", notBefore, notAfter, &issuer)->pem;
  }
  std::unique_ptr<Cert> ca = make_cert("Test CA", -DAY, 30 * DAY, nullptr, true),
                        other = make_cert("Other CA", -DAY, 30 * DAY, nullptr, true);
};

TEST_F(CredentialTest, CertificateMustBeCurrentAndSignedByATrustedCa) {
  EXPECT_EQ(check(user(-DAY, DAY, *ca), ca->pem), CREDENTIAL_VALID);
  EXPECT_EQ(check(user(-DAY, DAY, *ca), other->pem + ca->pem), CREDENTIAL_VALID);
  EXPECT_EQ(check(user(-10 * DAY, -DAY, *ca), ca->pem), CREDENTIAL_EXPIRED);
  EXPECT_EQ(check(user(DAY, 10 * DAY, *ca), ca->pem), CREDENTIAL_NOT_YET_VALID);
  EXPECT_EQ(check(user(-DAY, DAY, *other), ca->pem), CREDENTIAL_UNTRUSTED);
  auto rootCa = make_cert("root", -DAY, DAY, nullptr, true);
  EXPECT_EQ(check(rootCa->pem, rootCa->pem), CREDENTIAL_IS_CA);
  auto intermediate = make_cert("Test Intermediate CA", -DAY, 30 * DAY, ca.get(), true);
  EXPECT_EQ(check(user(-DAY, DAY, *intermediate), intermediate->pem), CREDENTIAL_VALID);
  EXPECT_EQ(check("-----BEGIN CERTIFICATE-----\nnot base64\n-----END CERTIFICATE-----\n", ca->pem),
            CREDENTIAL_BAD_FILE);
  EXPECT_EQ(check(user(-DAY, DAY, *ca), "garbage\n"), CREDENTIAL_NO_CA);
  std::filesystem::remove(path("var/credentials/ca.pem"));
  EXPECT_EQ(checkUserCredential(0, 0, 0, 0), CREDENTIAL_NO_CA);
  std::filesystem::remove(path("var/credentials/root.pem"));
  EXPECT_EQ(checkUserCredential(0, 0, 0, 0), CREDENTIAL_NO_FILE);
  std::filesystem::create_directories(path("var/credentials/root.pem"));
  EXPECT_EQ(checkUserCredential(0, 0, 0, 0), CREDENTIAL_BAD_FILE);
}

// Every file and folder the check reads must be root's and writable by no one else.
TEST_F(CredentialTest, FilesAndFoldersMustBeRootsAlone) {
  ASSERT_EQ(check(user(-DAY, DAY, *ca), ca->pem), CREDENTIAL_VALID);
  for (const char *step : {"", "var", "var/credentials", "var/credentials/ca.pem", "var/credentials/root.pem"}) {
    SCOPED_TRACE(step);
    struct stat before;
    ASSERT_EQ(stat(path(step).c_str(), &before), 0);
    for (mode_t write : {S_IWGRP, S_IWOTH}) {
      chmod(path(step).c_str(), before.st_mode | write);
      EXPECT_EQ(checkUserCredential(0, 0, 0, 0), CREDENTIAL_UNSAFE_PATH);
    }
    chmod(path(step).c_str(), before.st_mode);
    ASSERT_EQ(chown(path(step).c_str(), 65534, 0), 0);
    EXPECT_EQ(checkUserCredential(0, 0, 0, 0), CREDENTIAL_UNSAFE_PATH);
    ASSERT_EQ(chown(path(step).c_str(), 0, 0), 0);
  }
  // A link below the install root is not followed, even to root's own files.
  std::filesystem::rename(path("var/credentials"), path("var/real"));
  std::filesystem::create_directory_symlink("real", path("var/credentials"));
  EXPECT_EQ(checkUserCredential(0, 0, 0, 0), CREDENTIAL_BAD_FILE);
}

}  // namespace
