// SPDX-License-Identifier: MIT
#include "component/base64_groups.h"

#include <array>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define ORVEX_BASE64_AVX2 1
#endif

namespace component {

namespace {

constexpr unsigned char kNotBase64 = 0xff;

// Each base64 character's six bits; kNotBase64 for every other byte ('='
// included).
constexpr std::array<unsigned char, 256> base64Values()
{
    std::array<unsigned char, 256> table{};
    for (auto &value : table)
        value = kNotBase64;
    const char *alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (unsigned char value = 0; value < 64; ++value)
        table[static_cast<unsigned char>(alphabet[value])] = value;
    return table;
}

constexpr std::array<unsigned char, 256> kBase64Values = base64Values();

// One group of four at a time, through the table.
bool decodeGroupsOneByOne(const unsigned char *in, qsizetype length, unsigned char *out)
{
    unsigned invalid = 0;
    for (qsizetype i = 0; i < length; i += 4, out += 3) {
        const unsigned a = kBase64Values[in[i]], b = kBase64Values[in[i + 1]], c = kBase64Values[in[i + 2]],
                       d = kBase64Values[in[i + 3]];
        invalid |= a | b | c | d;
        const unsigned group = a << 18 | b << 12 | c << 6 | d;
        out[0] = static_cast<unsigned char>(group >> 16);
        out[1] = static_cast<unsigned char>(group >> 8);
        out[2] = static_cast<unsigned char>(group);
    }
    return (invalid & 0x80) == 0;
}

#ifdef ORVEX_BASE64_AVX2

constexpr qsizetype kBlockCharacters = 32;

// Checks and decodes the 32 characters at `in` into the 24 bytes at `out`;
// false when any of them is not a base64 character.
//
// A byte is a base64 character exactly when the class bits its low nibble
// rules out and those its high nibble rules out have none in common; each
// valid high nibble, with '/' told apart from '+', then names the offset
// from character to six-bit value. The values are joined pairwise into 12
// bits and then into 24, and each lane's twelve bytes packed together.
__attribute__((target("avx2"))) bool decodeBlock(const unsigned char *in, unsigned char *out)
{
    // clang-format off
    const __m256i byLowNibble = _mm256_setr_epi8(
        0x15, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x13, 0x1A, 0x1B, 0x1B, 0x1B, 0x1A,
        0x15, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x13, 0x1A, 0x1B, 0x1B, 0x1B, 0x1A);
    const __m256i byHighNibble = _mm256_setr_epi8(
        0x10, 0x10, 0x01, 0x02, 0x04, 0x08, 0x04, 0x08, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10,
        0x10, 0x10, 0x01, 0x02, 0x04, 0x08, 0x04, 0x08, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10);
    const __m256i offsets = _mm256_setr_epi8(
        0, 16, 19, 4, -65, -65, -71, -71, 0, 0, 0, 0, 0, 0, 0, 0,
        0, 16, 19, 4, -65, -65, -71, -71, 0, 0, 0, 0, 0, 0, 0, 0);
    const __m256i packLanes = _mm256_setr_epi8(
        2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1,
        2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1);
    // clang-format on
    // Masked with 0x2F, a byte keeps its nibble and loses bit 7, with which
    // a shuffle would give 0 instead of looking up; 0x2F is also '/'.
    const __m256i slash = _mm256_set1_epi8(0x2F);

    __m256i text = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(in));
    const __m256i highNibbles = _mm256_and_si256(_mm256_srli_epi32(text, 4), slash);
    const __m256i lowNibbles = _mm256_and_si256(text, slash);
    if (!_mm256_testz_si256(_mm256_shuffle_epi8(byLowNibble, lowNibbles),
                            _mm256_shuffle_epi8(byHighNibble, highNibbles)))
        return false;
    const __m256i isSlash = _mm256_cmpeq_epi8(text, slash);
    text = _mm256_add_epi8(text, _mm256_shuffle_epi8(offsets, _mm256_add_epi8(isSlash, highNibbles)));

    const __m256i pairs = _mm256_maddubs_epi16(text, _mm256_set1_epi32(0x01400140));
    const __m256i groups = _mm256_madd_epi16(pairs, _mm256_set1_epi32(0x00011000));
    const __m256i packed = _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(groups, packLanes),
                                                       _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 7, 7));
    _mm_storeu_si128(reinterpret_cast<__m128i *>(out), _mm256_castsi256_si128(packed));
    _mm_storel_epi64(reinterpret_cast<__m128i *>(out + 16), _mm256_extracti128_si256(packed, 1));
    return true;
}

// Whole blocks of 32, the last one reaching back over the one before it
// when the length is not a multiple of 32: its groups decode to the bytes
// already there.
__attribute__((target("avx2"))) bool decodeInBlocks(const unsigned char *in, qsizetype length, unsigned char *out)
{
    qsizetype at = 0;
    for (; at + kBlockCharacters <= length; at += kBlockCharacters) {
        if (!decodeBlock(in + at, out + at / 4 * 3))
            return false;
    }
    if (at == length)
        return true;
    const qsizetype last = length - kBlockCharacters;
    return decodeBlock(in + last, out + last / 4 * 3);
}

bool hasAvx2()
{
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}

#endif

} // namespace

bool isBase64Character(unsigned char c)
{
    return kBase64Values[c] != kNotBase64;
}

bool decodeWholeGroups(const unsigned char *in, qsizetype length, unsigned char *out)
{
#ifdef ORVEX_BASE64_AVX2
    if (length >= kBlockCharacters && hasAvx2())
        return decodeInBlocks(in, length, out);
#endif
    return decodeGroupsOneByOne(in, length, out);
}

} // namespace component
