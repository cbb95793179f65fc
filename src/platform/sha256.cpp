#include "platform/sha256.h"

#include <openssl/evp.h>
#include <openssl/opensslv.h>

#if defined(__linux__)
#include <dlfcn.h>
#endif

namespace tersify::platform {

namespace {

#if defined(__linux__)
#define TERSIFY_TEXT_OF(x) #x
#define TERSIFY_TEXT(x) TERSIFY_TEXT_OF(x)

// The two functions a digest needs, from the libcrypto the program was built
// against (same major version), loaded once and kept for the process.
struct Crypto {
  decltype(&EVP_Digest) digest = nullptr;
  decltype(&EVP_sha256) sha256 = nullptr;
};

const Crypto& LoadedCrypto() {
  static const Crypto crypto = [] {
    Crypto c;
    void* library = dlopen("libcrypto.so." TERSIFY_TEXT(OPENSSL_SHLIB_VERSION), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) return c;
    c.digest = reinterpret_cast<decltype(&EVP_Digest)>(dlsym(library, "EVP_Digest"));
    c.sha256 = reinterpret_cast<decltype(&EVP_sha256)>(dlsym(library, "EVP_sha256"));
    return c;
  }();
  return crypto;
}
#endif

}  // namespace

std::optional<Sha256Digest> Sha256(std::string_view bytes) {
#if defined(__linux__)
  const Crypto& crypto = LoadedCrypto();
  if (crypto.digest == nullptr || crypto.sha256 == nullptr) return std::nullopt;
  const auto digest = crypto.digest;
  const auto sha256 = crypto.sha256;
#else
  const auto digest = &EVP_Digest;
  const auto sha256 = &EVP_sha256;
#endif
  Sha256Digest out{};
  unsigned int length = 0;
  if (digest(bytes.data(), bytes.size(), out.data(), &length, sha256(), nullptr) != 1 || length != out.size())
    return std::nullopt;
  return out;
}

}  // namespace tersify::platform
