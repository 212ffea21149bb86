#include "platform/roles.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <sys/stat.h>

#include "tests/platform/temphome.h"

namespace {

const long DAY = 24 * 3600;

struct key_pair_t {
  EVP_PKEY *key;
  X509 *cert;
};

// A certificate for `name`, valid from now+notBefore to now+notAfter seconds,
// signed by `issuer` (a self-signed CA when null; a CA too when `ca`), as PEM text.
std::string make_cert(const char *name, long notBefore, long notAfter, key_pair_t *issuer,
                      key_pair_t *keep = nullptr, bool ca = false) {
  static long serial = 1;
  key_pair_t made{EVP_EC_gen("P-256"), X509_new()};
  X509_set_version(made.cert, 2);
  ASN1_INTEGER_set(X509_get_serialNumber(made.cert), serial++);
  X509_gmtime_adj(X509_getm_notBefore(made.cert), notBefore);
  X509_gmtime_adj(X509_getm_notAfter(made.cert), notAfter);
  X509_set_pubkey(made.cert, made.key);
  X509_NAME_add_entry_by_txt(X509_get_subject_name(made.cert), "CN", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char *>(name), -1, -1, 0);
  X509 *issuerCert = issuer != nullptr ? issuer->cert : made.cert;
  X509_set_issuer_name(made.cert, X509_get_subject_name(issuerCert));
  if (issuer == nullptr || ca) {
    for (auto [nid, value] : {std::pair<int, const char *>{NID_basic_constraints, "critical,CA:TRUE"},
                              {NID_key_usage, "critical,keyCertSign,cRLSign"}}) {
      X509V3_CTX context;
      X509V3_set_ctx(&context, issuerCert, made.cert, nullptr, nullptr, 0);
      X509_EXTENSION *extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
      X509_add_ext(made.cert, extension, -1);
      X509_EXTENSION_free(extension);
    }
  }
  X509_sign(made.cert, issuer != nullptr ? issuer->key : made.key, EVP_sha256());
  BIO *bio = BIO_new(BIO_s_mem());
  PEM_write_bio_X509(bio, made.cert);
  char *data = nullptr;
  long length = BIO_get_mem_data(bio, &data);
  std::string text(data, length);
  BIO_free(bio);
  if (keep != nullptr) {
    *keep = made;
  } else {
    X509_free(made.cert);
    EVP_PKEY_free(made.key);
  }
  return text;
}

class CredentialTest : public TempHome {
protected:
  void SetUp() override {
    TempHome::SetUp();
    caPem = make_cert("Test CA", -DAY, 30 * DAY, nullptr, &ca);
    otherPem = make_cert("Other CA", -DAY, 30 * DAY, nullptr, &other);
  }
  void TearDown() override {
    for (key_pair_t *pair : {&ca, &other}) X509_free(pair->cert), EVP_PKEY_free(pair->key);
    TempHome::TearDown();
  }
  int check(const std::string &user, const std::string &trusted) {
    write_file("var/credentials/root.pem", user);
    write_file("var/credentials/ca.pem", trusted);
    return checkUserCredential(0, 0, 0, 0);
  }
  key_pair_t ca, other;
  std::string caPem, otherPem;
};

TEST_F(CredentialTest, CertificateMustBeCurrentAndSignedByATrustedCa) {
  EXPECT_EQ(check(make_cert("root", -DAY, DAY, &ca), caPem), CREDENTIAL_VALID);
  EXPECT_EQ(check(make_cert("root", -DAY, DAY, &ca), otherPem + caPem), CREDENTIAL_VALID);
  EXPECT_EQ(check(make_cert("root", -10 * DAY, -DAY, &ca), caPem), CREDENTIAL_EXPIRED);
  EXPECT_EQ(check(make_cert("root", DAY, 10 * DAY, &ca), caPem), CREDENTIAL_NOT_YET_VALID);
  EXPECT_EQ(check(make_cert("root", -DAY, DAY, &other), caPem), CREDENTIAL_UNTRUSTED);
  EXPECT_EQ(check(make_cert("nobody", -DAY, DAY, &ca), caPem), CREDENTIAL_WRONG_NAME);
  std::string rootCa = make_cert("root", -DAY, DAY, nullptr);
  EXPECT_EQ(check(rootCa, rootCa), CREDENTIAL_IS_CA);
  key_pair_t intermediate;
  std::string intermediatePem = make_cert("Test Intermediate CA", -DAY, 30 * DAY, &ca, &intermediate, true);
  EXPECT_EQ(check(make_cert("root", -DAY, DAY, &intermediate), intermediatePem), CREDENTIAL_VALID);
  X509_free(intermediate.cert), EVP_PKEY_free(intermediate.key);
  EXPECT_EQ(check("-----BEGIN CERTIFICATE-----\nnot base64\n-----END CERTIFICATE-----\n", caPem), CREDENTIAL_BAD_FILE);
  EXPECT_EQ(check(make_cert("root", -DAY, DAY, &ca), "garbage\n"), CREDENTIAL_NO_CA);
  std::filesystem::remove(path("var/credentials/ca.pem"));
  EXPECT_EQ(checkUserCredential(0, 0, 0, 0), CREDENTIAL_NO_CA);
  std::filesystem::remove(path("var/credentials/root.pem"));
  EXPECT_EQ(checkUserCredential(0, 0, 0, 0), CREDENTIAL_NO_FILE);
  std::filesystem::create_directories(path("var/credentials/root.pem"));
  EXPECT_EQ(checkUserCredential(0, 0, 0, 0), CREDENTIAL_BAD_FILE);
}

// Every file and folder the check reads must be root's and writable by no one else.
TEST_F(CredentialTest, FilesAndFoldersMustBeRootsAlone) {
  ASSERT_EQ(check(make_cert("root", -DAY, DAY, &ca), caPem), CREDENTIAL_VALID);
  for (const char *step : {"", "var", "var/credentials", "var/credentials/ca.pem", "var/credentials/root.pem"}) {
    SCOPED_TRACE(step);
    struct stat before;
    ASSERT_EQ(stat(path(step).c_str(), &before), 0);
    chmod(path(step).c_str(), before.st_mode | S_IWGRP);
    EXPECT_EQ(checkUserCredential(0, 0, 0, 0), CREDENTIAL_UNSAFE_PATH);
    chmod(path(step).c_str(), before.st_mode | S_IWOTH);
    EXPECT_EQ(checkUserCredential(0, 0, 0, 0), CREDENTIAL_UNSAFE_PATH);
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

TEST_F(CredentialTest, UnprivilegedCallerUsesTheCertificateOfItsLogin) {
  chmod(home.c_str(), 0755);
  write_file("var/credentials/nobody.pem", make_cert("nobody", -DAY, DAY, &ca));
  write_file("var/credentials/ca.pem", caPem);
  EXPECT_EQ(as_nobody([] { return checkUserCredential(0, 0, 0, 0); }), CREDENTIAL_VALID);
  std::filesystem::remove(path("var/credentials/nobody.pem"));
  EXPECT_EQ(as_nobody([] { return checkUserCredential(0, 0, 0, 0); }), CREDENTIAL_NO_FILE);
}

}  // namespace
