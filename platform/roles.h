// The caller's local roles and security credential.
#pragma once

// Results of checkUserCredential, one per reason a credential is refused.
enum {
  CREDENTIAL_VALID = 0,
  CREDENTIAL_NO_USER = 1,       // the effective uid has no login name
  CREDENTIAL_NO_FILE = 2,       // no <login>.pem
  CREDENTIAL_BAD_FILE = 3,      // <login>.pem unreadable or not a PEM certificate
  CREDENTIAL_NOT_YET_VALID = 4, // notBefore lies in the future
  CREDENTIAL_EXPIRED = 5,       // notAfter lies in the past
  CREDENTIAL_NO_CA = 6,         // ca.pem missing, unreadable or without a certificate
  CREDENTIAL_UNTRUSTED = 7,     // not issued by a certificate of ca.pem
  CREDENTIAL_UNSAFE_PATH = 8,   // a file or folder not owned by root, or writable by others
  CREDENTIAL_BAD_LOGIN = 9,     // the login name holds '/' or starts with '.'
  CREDENTIAL_IS_CA = 10,        // <login>.pem is a CA certificate
  CREDENTIAL_WRONG_NAME = 11,   // the subject CN is not the login name
  CREDENTIAL_NO_LIBRARY = 12,   // libcrypto or one of its functions cannot be loaded
};

// *adminOut = 1 when the effective uid is 0; returns 0.
int getLocalRoles(int *adminOut, int *secondOut, int timeoutSeconds);

// 0 when $TESSARK_HOME/var/credentials/<login>.pem is an X.509 certificate,
// inside its validity period, issued to <login> (its subject CN) and not a CA,
// that verifies against .../credentials/ca.pem (every certificate in ca.pem is
// trusted as an anchor); otherwise one of the CREDENTIAL_* reasons, with the
// reason in the debug log. <login> is the name of the effective uid. Both
// files and every folder from $TESSARK_HOME down must be owned by root and
// writable by no one else; links below $TESSARK_HOME are not followed.
// libcrypto is loaded here, at the first call, and never before.
int checkUserCredential(int a, int b, int c, int d);

// *typeOut = the authentication type (1 when credentials are certificates).
int getAuthenticationType(int *typeOut);
