#include "crypto/CryptHash.h"

#include "crypto/CryptAccel.h"
#include "crypto/Sha1Rounds.h"
#include "crypto/StackWipe.h"

#include <stdexcept>
#include <utility>

namespace {

template <typename Hash>
std::unique_ptr<TCryptHash> CreateHash() {
    return std::make_unique<Hash>();
}

const THashClass CryptHashClass{{"TCryptHash"}, 0, 0, nullptr};
const THashClass HashBaseMD4Class{{"THashBaseMD4"}, 16, 64, nullptr};
const THashClass HashShaClass{{"THash_SHA"}, 20, 64, CreateHash<THash_SHA>};
const THashClass HashSha1Class{{"THash_SHA1"}, 20, 64, CreateHash<THash_SHA1>};

std::array<std::uint8_t, 4> BigEndian32(std::uint32_t value) {
    return {static_cast<std::uint8_t>(value >> 24), static_cast<std::uint8_t>(value >> 16),
            static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)};
}

void StoreWord32(std::uint8_t* bytes, std::uint32_t word) {
    std::memcpy(bytes, &word, 4);
}

// One step of the SHA compression: the next word of the schedule, kept in a ring of sixteen
// words, and the round on it.
template <int Step, bool Rotate>
inline __attribute__((always_inline)) void ShaStep(std::uint32_t (&v)[5], std::uint32_t (&w)[16]) {
    std::uint32_t word;
    if constexpr (Step < 16) {
        word = w[Step];
    } else {
        word = w[(Step - 3) & 15] ^ w[(Step - 8) & 15] ^ w[(Step - 14) & 15] ^ w[Step & 15];
        if constexpr (Rotate) {
            word = Sha1Rounds::Rotl(word, 1);
        }
        w[Step & 15] = word;
    }
    Sha1Rounds::Step<Step>(v, [word](std::uint32_t& e) { e += Sha1Rounds::Constant(Step) + word; });
}

template <bool Rotate, std::size_t... Steps>
inline __attribute__((always_inline)) void ShaSteps(std::uint32_t (&v)[5], std::uint32_t (&w)[16],
                                                    std::index_sequence<Steps...>) {
    (ShaStep<static_cast<int>(Steps), Rotate>(v, w), ...);
}

// The schedule lives in a ring of sixteen words, overwritten as the rounds go; the working
// words stay in locals from block to block. Returns the stack pointer of its own frame.
template <bool Rotate>
[[gnu::noinline]] std::uintptr_t ShaCompressBlocks(std::uint32_t* state, const std::uint8_t* blocks,
                                                   std::size_t count) {
    std::uint32_t v[5] = {state[0], state[1], state[2], state[3], state[4]};
    for (; count > 0; --count, blocks += 64) {
        std::uint32_t w[16];
        for (int i = 0; i < 16; ++i) {
            std::uint32_t word;
            std::memcpy(&word, blocks + 4 * i, 4);
            w[i] = __builtin_bswap32(word);
        }
        ShaSteps<Rotate>(v, w, std::make_index_sequence<80>{});
        for (int i = 0; i < 5; ++i) {
            state[i] += v[i];
            v[i] = state[i];
        }
    }
    StackWipe::ClearVectorRegisters();
    return StackWipe::StackPointer();
}

// The ring holds the message in another form; it and whatever the compiler spilled beside it
// are wiped with the frame.
template <bool Rotate>
void ShaCompress(std::uint32_t* state, const std::uint8_t* blocks, std::size_t count) {
    StackWipe::Wiping([&] { return ShaCompressBlocks<Rotate>(state, blocks, count); });
}

}  // namespace

// --- THashClass ---------------------------------------------------------------------------

std::unique_ptr<TCryptHash> THashClass::Create() const {
    if (CreateFn == nullptr) {
        throw std::logic_error("abstract hash class " + std::string(Name) + " cannot be created");
    }
    return CreateFn();
}

