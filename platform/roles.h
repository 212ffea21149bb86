// The caller's local roles and security credential.
#pragma once

// *adminOut = 1 when the effective uid is 0; returns 0.
int getLocalRoles(int *adminOut, int *secondOut, int timeoutSeconds);

// 0 when $TESSARK_HOME/var/credentials/<login>.pem is an X.509 certificate,
// inside its validity period, that verifies against .../credentials/ca.pem.
int checkUserCredential(int a, int b, int c, int d);

// *typeOut = the authentication type (1 when credentials are certificates).
int getAuthenticationType(int *typeOut);
