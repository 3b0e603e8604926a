#include "Prefilter.h"

#include <algorithm>
#include <cstring>
#if QV_HAVE_X86_SIMD
#include <immintrin.h>
#endif

namespace qv::regex {

LiteralFinder::LiteralFinder(const Literal& lit)
{
#if QV_HAVE_X86_SIMD
    avx2_ = __builtin_cpu_supports("avx2");
#endif
    for (std::size_t k = 0; k < lit.bytes.size(); ++k) {
        bytes_.push_back(static_cast<std::uint8_t>(static_cast<std::uint8_t>(lit.bytes[k]) | lit.mask[k]));
        mask_.push_back(lit.mask[k]);
    }
    // The two rarest positions; where two bytes match, both count.
    auto freq = [&](std::size_t k) {
        int f = byteFrequency(bytes_[k]);
        if (mask_[k] != 0)
            f += byteFrequency(static_cast<std::uint8_t>(bytes_[k] & ~mask_[k]));
        return f;
    };
    std::vector<std::size_t> order(bytes_.size());
    for (std::size_t k = 0; k < order.size(); ++k)
        order[k] = k;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return freq(a) < freq(b); });
    i1_ = order[0];
    i2_ = order.size() > 1 ? order[1] : order[0];
    if (i1_ > i2_)
        std::swap(i1_, i2_);

    maxLength_ = bytes_.size();
    std::size_t minOffset = SIZE_MAX, maxOffset = 0;
    for (const Literal& s : lit.around) {
        Spelling& sp = around_.emplace_back();
        for (std::size_t k = 0; k < s.bytes.size(); ++k) {
            sp.bytes.push_back(static_cast<std::uint8_t>(static_cast<std::uint8_t>(s.bytes[k]) | s.mask[k]));
            sp.mask.push_back(s.mask[k]);
        }
        sp.offset = s.offset;
        minOffset = std::min(minOffset, s.offset);
        maxOffset = std::max(maxOffset, s.offset);
        maxLength_ = std::max(maxLength_, s.bytes.size());
    }
    offsetSpread_ = around_.empty() ? 0 : maxOffset - minOffset;
}

bool LiteralFinder::holdsAny(const std::array<bool, 256>& marked) const
{
    const auto holds = [&](const std::vector<std::uint8_t>& bytes, const std::vector<std::uint8_t>& mask) {
        for (std::size_t k = 0; k < bytes.size(); ++k)
            if (marked[bytes[k]] || marked[static_cast<std::uint8_t>(bytes[k] & ~mask[k])])
                return true;
        return false;
    };
    if (holds(bytes_, mask_))
        return true;
    return std::any_of(around_.begin(), around_.end(), [&](const Spelling& s) { return holds(s.bytes, s.mask); });
}

const std::uint8_t* LiteralFinder::spelledAround(const std::uint8_t* q, const std::uint8_t* floor, const std::uint8_t* end,
                                                 std::size_t* length) const
{
    const std::uint8_t* best = nullptr;
    for (const Spelling& s : around_) {
        if (static_cast<std::size_t>(q - floor) < s.offset)
            continue;
        const std::uint8_t* start = q - s.offset;
        if (static_cast<std::size_t>(end - start) < s.bytes.size())
            continue;
        bool ok = true;
        for (std::size_t k = 0; k < s.bytes.size() && ok; ++k)
            ok = (start[k] | s.mask[k]) == s.bytes[k];
        if (ok && (best == nullptr || start < best || (start == best && s.bytes.size() > *length))) {
            best = start;
            *length = s.bytes.size();
        }
    }
    return best;
}

const std::uint8_t* LiteralFinder::find(const std::uint8_t* p, const std::uint8_t* end, std::size_t* length) const
{
    if (around_.empty()) {
        *length = bytes_.size();
        return findShared(p, end);
    }
    for (const std::uint8_t* from = p;;) {
        const std::uint8_t* q = findShared(from, end);
        if (q == nullptr)
            return nullptr;
        std::size_t len = 0;
        const std::uint8_t* best = spelledAround(q, p, end, &len);
        if (best == nullptr) {
            from = q + 1;
            continue;
        }
        // Shared bytes a little further on may lie in a spelling that starts sooner.
        for (const std::uint8_t* r = q + 1; r <= q + offsetSpread_ && static_cast<std::size_t>(end - r) >= bytes_.size(); ++r) {
            std::size_t l = 0;
            const std::uint8_t* s = matchesAt(r) ? spelledAround(r, p, end, &l) : nullptr;
            if (s != nullptr && (s < best || (s == best && l > len))) {
                best = s;
                len = l;
            }
        }
        *length = len;
        return best;
    }
}