std::string THashClass::HashBuffer(const void* data, std::size_t count,
                                   const TFormatClass* format) const {
    const std::unique_ptr<TCryptHash> hash = Create();
    hash->Init();
    hash->Update(data, count);
    hash->Finish();
    return hash->DigestText(format);
}

std::string THashClass::HashText(std::string_view text, const TFormatClass* format) const {
    return HashBuffer(text.data(), text.size(), format);
}

std::string THashClass::DeriveKey(const void* data, std::ptrdiff_t dataLength, const void* seed,
                                  std::ptrdiff_t seedLength, std::ptrdiff_t outputLength,
                                  const TFormatClass* format, std::int32_t index) const {
    if (outputLength < 0 || dataLength < 0 || seedLength < 0 || DigestSize < 0 ||
        dataLength > INT32_MAX || seedLength > INT32_MAX || outputLength > INT32_MAX) {
        throw std::invalid_argument("DeriveKey: length out of range");
    }
    std::string key(static_cast<std::size_t>(outputLength), '\0');
    TTextWiper keyWiper(key);
    const std::unique_ptr<TCryptHash> hash = Create();
    const auto indexBytes = BigEndian32(static_cast<std::uint32_t>(index));
    const auto seedLengthBytes = BigEndian32(static_cast<std::uint32_t>(seedLength));
    const auto dataLengthBytes = BigEndian32(static_cast<std::uint32_t>(dataLength));
    for (std::size_t i = 0; i < key.size(); ++i) {
        const auto position = BigEndian32(static_cast<std::uint32_t>(i));
        hash->Init();
        hash->Update(position.data(), position.size());
        hash->Update(key.data(), i);
        hash->Update(indexBytes.data(), indexBytes.size());
        hash->Update(seedLengthBytes.data(), seedLengthBytes.size());
        hash->Update(seed, static_cast<std::size_t>(seedLength));
        hash->Update(dataLengthBytes.data(), dataLengthBytes.size());
        hash->Update(data, static_cast<std::size_t>(dataLength));
        hash->Finish();
        std::uint8_t folded = 0;
        const std::uint8_t* digest = hash->Digest();
        for (std::int32_t j = 0; j < DigestSize; ++j) {
            folded ^= digest[j];
        }
        key[i] = static_cast<char>(folded);
    }
    return FormatClassOrDefault(format)->EncodeBuffer(key.data(), key.size());
}

std::string THashClass::DeriveKey(std::string_view data, std::string_view seed,
                                  std::ptrdiff_t outputLength, const TFormatClass* format,
                                  std::int32_t index) const {
    return DeriveKey(data.data(), static_cast<std::ptrdiff_t>(data.size()), seed.data(),
                     static_cast<std::ptrdiff_t>(seed.size()), outputLength, format, index);
}

const THashClass* HashClassOrDefault(const THashClass* hashClass) {
    if (hashClass == nullptr) {
        throw ECryptException(CryptMessages::NoDefaultHash);
    }
    return hashClass;
}

// --- TCryptHash ---------------------------------------------------------------------------

const THashClass* TCryptHash::ClassRef() {
    return &CryptHashClass;
}

TCryptHash::~TCryptHash() {
    ReleaseBuffer();
    WipeBuffer(Bits.data(), sizeof(Bits));
}

void TCryptHash::ReleaseBuffer() {
    if (Buffer) {
        WipeBuffer(Buffer.get(), BufferSize);
        Buffer.reset();
    }
    BufferSize = 0;
}

void TCryptHash::Init() {
    ReleaseBuffer();
    BufferIndex = 0;
    BufferSize = BlockSize();
    Buffer = std::make_unique<std::uint8_t[]>(static_cast<std::size_t>(BufferSize));
    Bits.fill(0);
    InitDigest();
}

