#include "run/sha256.h"

#include <cstdint>
#include <cstring>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <cpuid.h>
#include <immintrin.h>
#define TERSIFY_SHA_NI 1
#endif

namespace tersify {
namespace {

using Block = void (*)(std::uint32_t state[8], const unsigned char* data, std::size_t blocks);

constexpr std::uint32_t kRound[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

constexpr std::uint32_t kStart[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                     0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};

inline std::uint32_t Rot(std::uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

void PortableBlocks(std::uint32_t state[8], const unsigned char* data, std::size_t blocks) {
  for (; blocks > 0; --blocks, data += 64) {
    std::uint32_t w[64];
    for (int i = 0; i < 16; ++i)
      w[i] = std::uint32_t{data[4 * i]} << 24 | std::uint32_t{data[4 * i + 1]} << 16 |
             std::uint32_t{data[4 * i + 2]} << 8 | std::uint32_t{data[4 * i + 3]};
    for (int i = 16; i < 64; ++i) {
      const std::uint32_t s0 = Rot(w[i - 15], 7) ^ Rot(w[i - 15], 18) ^ (w[i - 15] >> 3);
      const std::uint32_t s1 = Rot(w[i - 2], 17) ^ Rot(w[i - 2], 19) ^ (w[i - 2] >> 10);
      w[i] = w[i - 16] + s0 + w[i - 7] + s1;
    }
    std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    std::uint32_t e = state[4], f = state[5], g = state[6], h = state[7];
    for (int i = 0; i < 64; ++i) {
      const std::uint32_t t1 = h + (Rot(e, 6) ^ Rot(e, 11) ^ Rot(e, 25)) + ((e & f) ^ (~e & g)) + kRound[i] + w[i];
      const std::uint32_t t2 = (Rot(a, 2) ^ Rot(a, 13) ^ Rot(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
      h = g;
      g = f;
      f = e;
      e = d + t1;
      d = c;
      c = b;
      b = a;
      a = t1 + t2;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
    state[4] += e;
    state[5] += f;
    state[6] += g;
    state[7] += h;
  }
}

#ifdef TERSIFY_SHA_NI
// The state is kept as the instructions want it: A B E F in one register,
// C D G H in the other.
__attribute__((target("sha,sse4.1,ssse3"))) void ShaNiBlocks(std::uint32_t state[8], const unsigned char* data,
                                                             std::size_t blocks) {
  const __m128i byteOrder = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
  __m128i dcba = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(&state[0])), 0xB1);
  __m128i efgh = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(&state[4])), 0x1B);
  __m128i abef = _mm_alignr_epi8(dcba, efgh, 8);
  __m128i cdgh = _mm_blend_epi16(efgh, dcba, 0xF0);
  for (; blocks > 0; --blocks, data += 64) {
    const __m128i abefBefore = abef, cdghBefore = cdgh;
    __m128i w[4];
#pragma GCC unroll 16
    for (int g = 0; g < 16; ++g) {
      __m128i words;
      if (g < 4) {
        words = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * g)), byteOrder);
      } else {
        const __m128i t = _mm_add_epi32(_mm_sha256msg1_epu32(w[(g - 4) & 3], w[(g - 3) & 3]),
                                        _mm_alignr_epi8(w[(g - 1) & 3], w[(g - 2) & 3], 4));
        words = _mm_sha256msg2_epu32(t, w[(g - 1) & 3]);
      }
      w[g & 3] = words;
      __m128i msg = _mm_add_epi32(words, _mm_loadu_si128(reinterpret_cast<const __m128i*>(&kRound[4 * g])));
      cdgh = _mm_sha256rnds2_epu32(cdgh, abef, msg);
      msg = _mm_shuffle_epi32(msg, 0x0E);
      abef = _mm_sha256rnds2_epu32(abef, cdgh, msg);
    }
    abef = _mm_add_epi32(abef, abefBefore);
    cdgh = _mm_add_epi32(cdgh, cdghBefore);
  }
  const __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
  const __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[0]), _mm_blend_epi16(feba, dchg, 0xF0));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[4]), _mm_alignr_epi8(dchg, feba, 8));
}

bool HasShaInstructions() {
  unsigned a = 0, b = 0, c = 0, d = 0;
  if (!__get_cpuid(1, &a, &b, &c, &d)) return false;
  const bool sse = (c & bit_SSSE3) && (c & bit_SSE4_1);
  if (!__get_cpuid_count(7, 0, &a, &b, &c, &d)) return false;
  return sse && (b & (1u << 29));  // SHA
}
#endif

Sha256Digest Digest(std::string_view bytes, Block blocks) {
  std::uint32_t state[8];
  std::memcpy(state, kStart, sizeof state);
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t whole = bytes.size() / 64;
  blocks(state, data, whole);
  // The rest, the 0x80 byte, zeros and the length in bits: one block or two.
  unsigned char tail[128] = {};
  const std::size_t rest = bytes.size() % 64;
  if (rest > 0) std::memcpy(tail, data + whole * 64, rest);
  tail[rest] = 0x80;
  const std::size_t tailSize = rest < 56 ? 64 : 128;
  const std::uint64_t bits = static_cast<std::uint64_t>(bytes.size()) * 8;
  for (int i = 0; i < 8; ++i) tail[tailSize - 1 - i] = static_cast<unsigned char>(bits >> (8 * i));
  blocks(state, tail, tailSize / 64);
  Sha256Digest digest;
  for (int i = 0; i < 8; ++i)
    for (int k = 0; k < 4; ++k) digest[4 * i + k] = static_cast<unsigned char>(state[i] >> (24 - 8 * k));
  return digest;
}

}  // namespace

Sha256Digest Sha256(std::string_view bytes) {
#ifdef TERSIFY_SHA_NI
  static const bool withInstructions = HasShaInstructions();
  if (withInstructions) return Digest(bytes, ShaNiBlocks);
#endif
  return Digest(bytes, PortableBlocks);
}

Sha256Digest Sha256Portable(std::string_view bytes) { return Digest(bytes, PortableBlocks); }

}  // namespace tersify