bool LiteralFinder::matchesAt(const std::uint8_t* q) const
{
    for (std::size_t k = 0; k < bytes_.size(); ++k)
        if ((q[k] | mask_[k]) != bytes_[k])
            return false;
    return true;
}

const std::uint8_t* LiteralFinder::findShared(const std::uint8_t* p, const std::uint8_t* end) const
{
    if (end < p || static_cast<std::size_t>(end - p) < bytes_.size())
        return nullptr;
    const std::uint8_t* last = end - bytes_.size(); // last possible start
    if (bytes_.size() == 1 && mask_[0] == 0)
        return static_cast<const std::uint8_t*>(std::memchr(p, bytes_[0], static_cast<std::size_t>(last - p) + 1));
#if QV_HAVE_X86_SIMD
    return avx2_ ? findAvx2(p, last) : findSse2(p, last);
#else
    return findScalar(p, last);
#endif
}

const std::uint8_t* LiteralFinder::findScalar(const std::uint8_t* p, const std::uint8_t* last) const
{
    for (; p <= last; ++p)
        if ((p[i1_] | mask_[i1_]) == bytes_[i1_] && (p[i2_] | mask_[i2_]) == bytes_[i2_] && matchesAt(p))
            return p;
    return nullptr;
}

#if QV_HAVE_X86_SIMD
const std::uint8_t* LiteralFinder::findSse2(const std::uint8_t* p, const std::uint8_t* last) const
{
    const __m128i b1 = _mm_set1_epi8(static_cast<char>(bytes_[i1_]));
    const __m128i b2 = _mm_set1_epi8(static_cast<char>(bytes_[i2_]));
    const __m128i m1 = _mm_set1_epi8(static_cast<char>(mask_[i1_]));
    const __m128i m2 = _mm_set1_epi8(static_cast<char>(mask_[i2_]));
    while (last - p >= 15) {
        const __m128i c1 = _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i1_)), m1);
        const __m128i c2 = _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i2_)), m2);
        auto bits = static_cast<unsigned>(_mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(c1, b1), _mm_cmpeq_epi8(c2, b2))));
        while (bits != 0) {
            const std::uint8_t* q = p + __builtin_ctz(bits);
            if (matchesAt(q))
                return q;
            bits &= bits - 1;
        }
        p += 16;
    }
    return findScalar(p, last);
}

// Two blocks of 32 per round keep two independent compare chains in flight. With `Fold1` and
// `Fold2` the bytes at the first and second offset are first given the bit in which two accepted
// bytes differ there (a letter's case bit); an offset with one byte is spared the work.
template <bool Fold1, bool Fold2>
__attribute__((target("avx2"))) static const std::uint8_t* findPairAvx2(const std::uint8_t* p, const std::uint8_t* last, std::size_t i1,
                                                                        std::size_t i2, std::uint8_t v1, std::uint8_t v2, std::uint8_t f1,
                                                                        std::uint8_t f2, const LiteralFinder& finder)
{
    const __m256i b1 = _mm256_set1_epi8(static_cast<char>(v1));
    const __m256i b2 = _mm256_set1_epi8(static_cast<char>(v2));
    const __m256i m1 = _mm256_set1_epi8(static_cast<char>(f1));
    const __m256i m2 = _mm256_set1_epi8(static_cast<char>(f2));
    while (last - p >= 63) {
        __m256i a1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i1));
        __m256i a2 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i2));
        __m256i c1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32 + i1));
        __m256i c2 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32 + i2));
        if constexpr (Fold1) {
            a1 = _mm256_or_si256(a1, m1);
            c1 = _mm256_or_si256(c1, m1);
        }
        if constexpr (Fold2) {
            a2 = _mm256_or_si256(a2, m2);
            c2 = _mm256_or_si256(c2, m2);
        }
        const __m256i ea = _mm256_and_si256(_mm256_cmpeq_epi8(a1, b1), _mm256_cmpeq_epi8(a2, b2));
        const __m256i ec = _mm256_and_si256(_mm256_cmpeq_epi8(c1, b1), _mm256_cmpeq_epi8(c2, b2));
        const __m256i any = _mm256_or_si256(ea, ec);
        if (!_mm256_testz_si256(any, any)) {
            std::uint64_t bits = static_cast<std::uint32_t>(_mm256_movemask_epi8(ea)) |
                                 (static_cast<std::uint64_t>(static_cast<std::uint32_t>(_mm256_movemask_epi8(ec))) << 32);
            while (bits != 0) {
                const std::uint8_t* q = p + __builtin_ctzll(bits);
                if (finder.matchesAt(q))
                    return q;
                bits &= bits - 1;
            }
        }
        p += 64;
    }
    return p;
}