void TCryptHash::CountBits(std::size_t count) {
    // The surplus of the high word is deliberate: signed logs depend on it. A piece of 2^25
    // bytes or more is counted with (count >> 25) in word 1 instead of (count >> 29).
    TBitCount bits = Bits;
    const std::uint64_t low = std::uint64_t{bits[0]} + static_cast<std::uint32_t>(count * 8);
    bits[0] = static_cast<std::uint32_t>(low);
    std::uint64_t carry = (low >> 32) + (std::uint64_t{count} >> 25);
    for (int i = 1; i < BitCountWords && carry != 0; ++i) {
        const std::uint64_t sum = bits[i] + carry;
        bits[i] = static_cast<std::uint32_t>(sum);
        carry = sum >> 32;
    }
    if (carry != 0) {
        throw ECryptException(CryptMessages::HashOverflow);
    }
    Bits = bits;
}

void TCryptHash::Update(const void* data, std::size_t count) {
    CountPiece(count);
    UpdateUncounted(data, count);
}

void TCryptHash::CountPiece(std::size_t count) {
    if (count == 0) {
        return;
    }
    if (!Buffer) {
        throw ECryptException(CryptMessages::HashNotInitialized);
    }
    CountBits(count);
}

void TCryptHash::UpdateUncounted(const void* data, std::size_t count) {
    if (count == 0) {
        return;
    }
    if (!Buffer) {
        throw ECryptException(CryptMessages::HashNotInitialized);
    }
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    const auto blockSize = static_cast<std::size_t>(BufferSize);
    if (BufferIndex > 0) {
        const std::size_t free = blockSize - static_cast<std::size_t>(BufferIndex);
        if (count < free) {
            std::memcpy(Buffer.get() + BufferIndex, bytes, count);
            BufferIndex += static_cast<std::int32_t>(count);
            return;
        }
        std::memcpy(Buffer.get() + BufferIndex, bytes, free);
        TransformBlock(Buffer.get());
        bytes += free;
        count -= free;
    }
    const std::size_t wholeBlocks = count / blockSize;
    if (wholeBlocks > 0) {
        TransformBlocks(bytes, wholeBlocks);
        bytes += wholeBlocks * blockSize;
        count -= wholeBlocks * blockSize;
    }
    if (count > 0) {
        std::memcpy(Buffer.get(), bytes, count);
    }
    BufferIndex = static_cast<std::int32_t>(count);
}

void TCryptHash::TransformBlocks(const std::uint8_t* blocks, std::size_t count) {
    const auto blockSize = static_cast<std::size_t>(BufferSize);
    for (; count > 0; --count, blocks += blockSize) {
        TransformBlock(blocks);
    }
}

void TCryptHash::Finish() {
    if (!Buffer) {
        throw ECryptException(CryptMessages::HashNotInitialized);
    }
    FinishDigest();
    ReleaseBuffer();
}

void TCryptHash::CopyStateFrom(const TCryptHash& other) {
    if (!other.Buffer) {
        throw ECryptException(CryptMessages::HashNotInitialized);
    }
    if (other.ClassType() != ClassType()) {
        throw ECryptException(CryptMessages::InvalidState);
    }
    if (!Buffer) {
        Init();
    }
    std::memcpy(Buffer.get(), other.Buffer.get(), static_cast<std::size_t>(BufferSize));
    BufferIndex = other.BufferIndex;
    Bits = other.Bits;
    Padding = other.Padding;
}

std::string TCryptHash::DigestText(const TFormatClass* format) const {
    return FormatClassOrDefault(format)->EncodeBuffer(Digest(),
                                                      static_cast<std::size_t>(DigestSize()));
}

