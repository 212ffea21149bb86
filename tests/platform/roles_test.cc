#include "platform/roles.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/platform/temphome.h"

namespace {

struct key_pair_t {
  EVP_PKEY *key;
  X509 *cert;
};

const long DAY = 24 * 3600;

void add_extension(X509 *cert, X509 *issuer, int nid, const char *value) {
  X509V3_CTX context;
  X509V3_set_ctx(&context, issuer, cert, nullptr, nullptr, 0);
  X509_EXTENSION *extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
  X509_add_ext(cert, extension, -1);
  X509_EXTENSION_free(extension);
}

// A certificate for `name`, valid from now+notBefore to now+notAfter seconds,
// signed by `issuer` (self-signed CA when null).
key_pair_t make_cert(const char *name, long notBefore, long notAfter, const key_pair_t *issuer) {
  static long serial = 1;
  key_pair_t made{EVP_EC_gen("P-256"), X509_new()};
  X509_set_version(made.cert, 2);
  ASN1_INTEGER_set(X509_get_serialNumber(made.cert), serial++);
  X509_gmtime_adj(X509_getm_notBefore(made.cert), notBefore);
  X509_gmtime_adj(X509_getm_notAfter(made.cert), notAfter);
  X509_set_pubkey(made.cert, made.key);
  X509_NAME *subject = X509_get_subject_name(made.cert);
  X509_NAME_add_entry_by_txt(subject, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char *>(name), -1, -1, 0);
  X509 *issuerCert = issuer != nullptr ? issuer->cert : made.cert;
  X509_set_issuer_name(made.cert, X509_get_subject_name(issuerCert));
  if (issuer == nullptr) {
    add_extension(made.cert, made.cert, NID_basic_constraints, "critical,CA:TRUE");
    add_extension(made.cert, made.cert, NID_key_usage, "critical,keyCertSign,cRLSign");
  }
  X509_sign(made.cert, issuer != nullptr ? issuer->key : made.key, EVP_sha256());
  return made;
}

void free_pair(key_pair_t &pair) {
  X509_free(pair.cert);
  EVP_PKEY_free(pair.key);
}

std::string pem(X509 *cert) {
  BIO *bio = BIO_new(BIO_s_mem());
  PEM_write_bio_X509(bio, cert);
  char *data = nullptr;
  long length = BIO_get_mem_data(bio, &data);
  std::string text(data, length);
  BIO_free(bio);
  return text;
}

class CredentialTest : public TempHome {
protected:
  void SetUp() override {
    TempHome::SetUp();
    ca = make_cert("Test CA", -DAY, 30 * DAY, nullptr);
    otherCa = make_cert("Other CA", -DAY, 30 * DAY, nullptr);
  }
  void TearDown() override {
    free_pair(ca);
    free_pair(otherCa);
    TempHome::TearDown();
  }
  // Installs the user's certificate and the trusted CA file.
  void install(const std::string &login, X509 *user, const std::string &caText) {
    write_file("var/credentials/" + login + ".pem", pem(user));
    write_file("var/credentials/ca.pem", caText);
  }
  int check_with(long notBefore, long notAfter, const key_pair_t &issuer) {
    key_pair_t user = make_cert("root", notBefore, notAfter, &issuer);
    install("root", user.cert, pem(ca.cert));
    free_pair(user);
    return checkUserCredential(0, 0, 0, 0);
  }
  key_pair_t ca, otherCa;
};

TEST_F(CredentialTest, ValidCertificateSignedByTheCa) {
  EXPECT_EQ(check_with(-DAY, DAY, ca), CREDENTIAL_VALID);
}

TEST_F(CredentialTest, ExpiredAndNotYetValid) {
  EXPECT_EQ(check_with(-10 * DAY, -DAY, ca), CREDENTIAL_EXPIRED);
  EXPECT_EQ(check_with(DAY, 10 * DAY, ca), CREDENTIAL_NOT_YET_VALID);
}

TEST_F(CredentialTest, SignedByAnotherCa) {
  EXPECT_EQ(check_with(-DAY, DAY, otherCa), CREDENTIAL_UNTRUSTED);
}

TEST_F(CredentialTest, AnyCertificateOfTheCaFileIsTrusted) {
  key_pair_t user = make_cert("root", -DAY, DAY, &ca);
  install("root", user.cert, pem(otherCa.cert) + pem(ca.cert));
  free_pair(user);
  EXPECT_EQ(checkUserCredential(0, 0, 0, 0), CREDENTIAL_VALID);
}

TEST_F(CredentialTest, MissingOrGarbledFiles) {
  EXPECT_EQ(checkUserCredential(0, 0, 0, 0), CREDENTIAL_NO_FILE);

  write_file("var/credentials/root.pem", "-----BEGIN CERTIFICATE-----\nnot base64 at all\n-----END CERTIFICATE-----\n");
  EXPECT_EQ(checkUserCredential(0, 0, 0, 0), CREDENTIAL_BAD_FILE);

  std::filesystem::remove(path("var/credentials/root.pem"));
  std::filesystem::create_directories(path("var/credentials/root.pem"));
  EXPECT_EQ(checkUserCredential(0, 0, 0, 0), CREDENTIAL_BAD_FILE);

  std::filesystem::remove_all(path("var/credentials"));
  key_pair_t user = make_cert("root", -DAY, DAY, &ca);
  write_file("var/credentials/root.pem", pem(user.cert));
  free_pair(user);
  EXPECT_EQ(checkUserCredential(0, 0, 0, 0), CREDENTIAL_NO_CA);
  write_file("var/credentials/ca.pem", "garbage\n");
  EXPECT_EQ(checkUserCredential(0, 0, 0, 0), CREDENTIAL_NO_CA);
}

// Runs `body` as the user "nobody" in a child process; returns its exit code.
template <class Body> int as_nobody(Body body) {
  struct passwd *nobody = getpwnam("nobody");
  if (nobody == nullptr) return -1;
  pid_t pid = fork();
  if (pid == 0) {
    if (setgid(nobody->pw_gid) != 0 || setuid(nobody->pw_uid) != 0) _exit(100);
    _exit(body());
  }
  int status = 0;
  if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

TEST_F(CredentialTest, UnprivilegedCallerUsesTheCertificateOfItsLogin) {
  chmod(home.c_str(), 0755);
  key_pair_t user = make_cert("nobody", -DAY, DAY, &ca);
  install("nobody", user.cert, pem(ca.cert));
  free_pair(user);
  EXPECT_EQ(as_nobody([] { return checkUserCredential(0, 0, 0, 0); }), CREDENTIAL_VALID);
  std::filesystem::remove(path("var/credentials/nobody.pem"));
  EXPECT_EQ(as_nobody([] { return checkUserCredential(0, 0, 0, 0); }), CREDENTIAL_NO_FILE);
}

TEST(LocalRoles, AdministratorIsTheSuperuser) {
  ASSERT_EQ(geteuid(), 0u) << "these tests run as root";
  int admin = -1, second = -1;
  EXPECT_EQ(getLocalRoles(&admin, &second, 60), 0);
  EXPECT_EQ(admin, 1);
  EXPECT_EQ(as_nobody([] {
              int admin = -1;
              return getLocalRoles(&admin, nullptr, 60) == 0 ? admin : 99;
            }),
            0);
}

}  // namespace