const std::uint8_t* LiteralFinder::findAvx2(const std::uint8_t* p, const std::uint8_t* last) const
{
    const std::uint8_t v1 = bytes_[i1_], v2 = bytes_[i2_], f1 = mask_[i1_], f2 = mask_[i2_];
    const std::uint8_t* q = f1 != 0 ? (f2 != 0 ? findPairAvx2<true, true>(p, last, i1_, i2_, v1, v2, f1, f2, *this)
                                               : findPairAvx2<true, false>(p, last, i1_, i2_, v1, v2, f1, f2, *this))
                                    : (f2 != 0 ? findPairAvx2<false, true>(p, last, i1_, i2_, v1, v2, f1, f2, *this)
                                               : findPairAvx2<false, false>(p, last, i1_, i2_, v1, v2, f1, f2, *this));
    // Within the last 63 bytes q is a hit or where the loop stopped: the search from there finds
    // that same hit, or one in the rest.
    if (q != nullptr && last - q < 63)
        return findSse2(q, last);
    return q;
}
#endif

Prefilter::Prefilter(const std::vector<Literal>& literals)
{
    for (const Literal& lit : literals) {
        finders_.emplace_back(lit);
        maxLength_ = std::max(maxLength_, finders_.back().maxLength());
    }
}

const std::uint8_t* Prefilter::find(const std::uint8_t* p, const std::uint8_t* end, std::uint64_t at, PrefilterCache& cache,
                                    std::size_t* length) const
{
    std::size_t ignored = 0;
    if (length == nullptr)
        length = &ignored;
    if (finders_.size() == 1)
        return finders_[0].find(p, end, length);
    cache.entries_.resize(finders_.size());
    const std::uint64_t endAt = at + static_cast<std::uint64_t>(end - p);
    const std::uint8_t* best = nullptr;
    std::size_t bestLength = 0;
    for (std::size_t k = 0; k < finders_.size(); ++k) {
        PrefilterCache::Entry& c = cache.entries_[k];
        // A remembered occurrence at or after p still answers; so does "none up to an end at or
        // beyond this one".
        const bool reusable = c.valid && c.from <= at && (c.found ? (c.hit >= at && c.hit + c.length <= endAt) : c.end >= endAt);
        if (!reusable) {
            std::size_t len = 0;
            const std::uint8_t* hit = finders_[k].find(p, end, &len);
            c = PrefilterCache::Entry{at, endAt, hit != nullptr ? at + static_cast<std::uint64_t>(hit - p) : 0, len, hit != nullptr, true};
        }
        if (!c.found)
            continue;
        const std::uint8_t* hit = p + (c.hit - at);
        if (best == nullptr || hit < best || (hit == best && c.length > bestLength)) {
            best = hit;
            bestLength = c.length;
        }
    }
    *length = bestLength;
    return best;
}

#if QV_HAVE_X86_SIMD
__attribute__((target("avx2"))) static std::size_t countLineFeedsAvx2(const std::uint8_t* p, const std::uint8_t* end)
{
    std::size_t n = 0;
    const __m256i lf = _mm256_set1_epi8('\n');
    while (end - p >= 32) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        n += static_cast<std::size_t>(__builtin_popcount(static_cast<unsigned>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(v, lf)))));
        p += 32;
    }
    for (; p < end; ++p)
        n += *p == '\n' ? 1 : 0;
    return n;
}

#endif

std::size_t countLineFeeds(const std::uint8_t* p, const std::uint8_t* end)
{
#if QV_HAVE_X86_SIMD
    static const bool avx2 = __builtin_cpu_supports("avx2");
    if (avx2)
        return countLineFeedsAvx2(p, end);
#endif
    std::size_t n = 0;
    for (; p < end; ++p)
        n += *p == '\n' ? 1 : 0;
    return n;
}

} // namespace qv::regex
