#include "platform/roles.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>
#include <pwd.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/debuglog.h"

namespace {

const char *const TAG = "checkUserCredential";

// The OpenSSL functions the check calls. libcrypto is opened only when a
// caller who is not root has a credential checked, so a root run never maps
// it, and it is the system's shared copy, which the distribution's security
// updates reach. The headers give only the types.
#define QZ_CRYPTO_FUNCTIONS(X)                                                                   \
  X(PEM_read_X509) X(X509_free) X(X509_get0_notBefore) X(X509_get0_notAfter)                      \
  X(X509_cmp_current_time) X(X509_check_ca) X(X509_get_subject_name)                  \
  X(X509_NAME_get_index_by_NID) X(X509_NAME_get_entry) X(X509_NAME_ENTRY_get_data)               \
  X(ASN1_STRING_get0_data) X(ASN1_STRING_length) X(X509_STORE_new) X(X509_STORE_add_cert)        \
  X(X509_STORE_set_flags) X(X509_STORE_free) X(X509_STORE_CTX_new) X(X509_STORE_CTX_init)        \
  X(X509_verify_cert) X(X509_STORE_CTX_get_error) X(X509_verify_cert_error_string)               \
  X(X509_STORE_CTX_free)

struct crypto_t {
#define QZ_CRYPTO_POINTER(name) decltype(&::name) name;
  QZ_CRYPTO_FUNCTIONS(QZ_CRYPTO_POINTER)
};
crypto_t crypto;

void reason(const std::string &text) { logmsg(LOG_TRACE, text.c_str(), TAG); }

bool load_crypto() {
  void *library = dlopen("libcrypto.so.3", RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    const char *error = dlerror();
    reason(std::string("cannot load libcrypto: ") + (error != nullptr ? error : "unknown error"));
    return false;
  }
#define QZ_CRYPTO_RESOLVE(name)                                                                  \
  crypto.name = reinterpret_cast<decltype(crypto.name)>(dlsym(library, #name));                 \
  if (crypto.name == nullptr) {                                                                  \
    reason("libcrypto lacks " #name);                                                            \
    return false;                                                                                \
  }
  QZ_CRYPTO_FUNCTIONS(QZ_CRYPTO_RESOLVE)
  return true;
}

bool login_name(std::string *name) {
  struct passwd entry, *found = nullptr;
  char buffer[4096];
  if (getpwuid_r(geteuid(), &entry, buffer, sizeof buffer, &found) != 0 || found == nullptr) return false;
  *name = found->pw_name;
  return true;
}

// Opens `name` relative to the folder `dir` and accepts it only as root left
// it, as an SSH server treats a user's keys: owned by root and writable by no
// one else, so that no other user can have planted or changed what it holds.
// `flags` chooses a folder or a file; a file must be a regular one. The
// result is CREDENTIAL_VALID with *fd set, or the reason, logged.
int open_trusted(int dir, const std::string &name, int flags, const std::string &shown, int *fd) {
  *fd = openat(dir, name.c_str(), flags | O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (*fd < 0) {
    int error = errno;
    reason(shown + ": " + strerror(error));
    return error == ENOENT ? CREDENTIAL_NO_FILE : CREDENTIAL_BAD_FILE;
  }
  struct stat status;
  int result = CREDENTIAL_VALID;
  if (fstat(*fd, &status) != 0 || (!(flags & O_DIRECTORY) && !S_ISREG(status.st_mode))) {
    reason(shown + ": not a regular file");
    result = CREDENTIAL_BAD_FILE;
  } else if (status.st_uid != 0) {
    reason(shown + ": owned by uid " + std::to_string(status.st_uid) + ", not by root");
    result = CREDENTIAL_UNSAFE_PATH;
  } else if (status.st_mode & (S_IWGRP | S_IWOTH)) {
    reason(shown + ": writable by group or others");
    result = CREDENTIAL_UNSAFE_PATH;
  }
  if (result != CREDENTIAL_VALID) close(*fd), *fd = -1;
  return result;
}

// Opens the credentials folder, checking every folder from the install root
// down; links below the install root are not followed.
int open_credentials_dir(int *fd) {
  std::string shown = tessark_home();
  int result = open_trusted(AT_FDCWD, shown, O_DIRECTORY, shown, fd);
  for (const char *step : {"var", "credentials"}) {
    if (result != CREDENTIAL_VALID) break;
    int parent = *fd;
    shown += std::string("/") + step;
    result = open_trusted(parent, step, O_DIRECTORY | O_NOFOLLOW, shown, fd);
    close(parent);
  }
  return result;
}

FILE *open_pem(int dir, const std::string &name, int *result) {
  int fd = -1;
  *result = open_trusted(dir, name, O_NOFOLLOW, std::string(tessark_home()) + "/var/credentials/" + name, &fd);
  if (*result != CREDENTIAL_VALID) return nullptr;
  FILE *file = fdopen(fd, "r");
  if (file == nullptr) close(fd), *result = CREDENTIAL_BAD_FILE;
  return file;
}

// Reads the user's certificate; the result is CREDENTIAL_VALID with *cert set
// or the reason it could not be had.
int read_certificate(int dir, const std::string &name, X509 **cert) {
  int result = CREDENTIAL_VALID;
  FILE *file = open_pem(dir, name, &result);
  if (file == nullptr) return result;
  *cert = crypto.PEM_read_X509(file, nullptr, nullptr, nullptr);
  fclose(file);
  return *cert != nullptr ? CREDENTIAL_VALID : CREDENTIAL_BAD_FILE;
}

// A store trusting every certificate in ca.pem: CREDENTIAL_VALID with *store
// set, CREDENTIAL_UNSAFE_PATH, or CREDENTIAL_NO_CA.
int load_trust(int dir, X509_STORE **store) {
  int result = CREDENTIAL_VALID;
  FILE *file = open_pem(dir, "ca.pem", &result);
  if (file == nullptr) return result == CREDENTIAL_UNSAFE_PATH ? result : CREDENTIAL_NO_CA;
  *store = crypto.X509_STORE_new();
  int loaded = 0;
  while (X509 *ca = crypto.PEM_read_X509(file, nullptr, nullptr, nullptr)) {
    if (crypto.X509_STORE_add_cert(*store, ca) == 1) ++loaded;
    crypto.X509_free(ca);
  }
  fclose(file);
  if (loaded == 0) {
    reason("ca.pem holds no certificate");
    return CREDENTIAL_NO_CA;
  }
  // An intermediate CA handed out as ca.pem is a trust anchor of its own.
  crypto.X509_STORE_set_flags(*store, X509_V_FLAG_PARTIAL_CHAIN);
  return CREDENTIAL_VALID;
}

int validity(X509 *cert) {
  if (crypto.X509_cmp_current_time(crypto.X509_get0_notBefore(cert)) >= 0) return CREDENTIAL_NOT_YET_VALID;
  if (crypto.X509_cmp_current_time(crypto.X509_get0_notAfter(cert)) <= 0) return CREDENTIAL_EXPIRED;
  return CREDENTIAL_VALID;
}

// A credential names its holder: a certificate that may sign others in any
// form (CA:TRUE, a certificate-signing key usage, a version 1 certificate
// that issued itself) is a CA, never a user's credential, and its one subject
// CN must be the login name.
int holder(X509 *cert, const std::string &login) {
  if (int kind = crypto.X509_check_ca(cert)) {
    reason("the certificate is a CA certificate (X509_check_ca gives " + std::to_string(kind) + ")");
    return CREDENTIAL_IS_CA;
  }
  X509_NAME *subject = crypto.X509_get_subject_name(cert);
  int index = crypto.X509_NAME_get_index_by_NID(subject, NID_commonName, -1);
  if (index >= 0 && crypto.X509_NAME_get_index_by_NID(subject, NID_commonName, index) < 0) {
    const ASN1_STRING *cn = crypto.X509_NAME_ENTRY_get_data(crypto.X509_NAME_get_entry(subject, index));
    const char *data = reinterpret_cast<const char *>(crypto.ASN1_STRING_get0_data(cn));
    if (std::string(data, crypto.ASN1_STRING_length(cn)) == login) return CREDENTIAL_VALID;
  }
  reason("the certificate's subject CN is not the login name " + login);
  return CREDENTIAL_WRONG_NAME;
}

int verify(X509 *cert, X509_STORE *store) {
  X509_STORE_CTX *context = crypto.X509_STORE_CTX_new();
  int result = CREDENTIAL_UNTRUSTED;
  if (context != nullptr && crypto.X509_STORE_CTX_init(context, store, cert, nullptr) == 1) {
    if (crypto.X509_verify_cert(context) == 1) {
      result = CREDENTIAL_VALID;
    } else {
      int error = crypto.X509_STORE_CTX_get_error(context);
      reason(std::string("certificate does not verify: ") + crypto.X509_verify_cert_error_string(error));
    }
  }
  crypto.X509_STORE_CTX_free(context);
  return result;
}

// Checks the certificate of `login` in the credentials folder `dir`.
int check_in(int dir, const std::string &login) {
  X509 *cert = nullptr;
  int result = read_certificate(dir, login + ".pem", &cert);
  if (result == CREDENTIAL_VALID) result = validity(cert);
  if (result == CREDENTIAL_VALID) result = holder(cert, login);
  if (result == CREDENTIAL_VALID) {
    X509_STORE *store = nullptr;
    result = load_trust(dir, &store);
    if (result == CREDENTIAL_VALID) result = verify(cert, store);
    crypto.X509_STORE_free(store);
  }
  crypto.X509_free(cert);
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
  // The login names a file: it must not leave the credentials folder or
  // name a hidden file.
  if (login.empty() || login[0] == '.' || login.find('/') != std::string::npos) {
    reason("login name " + login + " cannot name a credential");
    return CREDENTIAL_BAD_LOGIN;
  }
  static const bool loaded = load_crypto();
  if (!loaded) return CREDENTIAL_NO_LIBRARY;
  int dir = -1;
  int result = open_credentials_dir(&dir);
  if (result != CREDENTIAL_VALID) return result;
  result = check_in(dir, login);
  close(dir);
  return result;
}

int getAuthenticationType(int *typeOut) {
  if (typeOut != nullptr) *typeOut = 1;
  return 0;
}
