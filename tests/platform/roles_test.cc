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
// signed by `issuer` (a self-signed CA when null), as PEM text.
std::string make_cert(const char *name, long notBefore, long notAfter, key_pair_t *issuer, key_pair_t *keep = nullptr) {
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
  if (issuer == nullptr) {
    for (auto [nid, value] : {std::pair<int, const char *>{NID_basic_constraints, "critical,CA:TRUE"},
                              {NID_key_usage, "critical,keyCertSign,cRLSign"}}) {
      X509V3_CTX context;
      X509V3_set_ctx(&context, made.cert, made.cert, nullptr, nullptr, 0);
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
  EXPECT_EQ(check("-----BEGIN CERTIFICATE-----\nnot base64\n-----END CERTIFICATE-----\n", caPem), CREDENTIAL_BAD_FILE);
  EXPECT_EQ(check(make_cert("root", -DAY, DAY, &ca), "garbage\n"), CREDENTIAL_NO_CA);
  std::filesystem::remove(path("var/credentials/ca.pem"));
  EXPECT_EQ(checkUserCredential(0, 0, 0, 0), CREDENTIAL_NO_CA);
  std::filesystem::remove(path("var/credentials/root.pem"));
  EXPECT_EQ(checkUserCredential(0, 0, 0, 0), CREDENTIAL_NO_FILE);
  std::filesystem::create_directories(path("var/credentials/root.pem"));
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