void TCryptHash::PadFinalBlock(bool bigEndianLength) {
    if (Bits[2] != 0 || Bits[3] != 0) {
        throw ECryptException(CryptMessages::HashOverflow);
    }
    if (Padding == 0) {
        Padding = 0x80;
    }
    std::uint8_t* buffer = Buffer.get();
    buffer[BufferIndex++] = Padding;
    if (BufferIndex > BufferSize - 8) {
        std::memset(buffer + BufferIndex, 0, static_cast<std::size_t>(BufferSize - BufferIndex));
        TransformBlock(buffer);
        BufferIndex = 0;
    }
    std::memset(buffer + BufferIndex, 0, static_cast<std::size_t>(BufferSize - BufferIndex));
    if (bigEndianLength) {
        StoreWord32(buffer + BufferSize - 8, SwapBytes32(Bits[1]));
        StoreWord32(buffer + BufferSize - 4, SwapBytes32(Bits[0]));
    } else {
        StoreWord32(buffer + BufferSize - 8, Bits[0]);
        StoreWord32(buffer + BufferSize - 4, Bits[1]);
    }
    TransformBlock(buffer);
}

// --- THashBaseMD4 -------------------------------------------------------------------------

const THashClass* THashBaseMD4::ClassRef() {
    return &HashBaseMD4Class;
}

THashBaseMD4::~THashBaseMD4() {
    WipeBuffer(DigestWords.data(), sizeof(DigestWords));
}

const std::uint8_t* THashBaseMD4::Digest() const {
    return reinterpret_cast<const std::uint8_t*>(DigestWords.data());
}

void THashBaseMD4::InitDigest() {
    DigestWords = {0x67452301u, 0xEFCDAB89u, 0x98BADCFEu, 0x10325476u, 0xC3D2E1F0u,
                   0x76543210u, 0xFEDCBA98u, 0x89ABCDEFu, 0x01234567u, 0x3C2D1E0Fu};
}

void THashBaseMD4::CopyStateFrom(const TCryptHash& other) {
    TCryptHash::CopyStateFrom(other);
    DigestWords = static_cast<const THashBaseMD4&>(other).DigestWords;
}

void THashBaseMD4::FinishDigest() {
    PadFinalBlock(false);
}

// --- THash_SHA, THash_SHA1 ----------------------------------------------------------------

const THashClass* THash_SHA::ClassRef() {
    return &HashShaClass;
}

void THash_SHA::InitDigest() {
    THashBaseMD4::InitDigest();
    // Only an object of exactly this class computes the original SHA; descendants get SHA-1.
    RotateSchedule = ClassType() != THash_SHA::ClassRef();
}

void THash_SHA::CopyStateFrom(const TCryptHash& other) {
    THashBaseMD4::CopyStateFrom(other);
    RotateSchedule = static_cast<const THash_SHA&>(other).RotateSchedule;
}

void THash_SHA::TransformBlock(const std::uint8_t* block) {
    THash_SHA::TransformBlocks(block, 1);
}

void THash_SHA::TransformBlocks(const std::uint8_t* blocks, std::size_t count) {
    if (!RotateSchedule) {
        ShaCompress<false>(DigestWords.data(), blocks, count);
        return;
    }
#if NORVA_CRYPT_ACCEL
    // The faster paths compute SHA-1 only; the original SHA stays on the portable code.
    switch (CryptAccel::ActiveSha1Path()) {
        case CryptAccel::Sha1Path::ShaNi:
            CryptAccel::Sha1CompressShaNi(DigestWords.data(), blocks, count);
            return;
        case CryptAccel::Sha1Path::Avx2:
            CryptAccel::Sha1CompressAvx2(DigestWords.data(), blocks, count);
            return;
        case CryptAccel::Sha1Path::Ssse3:
            CryptAccel::Sha1CompressSsse3(DigestWords.data(), blocks, count);
            return;
        case CryptAccel::Sha1Path::Portable:
            break;
    }
#endif
    ShaCompress<true>(DigestWords.data(), blocks, count);
}

void THash_SHA::FinishDigest() {
    PadFinalBlock(true);
    SwapWords32(DigestWords.data(), DigestWords.data(), DigestWords.size());
}

const THashClass* THash_SHA1::ClassRef() {
    return &HashSha1Class;
}
