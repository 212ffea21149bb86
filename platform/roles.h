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
};

// *adminOut = 1 when the effective uid is 0; returns 0.
int getLocalRoles(int *adminOut, int *secondOut, int timeoutSeconds);

// 0 when $TESSARK_HOME/var/credentials/<login>.pem is an X.509 certificate,
// inside its validity period, that verifies against .../credentials/ca.pem
// (every certificate in ca.pem is trusted as an anchor); otherwise one of the
// CREDENTIAL_* reasons. <login> is the name of the effective uid.
int checkUserCredential(int a, int b, int c, int d);

// *typeOut = the authentication type (1 when credentials are certificates).
int getAuthenticationType(int *typeOut);
