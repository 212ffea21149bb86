#include "platform/roles.h"

#include <cerrno>
#include <cstdio>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>
#include <pwd.h>
#include <string>
#include <unistd.h>

#include "platform/debuglog.h"

namespace {

const char *const TAG = "checkUserCredential";

std::string credentials_dir() { return std::string(tessark_home()) + "/var/credentials"; }

bool login_name(std::string *name) {
  struct passwd entry, *found = nullptr;
  char buffer[4096];
  if (getpwuid_r(geteuid(), &entry, buffer, sizeof buffer, &found) != 0 || found == nullptr) return false;
  *name = found->pw_name;
  return true;
}

// Reads the user's certificate; the result is CREDENTIAL_VALID with *cert set
// or the reason it could not be had.
int read_certificate(const std::string &path, X509 **cert) {
  FILE *file = fopen(path.c_str(), "r");
  if (file == nullptr) return errno == ENOENT ? CREDENTIAL_NO_FILE : CREDENTIAL_BAD_FILE;
  *cert = PEM_read_X509(file, nullptr, nullptr, nullptr);
  fclose(file);
  return *cert != nullptr ? CREDENTIAL_VALID : CREDENTIAL_BAD_FILE;
}

// A store trusting every certificate in ca.pem, or null.
X509_STORE *load_trust(const std::string &path) {
  FILE *file = fopen(path.c_str(), "r");
  if (file == nullptr) return nullptr;
  X509_STORE *store = X509_STORE_new();
  int loaded = 0;
  while (X509 *ca = PEM_read_X509(file, nullptr, nullptr, nullptr)) {
    if (X509_STORE_add_cert(store, ca) == 1) ++loaded;
    X509_free(ca);
  }
  fclose(file);
  if (loaded == 0) {
    X509_STORE_free(store);
    return nullptr;
  }
  // An intermediate CA handed out as ca.pem is a trust anchor of its own.
  X509_STORE_set_flags(store, X509_V_FLAG_PARTIAL_CHAIN);
  return store;
}

int validity(X509 *cert) {
  if (X509_cmp_current_time(X509_get0_notBefore(cert)) >= 0) return CREDENTIAL_NOT_YET_VALID;
  if (X509_cmp_current_time(X509_get0_notAfter(cert)) <= 0) return CREDENTIAL_EXPIRED;
  return CREDENTIAL_VALID;
}

int verify(X509 *cert, X509_STORE *store) {
  X509_STORE_CTX *context = X509_STORE_CTX_new();
  int result = CREDENTIAL_UNTRUSTED;
  if (context != nullptr && X509_STORE_CTX_init(context, store, cert, nullptr) == 1) {
    if (X509_verify_cert(context) == 1) {
      result = CREDENTIAL_VALID;
    } else {
      std::string reason = X509_verify_cert_error_string(X509_STORE_CTX_get_error(context));
      logmsg(LOG_TRACE, ("certificate does not verify: " + reason).c_str(), TAG);
    }
  }
  X509_STORE_CTX_free(context);
  return result;
}

}  // namespace

int getLocalRoles(int *adminOut, int *secondOut, int timeoutSeconds) {
  if (adminOut != nullptr) *adminOut = geteuid() == 0 ? 1 : 0;
  if (secondOut != nullptr) *secondOut = 0;
  return 0;
}

int checkUserCredential(int a, int b, int c, int d) {
  std::string login;
  if (!login_name(&login)) return CREDENTIAL_NO_USER;
  X509 *cert = nullptr;
  int result = read_certificate(credentials_dir() + "/" + login + ".pem", &cert);
  if (result == CREDENTIAL_VALID) result = validity(cert);
  if (result == CREDENTIAL_VALID) {
    X509_STORE *store = load_trust(credentials_dir() + "/ca.pem");
    result = store != nullptr ? verify(cert, store) : CREDENTIAL_NO_CA;
    X509_STORE_free(store);
  }
  X509_free(cert);
  return result;
}

int getAuthenticationType(int *typeOut) {
  if (typeOut != nullptr) *typeOut = 1;
  return 0;
}
