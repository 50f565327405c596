#pragma once

// The test-only TLS identity of tests/support/TestBackend, in PEM.
namespace TestBackendCertificate {
extern const char* const certificatePem;
extern const char* const privateKeyPem;
} // namespace TestBackendCertificate
